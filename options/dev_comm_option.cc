// CZelDevCommOption: settings, option keys and conversions. The refresh
// procedures that fill the tables live in option_refresh.cc.
#include "options/dev_comm_option.h"

#include <cstring>

#include "common/secret.h"
#include "common/status.h"
#include "common/text_copy.h"
#include "facade/get_data.h"
#include "log/log.h"
#include "options/medium_size.h"
#include "options/option_text.h"
#include "plugin/plugin_usm.h"

namespace {

// hrDeviceIndex numbers under which this family reports its components.
enum : int32_t {
  kRowController = 10,
  kRowHardDisk = 11,
  kRowScanner = 102,
  kRowCopier = 103,
  kRowFaxUnit = 104,
  kRowHcf = 107,
  kRowOutTraySide = 113,
  kRowStaple = 121,
  kRowPunch2 = 122,
  kRowBooklet = 124,
  kRowFolder = 127,
  kRowPunch3 = 128,
  kRowPunch4 = 129,
  kRowHcf2 = 133,
  kRowTtm = 135,
  kRowHcfA3 = 136,
  kRowFinisherA = 137,
  kRowFaxSip = 141,
  kRowFinisherB = 162,
  kRowHcfPf32 = 163,
  kRowHcfPf35 = 167,
  kRowOutTrayCenter2 = 168,
  kRowHcfPf31 = 169,
  kRowOutTrayOffsetCatch = 171,
  kRowStm = 179,
};

// prtOutputOffsetStacking "on".
constexpr int32_t kOffsetStackingOn = 3;
// "FinisherType" answers.
constexpr int32_t kFinisherTypeA = 6;
constexpr int32_t kFinisherTypeB = 7;

bool same_key(const char* key, const char* name) { return std::strcmp(key, name) == 0; }

bool index_ok(int index, int32_t count) { return index >= 0 && index < count; }

}  // namespace

CZelDevCommOption::CZelDevCommOption()
    : m_eProtocol(IKalNetworkAddress::Unknown),
      m_szAddress{},
      m_usPort(0),
      m_ulTimeout(0),
      m_ulRetry(0),
      m_ulMaxMsgSize(0),
      m_lVersion(0),
      m_usm{},
      m_szCommunity{},
      m_bCommunitySet(false),
      m_pfnCreateGetData(kal_create_get_data) {
  initialize_data();
}

// Copies take every field whole, so an assignment leaves nothing of the
// secrets it replaces; each copy wipes its own when it goes.
CZelDevCommOption::CZelDevCommOption(const CZelDevCommOption& other) = default;
CZelDevCommOption& CZelDevCommOption::operator=(const CZelDevCommOption& other) = default;
CZelDevCommOption::~CZelDevCommOption() {
  kal_wipe(m_szCommunity, sizeof m_szCommunity);
  kal_wipe(m_usm.auth_pass_phrase, sizeof m_usm.auth_pass_phrase);
  kal_wipe(m_usm.priv_pass_phrase, sizeof m_usm.priv_pass_phrase);
}

void CZelDevCommOption::destroy() { delete this; }

void CZelDevCommOption::SetCommunityStr(const char* community) {
  kal_copy_secret(m_szCommunity, community);
  m_bCommunitySet = true;
}

int CZelDevCommOption::Init(IKalNetworkAddress::EProtocol protocol, const char* address,
                            IZelPluginUSM* usm, uint32_t timeout_ms, uint32_t retries,
                            uint32_t max_message_size) {
  kal_copy_text(m_szAddress, address);
  m_eProtocol = protocol;
  switch (protocol) {
    case IKalNetworkAddress::IPv4:
    case IKalNetworkAddress::IPv6:
      m_usPort = kSnmpPortIp;
      break;
    case IKalNetworkAddress::IPX:
      m_usPort = kSnmpPortIpx;
      break;
    default:
      return kKalErrInvalidArg;
  }
  m_ulTimeout = timeout_ms;
  m_ulRetry = retries;
  m_ulMaxMsgSize = max_message_size;
  // The settings are copied, not borrowed: the provider is set again before
  // every discovery and device open, and an open device must keep the
  // credentials it was opened with.
  m_usm = UsmSettings{};
  if (!usm) {
    m_lVersion = -1;
    return kKalOk;
  }
  m_lVersion = usm->get_mode();
  kal_copy_text(m_usm.security_name, usm->get_security_name());
  m_usm.security_level = usm->get_security_level();
  m_usm.auth_protocol = usm->get_auth_protocol();
  m_usm.priv_protocol = usm->get_priv_protocol();
  kal_copy_text(m_usm.auth_pass_phrase, usm->get_auth_passphrase());
  kal_copy_text(m_usm.priv_pass_phrase, usm->get_priv_passphrase());
  kal_copy_text(m_usm.context_name, usm->get_context_name());
  return kKalOk;
}

