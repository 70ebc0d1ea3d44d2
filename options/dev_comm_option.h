// CZelDevCommOption: one device's connection settings and installed options.
// Init stores the settings; refresh_options reads everything from the device
// in one pass of SNMP exchanges and keeps the answers in fixed tables;
// get_option then answers by key (a text, plus an index for per-tray keys)
// from memory, without network traffic. The class is abstract: the model
// classes (CZelSorrel5Option) add the model check. The object owns no heap
// memory and is copied member by member. One thread at a time; get_option
// only reads, so concurrent queries without a concurrent refresh are safe.
#ifndef OPTIONS_DEV_COMM_OPTION_H_
#define OPTIONS_DEV_COMM_OPTION_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/network_address.h"
#include "plugin/export.h"

class IKalGetData;
class IKalWalkRowSink;
class IZelPluginUSM;

class ZEL_EXPORT CZelDevCommOption {
 public:
  // Fixed table and text sizes.
  static constexpr int kMaxDevices = 50;
  static constexpr int kMaxTrays = 20;
  static constexpr size_t kAddressSize = 64;
  static constexpr size_t kCommunitySize = 256;
  static constexpr size_t kShortTextSize = 64;
  static constexpr size_t kLongTextSize = 256;
  static constexpr size_t kContextNameSize = 512;
  // SNMP port per protocol.
  static constexpr uint16_t kSnmpPortIp = 161;
  static constexpr uint16_t kSnmpPortIpx = 36879;

  // One hrDeviceTable row.
  struct DeviceEntry {
    int32_t index;   // hrDeviceIndex
    int32_t status;  // hrDeviceStatus
    char descr[kShortTextSize];
  };
  // One prtInputTable row, converted.
  struct InputTrayEntry {
    int32_t ordinal;  // 1 for the first row walked
    int32_t type;     // prtInputType
    int32_t medium_size;
    int32_t medium_direction;
    int32_t max_capacity;  // sheets, or -1
    int32_t level_percent;  // or -1
    int32_t feed_dim_chosen;
    int32_t cross_feed_dim_chosen;
    char name[kShortTextSize];
    char description[kLongTextSize];
    char media_type[kLongTextSize];
  };
  // One prtOutputTable row.
  struct OutputTrayEntry {
    int32_t ordinal;
    int32_t type;             // prtOutputType
    int32_t offset_stacking;  // prtOutputOffsetStacking; 3 is on
    char name[kShortTextSize];
  };
  // The SNMPv3 settings, copied from the USM provider at Init.
  struct UsmSettings {
    char security_name[kShortTextSize];
    int32_t security_level;
    int32_t auth_protocol;
    int32_t priv_protocol;
    char auth_pass_phrase[kShortTextSize];
    char priv_pass_phrase[kShortTextSize];
    char context_name[kContextNameSize];
  };

  // The request-object factory a new object uses (kal_create_get_data).
  using GetDataFactory = IKalGetData* (*)(int* pStatus);

  CZelDevCommOption();
  CZelDevCommOption(const CZelDevCommOption& other);
  CZelDevCommOption& operator=(const CZelDevCommOption& other);

  // Deletes the object through its virtual destructor.
  virtual void destroy();
  // Copies `community` (cut to 255 characters; null: empty) and marks it
  // set: from the next request on, requests carry it instead of the request
  // object's default.
  virtual void SetCommunityStr(const char* community);
  // Reads every option from the device; see dev_comm_option.cc. Returns 0 or
  // the first failing procedure's status; results of the procedures that
  // finished before a failure stay, the later ones stay cleared.
  virtual int refresh_options();
  // Stores the connection settings; no network traffic. The port is 161 for
  // IPv4 and IPv6 and 36879 for IPX; any other protocol answers
  // kKalErrInvalidArg (the address and protocol are stored by then). The
  // USM provider's mode and its seven SNMPv3 settings are copied (a null
  // provider gives mode -1 and empty settings). `address` (null: empty) is
  // cut to 63 characters.
  virtual int Init(IKalNetworkAddress::EProtocol protocol, const char* address,
                   IZelPluginUSM* usm, uint32_t timeout_ms, uint32_t retries,
                   uint32_t max_message_size);
  // True when the device is of the model the class stands for.
  virtual bool is_supported_OID(const char* oid) = 0;
  // Option queries. A null key or out answers kKalErrInvalidArg; an unknown
  // key (exact, case-sensitive) kKalErrNotSupported; an indexed key with an
  // index outside 0..count-1 kKalErrIndexRange. Keys without index ignore
  // it. Text answers point into the object: good until the next refresh or
  // the object's end. No key answers an unsigned value.
  virtual int get_option(const char* key, const char** out, int index);
  virtual int get_option(const char* key, unsigned long* out, int index);
  virtual int get_option(const char* key, long* out, int index);
  virtual int get_option(const char* key, bool* out, int index);
  virtual ~CZelDevCommOption();

