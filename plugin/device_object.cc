// The device object: settings copied at open, request preparation, and the
// cached rows of the table readers.
#include "plugin/device_object.h"

#include "common/secret.h"
#include "common/text_copy.h"
#include "log/log.h"
#include "plugin/protocol_code.h"

CZelDevice::CZelDevice() noexcept {
  m_szAddress[0] = '\0';
  m_szReadCommunity[0] = '\0';
  kal_copy_text(m_szWriteCommunity, kZelDefaultWriteCommunity);
  m_szSecurityName[0] = '\0';
  m_szAuthPassphrase[0] = '\0';
  m_szPrivPassphrase[0] = '\0';
  m_szContextName[0] = '\0';
}

CZelDevice::~CZelDevice() {
  kal_wipe(m_szReadCommunity, sizeof m_szReadCommunity);
  kal_wipe(m_szWriteCommunity, sizeof m_szWriteCommunity);
  kal_wipe(m_szAuthPassphrase, sizeof m_szAuthPassphrase);
  kal_wipe(m_szPrivPassphrase, sizeof m_szPrivPassphrase);
}

int CZelDevice::init(const char* address, int protocol, int32_t timeoutMs, int32_t retries,
                     int32_t maxMessageSize, const IZelPluginUSM& usm) noexcept {
  if (!address) return kKalErrInvalidArg;
  ++m_generation;
  kal_copy_text(m_szAddress, address);
  m_protocol = protocol;
  switch (protocol) {
    case kZelProtocolIPv4:
    case kZelProtocolIPv6:
      m_port = kZelDevicePortIp;
      break;
    case kZelProtocolIPX:
      m_port = kZelDevicePortIpx;
      break;
    default:
      m_port = 0;
      return kKalErrInvalidArg;
  }
  m_timeoutMs = timeoutMs;
  m_retries = retries;
  m_maxMessageSize = maxMessageSize;
  m_mode = usm.get_mode();
  kal_copy_text(m_szSecurityName, usm.get_security_name());
  m_securityLevel = usm.get_security_level();
  m_authProtocol = usm.get_auth_protocol();
  m_privProtocol = usm.get_priv_protocol();
  kal_copy_secret(m_szAuthPassphrase, usm.get_auth_passphrase());
  kal_copy_secret(m_szPrivPassphrase, usm.get_priv_passphrase());
  kal_copy_text(m_szContextName, usm.get_context_name());
  return kKalOk;
}

void CZelDevice::set_read_community(const char* community) noexcept {
  kal_copy_secret(m_szReadCommunity, community);
  m_bReadCommunityGiven = true;
  ++m_generation;
}

void CZelDevice::set_write_community(const char* community) noexcept {
  kal_copy_secret(m_szWriteCommunity, community);
  ++m_generation;
}

void CZelDevice::set_get_data_factory(KalGetDataFactory factory) noexcept {
  m_pfnCreateGetData = factory;
  ++m_generation;
}

KalUsmParams CZelDevice::usm_params() const noexcept {
  KalUsmParams params;
  params.security_name = m_szSecurityName;
  params.security_level = m_securityLevel;
  params.auth_protocol = m_authProtocol;
  params.priv_protocol = m_privProtocol;
  params.auth_pass_phrase = m_szAuthPassphrase;
  params.priv_pass_phrase = m_szPrivPassphrase;
  params.context_name = m_szContextName;
  return params;
}

IKalGetData* CZelDevice::create_request(int* pStatus) const noexcept {
  return m_pfnCreateGetData ? m_pfnCreateGetData(pStatus) : kal_create_get_data(pStatus);
}

int CZelDevice::init_request(IKalGetData* request) const noexcept {
  const KalUsmParams usm = usm_params();
  // Negative time-outs and retry counts from the host read as 0 rather
  // than as four billion.
  const uint32_t timeout = m_timeoutMs > 0 ? static_cast<uint32_t>(m_timeoutMs) : 0;
  const uint32_t retries = m_retries > 0 ? static_cast<uint32_t>(m_retries) : 0;
  const uint32_t maxSize = m_maxMessageSize > 0 ? static_cast<uint32_t>(m_maxMessageSize) : 0;
  return request->init(m_szAddress, static_cast<IKalNetworkAddress::EProtocol>(m_protocol),
                       m_port, m_mode, &usm, timeout, retries, maxSize);
}

void ZelRequest::reset() noexcept {
  IKalGetData* request = std::exchange(request_, nullptr);
  if (!request) return;
  if (device_) {
    device_->keep(request, generation_);
  } else {
    request->release();
  }
}

void CZelDevice::keep(IKalGetData* request, uint64_t generation) const noexcept {
  // A request object that cannot be emptied (a test's scripted one) makes
  // one call only.
  if (generation != m_generation || m_spare || request->clear_oids() != kKalOk) {
    request->release();
    return;
  }
  m_spare.reset(request);
  m_spareGeneration = generation;
}

int CZelDevice::prepare(const char* community, size_t size, IKalGetData** out) const noexcept {
  int rc = kKalOk;
  KalOwned<IKalGetData> request(create_request(&rc));
  if (!request) {
    if (rc == kKalOk) rc = kKalErrNoMemory;
    zel_log(kKalLogError, "%s: %d", "kal_create_get_data()", rc);
    return rc;
  }
  if (community) request->set_community(community, size);
  rc = init_request(request.get());
  if (rc != kKalOk) {
    zel_log(kKalLogError, "%s: %d", "pGetData->init()", rc);
    return rc;
  }
  *out = request.detach();
  return kKalOk;
}

int CZelDevice::prepare_request(ZelRequest* out) const noexcept {
  out->reset();
  if (m_spare && m_spareGeneration == m_generation) {
    out->request_ = m_spare.detach();
  } else {
    m_spare.reset();
    const int rc = prepare(m_bReadCommunityGiven ? m_szReadCommunity : nullptr,
                           sizeof(m_szReadCommunity), &out->request_);
    if (rc != kKalOk) return rc;
  }
  out->device_ = this;
  out->generation_ = m_generation;
  return kKalOk;
}

int CZelDevice::prepare_write_request(ZelRequest* out) const noexcept {
  out->reset();
  out->device_ = nullptr;
  return prepare(m_szWriteCommunity, sizeof(m_szWriteCommunity), &out->request_);
}

CZelDevice* zel_create_device(int* pStatus) noexcept {
  CZelDevice* device = kal_new<CZelDevice>();
  if (!device) return kal_fail<CZelDevice>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return device;
}
