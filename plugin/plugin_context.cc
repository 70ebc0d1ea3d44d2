// The plug-in context: communities, USM provider, discovery object.
#include "plugin/plugin_context.h"

#include <cstring>

#include "common/secret.h"
#include "common/status.h"
#include "common/text_copy.h"
#include "options/dev_comm_option.h"
#include "options/sorrel5_option.h"

CZelPluginContext::CZelPluginContext() noexcept {
  m_szFindCommunity[0] = '\0';
  m_szReadCommunity[0] = '\0';
  m_szWriteCommunity[0] = '\0';
}

// The parts wipe their own secrets as the members go, after this body.
CZelPluginContext::~CZelPluginContext() {
  kal_wipe(m_szFindCommunity, sizeof m_szFindCommunity);
  kal_wipe(m_szReadCommunity, sizeof m_szReadCommunity);
  kal_wipe(m_szWriteCommunity, sizeof m_szWriteCommunity);
}

int CZelPluginContext::init() noexcept {
  int status = kKalOk;
  if (!m_pDiscovery) {
    m_pDiscovery.reset(zel_create_discovery(&status));
    if (status != kKalOk) return status;
  }
  if (!m_pUSM) {
    m_pUSM.reset(zel_create_plugin_usm(&status));
    if (status != kKalOk) return status;
  }
  return kKalOk;
}

int CZelPluginContext::command_string(const char* command,
                                      const char* value) noexcept {
  if (!command || !value) return kKalErrInvalidArg;
  char* field = nullptr;
  if (strcmp(command, kZelCmdCommunityGetOption) == 0) {
    field = m_szReadCommunity;
  } else if (strcmp(command, kZelCmdCommunityFind) == 0) {
    field = m_szFindCommunity;
  } else if (strcmp(command, kZelCmdCommunityWrite) == 0) {
    field = m_szWriteCommunity;
  } else {
    return kKalErrNotSupported;
  }
  if (value == field) return kKalOk;
  kal_wipe(field, kZelCommunitySize);  // no tail of a longer community stays
  kal_copy_text(field, kZelCommunitySize, value);
  return kKalOk;
}

int CZelPluginContext::find_devices(const char* address, int protocol,
                                    int32_t mode,
                                    const ZelSnmpV3Settings& settings,
                                    int32_t timeoutMs, int32_t retries,
                                    int32_t* pCount) noexcept {
  if (!m_pDiscovery || !m_pUSM) return kKalErrNotReady;
  return m_pDiscovery->find(address, protocol, mode, settings, timeoutMs,
                            retries, *m_pUSM.get(), m_szFindCommunity, pCount);
}

void CZelPluginContext::set_option(CZelDevCommOption* option) noexcept {
  m_pOption.reset(option);
}

int CZelPluginContext::open_device(const char* address, int protocol, int32_t mode,
                                   const ZelSnmpV3Settings& settings, int32_t timeoutMs,
                                   int32_t retries) noexcept {
  if (!address) return kKalErrInvalidArg;
  if (!m_pUSM) return kKalErrNotReady;
  CZelSorrel5Option* option = kal_new<CZelSorrel5Option>();
  if (!option) return kKalErrNoMemory;
  if (m_pfnCreateGetData) option->set_get_data_factory(m_pfnCreateGetData);
  set_option(option);
  m_pUSM->set(mode, settings);
  if (is_set(m_szReadCommunity)) option->SetCommunityStr(m_szReadCommunity);
  // The exported functions always ask for the transport's default maximum
  // message size.
  constexpr uint32_t kDefaultMaxMessageSize = 0;
  const uint32_t timeout = timeoutMs > 0 ? static_cast<uint32_t>(timeoutMs) : 0;
  const uint32_t tries = retries > 0 ? static_cast<uint32_t>(retries) : 0;
  // A text longer than the address fields hold is no address: cut to fit,
  // it could name another host.
  int rc = kKalErrInvalidArg;
  if (strnlen(address, kZelDeviceAddressSize) < kZelDeviceAddressSize) {
    rc = option->Init(static_cast<IKalNetworkAddress::EProtocol>(protocol), address,
                      m_pUSM.get(), timeout, tries, kDefaultMaxMessageSize);
  }
  if (rc != kKalOk) return rc;
  KalOwned<CZelDevice> device(zel_create_device(&rc));
  if (!device) return rc;
  device->set_get_data_factory(m_pfnCreateGetData);
  if (is_set(m_szReadCommunity)) device->set_read_community(m_szReadCommunity);
  if (is_set(m_szWriteCommunity)) device->set_write_community(m_szWriteCommunity);
  rc = device->init(address, protocol, timeoutMs, retries, kDefaultMaxMessageSize,
                    *m_pUSM.get());
  if (rc != kKalOk) return rc;
  m_pDevice.reset(device.detach());
  return kKalOk;
}

int zel_create_plugin_context(CZelPluginContext** ppContext) noexcept {
  if (!ppContext) return kKalErrInvalidArg;
  KalOwned<CZelPluginContext> context(kal_new<CZelPluginContext>());
  if (!context) return kZelInitNoContext;
  const int status = context->init();
  if (status != kKalOk) return status;  // the half-built context goes here
  *ppContext = context.detach();
  return kKalOk;
}