void CZelDevCommOption::set_get_data_factory(GetDataFactory factory) {
  m_pfnCreateGetData = factory ? factory : kal_create_get_data;
}

void CZelDevCommOption::initialize_data() {
  m_szRomVersion[0] = '\0';
  m_szSysName[0] = '\0';
  m_szNetWareSAPUnitName[0] = '\0';
  m_bDuplexModule = false;
  m_bManualTray = false;
  m_bOffsetCatch = false;
  m_bFaxISDNG4Kit = false;
  m_bFaxLineSwitchKit = false;
  m_lMemorySize = 0;
  m_lFaxMaxSpeedDial = 0;
  m_lFaxType = 0;
  m_lRomVersionMajor = 0;
  m_lRomVersionMinor = 0;
  m_lRomVersionRevision = 0;
  m_lPaperSizeGroupSetting = 0;
  m_lPaperSize8KSetting = 0;
  m_lFinisherBookletImpression = 0;
  m_lPrintLimitedColorSetting = 0;
  m_lMinPasswordLength = 0;
  m_lUserPromptSetting = 0;
  m_lDeviceCount = 0;
  std::memset(m_devices, 0, sizeof(m_devices));
  m_lInputTrayCount = 0;
  std::memset(m_inputTrays, 0, sizeof(m_inputTrays));
  m_lOutputTrayCount = 0;
  std::memset(m_outputTrays, 0, sizeof(m_outputTrays));
}

bool CZelDevCommOption::has_device_index(int32_t index, int32_t* status) const {
  for (int32_t i = 0; i < m_lDeviceCount; ++i) {
    if (m_devices[i].index == index) {
      if (status) *status = m_devices[i].status;
      return true;
    }
  }
  return false;
}

int CZelDevCommOption::parse_version_value() {
  if (zel_parse_rom_version(m_szRomVersion, &m_lRomVersionMajor, &m_lRomVersionMinor,
                            &m_lRomVersionRevision)) {
    return kKalOk;
  }
  zel_log(kKalLogError, "invalid PrinterROMVersion format (%d)", kKalErrGeneral);
  return kKalErrGeneral;
}

void CZelDevCommOption::MediaDimensionToMediumSize(int32_t unit, int32_t feed,
                                                   int32_t cross_feed, int32_t* size,
                                                   int32_t* direction) const {
  zel_media_dimension_to_medium_size(unit, feed, cross_feed, size, direction);
}

void CZelDevCommOption::ConvertMediumLevel(int32_t unit, int32_t maximum, int32_t current,
                                           int32_t* maximum_out, int32_t* percent_out) const {
  zel_convert_medium_level(unit, maximum, current, maximum_out, percent_out);
}