  // Test seam: the factory of the request objects (null restores
  // kal_create_get_data).
  void set_get_data_factory(GetDataFactory factory);

 protected:
  // Clears what a refresh fills.
  void initialize_data();
  // True when the device table has a row with hrDeviceIndex `index`; its
  // hrDeviceStatus goes to *status (optional). The first match counts.
  bool has_device_index(int32_t index, int32_t* status = nullptr) const;
  // Parses the ROM version text into major, minor and revision: 0, or -1
  // (logged "invalid PrinterROMVersion format"; the numbers stay).
  int parse_version_value();
  void MediaDimensionToMediumSize(int32_t unit, int32_t feed, int32_t cross_feed,
                                  int32_t* size, int32_t* direction) const;
  void ConvertMediumLevel(int32_t unit, int32_t maximum, int32_t current,
                          int32_t* maximum_out, int32_t* percent_out) const;

  int refresh_system_attributes();
  int refresh_hrdevice_table();
  int refresh_input_tray_table();
  int refresh_output_tray_table();
  int refresh_memory_size();
  int refresh_prt_media_table();
  int refresh_netware_attributes();
  int refresh_fax_attributes();
  int refresh_vdm_hrdev_detail_setting();
  int refresh_finisher_booklet_info();

  // A new request object from the factory; a failure is logged as
  // "kal_create_get_data()" and its status stored in *status.
  IKalGetData* create_request(int* status) const;
  // Gives the request the community (when one was set) and initialises it
  // with the stored settings. Answers init's status; the caller logs.
  int init_request(IKalGetData* request) const;

  // The exchanges of the refresh procedures. Each makes a request object,
  // sets it up with the stored settings, adds `oids` in order (with the
  // instance 0 appended when `instance0` is set), runs one exchange and
  // releases the request; a failing step is logged with its name and its
  // status answered.
  // A get of one text into out[size] (left as it is when the text is empty).
  int run_get_text(const char* oid, bool instance0, char* out, size_t size) const;
  // A get of one integer.
  int run_get_int(const char* oid, bool instance0, int32_t* out) const;
  // A get of `count` integers, one per identifier.
  int run_get_ints(const char* const* oids, int count, int32_t* out) const;
  // A walk from the first of `columns` that hands each row to `sink` as it
  // arrives (the answers are not kept).
  int run_walk(const char* const* columns, size_t count, IKalWalkRowSink* sink) const;
  // run_walk with each row turned into an Entry as it arrives,
  // convert(const ZelWalkRow&, Entry*), and staged in *staged (room for
  // `expected` made first) for the caller to apply once the walk has
  // succeeded.
  template <class Entry, class Convert>
  int walk_staged(const char* const* columns, size_t count, size_t expected,
                  std::vector<Entry>* staged, Convert convert) const;

  // Connection settings.
  IKalNetworkAddress::EProtocol m_eProtocol;
  char m_szAddress[kAddressSize];
  uint16_t m_usPort;
  uint32_t m_ulTimeout;
  uint32_t m_ulRetry;
  uint32_t m_ulMaxMsgSize;
  int32_t m_lVersion;
  UsmSettings m_usm;
  char m_szCommunity[kCommunitySize];
  bool m_bCommunitySet;

  // Results of the last refresh.
  char m_szRomVersion[kShortTextSize];
  char m_szSysName[kLongTextSize];
  char m_szNetWareSAPUnitName[kLongTextSize];
  bool m_bDuplexModule;
  bool m_bManualTray;
  bool m_bOffsetCatch;
  bool m_bFaxISDNG4Kit;
  bool m_bFaxLineSwitchKit;
  int32_t m_lMemorySize;
  int32_t m_lFaxMaxSpeedDial;
  int32_t m_lFaxType;
  int32_t m_lRomVersionMajor;
  int32_t m_lRomVersionMinor;
  int32_t m_lRomVersionRevision;
  int32_t m_lPaperSizeGroupSetting;
  int32_t m_lPaperSize8KSetting;
  int32_t m_lFinisherBookletImpression;
  int32_t m_lPrintLimitedColorSetting;
  int32_t m_lMinPasswordLength;
  int32_t m_lUserPromptSetting;
  int32_t m_lDeviceCount;
  DeviceEntry m_devices[kMaxDevices];
  int32_t m_lInputTrayCount;
  InputTrayEntry m_inputTrays[kMaxTrays];
  int32_t m_lOutputTrayCount;
  OutputTrayEntry m_outputTrays[kMaxTrays];

  GetDataFactory m_pfnCreateGetData;
};

#endif  // OPTIONS_DEV_COMM_OPTION_H_
