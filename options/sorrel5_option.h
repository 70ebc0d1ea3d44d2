// CZelSorrel5Option: the option class the plug-in instantiates for a device.
// To the base it adds the model check: Init asks the device for its
// sysObjectID, accepts only the Sorrel5 family, and keeps the identifier for
// is_supported_OID. Keys, conversions and the refresh are the base's. One
// thread at a time, as the base.
#ifndef OPTIONS_SORREL5_OPTION_H_
#define OPTIONS_SORREL5_OPTION_H_

#include "options/dev_comm_option.h"
#include "plugin/export.h"

class ZEL_EXPORT CZelSorrel5Option : public CZelDevCommOption {
 public:
  static constexpr size_t kModelIdSize = 256;

  CZelSorrel5Option();
  CZelSorrel5Option(const CZelSorrel5Option& other);
  CZelSorrel5Option& operator=(const CZelSorrel5Option& other);

  // The base Init (its failure is answered as it is), then the model check:
  // 0 for a device of the family, kKalErrInvalidArg for an address text of
  // another protocol or a device of another model, or the status of the
  // failing request step. A failed Init leaves the object ready for another.
  int Init(IKalNetworkAddress::EProtocol protocol, const char* address, IZelPluginUSM* usm,
           uint32_t timeout_ms, uint32_t retries, uint32_t max_message_size) override;
  // True for null; otherwise true when the device's sysObjectID begins with
  // `oid` (so "" is always supported and a longer text never is).
  bool is_supported_OID(const char* oid) override;
  int get_option(const char* key, const char** out, int index) override;
  using CZelDevCommOption::get_option;
  int get_option(const char* key, long* out, int index) override;
  int get_option(const char* key, bool* out, int index) override;
  ~CZelSorrel5Option() override;

  // The sysObjectID the device answered at the last Init ("" until then).
  const char* model_identifier() const { return m_szModelId; }

 protected:
  // Reads sysObjectID.0 and checks the family; see Init.
  int is_supported_device();

  // Filled by is_supported_device, whether or not the device passed.
  char m_szModelId[kModelIdSize];
};

#endif  // OPTIONS_SORREL5_OPTION_H_