int CZelDevCommOption::get_option(const char* key, bool* out, int index) {
  if (!key || !out) return kKalErrInvalidArg;
  if (same_key(key, "OutputOffsetStacking")) {
    if (!index_ok(index, m_lOutputTrayCount)) return kKalErrIndexRange;
    *out = m_outputTrays[index].offset_stacking == kOffsetStackingOn;
    return kKalOk;
  }
  using Rule = bool (*)(const CZelDevCommOption&);
  struct Key {
    const char* name;
    Rule rule;
  };
  static const Key kKeys[] = {
      {"Scanner", [](const CZelDevCommOption& o) { return o.has_device_index(kRowScanner); }},
      {"Copier", [](const CZelDevCommOption& o) { return o.has_device_index(kRowCopier); }},
      {"FAXUnit", [](const CZelDevCommOption& o) { return o.has_device_index(kRowFaxUnit); }},
      {"HardDisk", [](const CZelDevCommOption& o) { return o.has_device_index(kRowHardDisk); }},
      {"DuplexModule", [](const CZelDevCommOption& o) { return o.m_bDuplexModule; }},
      {"OffsetCatch", [](const CZelDevCommOption& o) { return o.m_bOffsetCatch; }},
      {"InTrayMSI", [](const CZelDevCommOption& o) { return o.m_bManualTray; }},
      {"OutTraySide",
       [](const CZelDevCommOption& o) { return o.has_device_index(kRowOutTraySide); }},
      {"InTrayExistHCF", [](const CZelDevCommOption& o) { return o.has_device_index(kRowHcf); }},
      {"InTrayExistHCF2",
       [](const CZelDevCommOption& o) { return o.has_device_index(kRowHcf2); }},
      {"InTrayExistTTM", [](const CZelDevCommOption& o) { return o.has_device_index(kRowTtm); }},
      {"InTrayExistHCFA3",
       [](const CZelDevCommOption& o) { return o.has_device_index(kRowHcfA3); }},
      {"InTrayExistHCFPF35",
       [](const CZelDevCommOption& o) { return o.has_device_index(kRowHcfPf35); }},
      {"InTrayExistHCFPF31",
       [](const CZelDevCommOption& o) { return o.has_device_index(kRowHcfPf31); }},
      {"InTrayExistHCFPF32",
       [](const CZelDevCommOption& o) { return o.has_device_index(kRowHcfPf32); }},
      {"InTrayExistSTM", [](const CZelDevCommOption& o) { return o.has_device_index(kRowStm); }},
      {"OutTrayOffsetCatch",
       [](const CZelDevCommOption& o) { return o.has_device_index(kRowOutTrayOffsetCatch); }},
      {"OutTrayCenter2",
       [](const CZelDevCommOption& o) {
         return o.has_device_index(kRowOutTrayCenter2) && !o.has_device_index(kRowFinisherA) &&
                !o.has_device_index(kRowFinisherB);
       }},
      {"Finisher",
       [](const CZelDevCommOption& o) {
         return o.has_device_index(kRowFinisherA) || o.has_device_index(kRowFinisherB);
       }},
      {"FinisherStaple",
       [](const CZelDevCommOption& o) { return o.has_device_index(kRowStaple); }},
      {"FinisherPunch",
       [](const CZelDevCommOption& o) {
         return o.has_device_index(kRowPunch2) || o.has_device_index(kRowPunch3) ||
                o.has_device_index(kRowPunch4);
       }},
      {"FinisherPunchHole2",
       [](const CZelDevCommOption& o) { return o.has_device_index(kRowPunch2); }},
      {"FinisherPunchHole3",
       [](const CZelDevCommOption& o) { return o.has_device_index(kRowPunch3); }},
      {"FinisherPunchHole4",
       [](const CZelDevCommOption& o) { return o.has_device_index(kRowPunch4); }},
      {"FinisherBooklet",
       [](const CZelDevCommOption& o) { return o.has_device_index(kRowBooklet); }},
      {"FinisherFolder",
       [](const CZelDevCommOption& o) { return o.has_device_index(kRowFolder); }},
      {"FAXISDNG4Kit", [](const CZelDevCommOption& o) { return o.m_bFaxISDNG4Kit; }},
      {"FAXLineSwitchKit", [](const CZelDevCommOption& o) { return o.m_bFaxLineSwitchKit; }},
  };
  for (const Key& k : kKeys) {
    if (same_key(key, k.name)) {
      *out = k.rule(*this);
      return kKalOk;
    }
  }
  return kKalErrNotSupported;
}

int CZelDevCommOption::get_option(const char* key, long* out, int index) {
  if (!key || !out) return kKalErrInvalidArg;
  struct TrayKey {
    const char* name;
    int32_t InputTrayEntry::*field;
  };
  static const TrayKey kTrayKeys[] = {
      {"InputTrayIndex", &InputTrayEntry::ordinal},
      {"InputTrayType", &InputTrayEntry::type},
      {"InputTrayMaxCapacityInSheets", &InputTrayEntry::max_capacity},
      {"InputTrayCurrentLevelInPercent", &InputTrayEntry::level_percent},
      {"InputTrayMediaSize", &InputTrayEntry::medium_size},
      {"InputTrayMediaDirection", &InputTrayEntry::medium_direction},
      {"InputTrayMediaDimFeedDirChosen", &InputTrayEntry::feed_dim_chosen},
      {"InputTrayMediaDimXFeedDirChosen", &InputTrayEntry::cross_feed_dim_chosen},
  };
  for (const TrayKey& k : kTrayKeys) {
    if (same_key(key, k.name)) {
      if (!index_ok(index, m_lInputTrayCount)) return kKalErrIndexRange;
      *out = m_inputTrays[index].*k.field;
      return kKalOk;
    }
  }
  using Rule = int32_t (*)(const CZelDevCommOption&);
  struct Key {
    const char* name;
    Rule rule;
  };
  static const Key kKeys[] = {
      {"MemorySizeInKByte", [](const CZelDevCommOption& o) { return o.m_lMemorySize; }},
      {"MemorySizeInMByte", [](const CZelDevCommOption& o) { return o.m_lMemorySize / 1024; }},
      {"FAXMaxSpeedDial", [](const CZelDevCommOption& o) { return o.m_lFaxMaxSpeedDial; }},
      {"FAXType", [](const CZelDevCommOption& o) { return o.m_lFaxType; }},
      {"NumberOfInputTray", [](const CZelDevCommOption& o) { return o.m_lInputTrayCount; }},
      {"NumberOfOutputTray", [](const CZelDevCommOption& o) { return o.m_lOutputTrayCount; }},
      {"PrinterRomVersionMajor",
       [](const CZelDevCommOption& o) { return o.m_lRomVersionMajor; }},
      {"PrinterRomVersionMinor",
       [](const CZelDevCommOption& o) { return o.m_lRomVersionMinor; }},
      {"PrinterRomVersionRevision",
       [](const CZelDevCommOption& o) { return o.m_lRomVersionRevision; }},
      {"PaperSizeGroupSetting",
       [](const CZelDevCommOption& o) { return o.m_lPaperSizeGroupSetting; }},
      {"PaperSize8KSetting", [](const CZelDevCommOption& o) { return o.m_lPaperSize8KSetting; }},
      {"FinisherBookletImpression",
       [](const CZelDevCommOption& o) { return o.m_lFinisherBookletImpression; }},
      {"FinisherType",
       [](const CZelDevCommOption& o) {
         if (o.has_device_index(kRowFinisherA)) return kFinisherTypeA;
         if (o.has_device_index(kRowFinisherB)) return kFinisherTypeB;
         return int32_t{0};
       }},
      {"PrintLimitedColorSetting",
       [](const CZelDevCommOption& o) { return o.m_lPrintLimitedColorSetting; }},
      {"UserPromptSetting", [](const CZelDevCommOption& o) { return o.m_lUserPromptSetting; }},
      {"MinPasswordLength", [](const CZelDevCommOption& o) { return o.m_lMinPasswordLength; }},
      {"FAXSIPStatus",
       [](const CZelDevCommOption& o) {
         int32_t status = 0;
         return o.has_device_index(kRowFaxSip, &status) ? status : int32_t{0};
       }},
  };
  for (const Key& k : kKeys) {
    if (same_key(key, k.name)) {
      *out = k.rule(*this);
      return kKalOk;
    }
  }
  return kKalErrNotSupported;
}

int CZelDevCommOption::get_option(const char* key, unsigned long* out, int /*index*/) {
  if (!key || !out) return kKalErrInvalidArg;
  return kKalErrNotSupported;
}

int CZelDevCommOption::get_option(const char* key, const char** out, int index) {
  if (!key || !out) return kKalErrInvalidArg;
  if (same_key(key, "PrinterRomVersion")) {
    *out = m_szRomVersion;
    return kKalOk;
  }
  if (same_key(key, "SysName")) {
    *out = m_szSysName;
    return kKalOk;
  }
  if (same_key(key, "NetWareSAPUnitName")) {
    *out = m_szNetWareSAPUnitName;
    return kKalOk;
  }
  if (same_key(key, "OutputTrayName")) {
    if (!index_ok(index, m_lOutputTrayCount)) return kKalErrIndexRange;
    *out = m_outputTrays[index].name;
    return kKalOk;
  }
  struct TrayKey {
    const char* name;
    const char* (*text)(const InputTrayEntry&);
  };
  static const TrayKey kTrayKeys[] = {
      {"InputTrayName", [](const InputTrayEntry& e) -> const char* { return e.name; }},
      {"InputTrayDescription",
       [](const InputTrayEntry& e) -> const char* { return e.description; }},
      {"InputTrayMediaType", [](const InputTrayEntry& e) -> const char* { return e.media_type; }},
  };
  for (const TrayKey& k : kTrayKeys) {
    if (same_key(key, k.name)) {
      if (!index_ok(index, m_lInputTrayCount)) return kKalErrIndexRange;
      *out = k.text(m_inputTrays[index]);
      return kKalOk;
    }
  }
  return kKalErrNotSupported;
}
