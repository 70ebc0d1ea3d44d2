// The plug-in context: communities, USM provider, discovery object.
#include "plugin/plugin_context.h"

#include <cstring>

#include "common/status.h"
#include "common/text_copy.h"
#include "options/dev_comm_option.h"

CZelPluginContext::CZelPluginContext() noexcept {
  m_szFindCommunity[0] = '\0';
  m_szReadCommunity[0] = '\0';
  m_szWriteCommunity[0] = '\0';
}

CZelPluginContext::~CZelPluginContext() = default;

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

int zel_create_plugin_context(CZelPluginContext** ppContext) noexcept {
  if (!ppContext) return kKalErrInvalidArg;
  KalOwned<CZelPluginContext> context(kal_new<CZelPluginContext>());
  if (!context) return kZelInitNoContext;
  const int status = context->init();
  if (status != kKalOk) return status;  // the half-built context goes here
  *ppContext = context.detach();
  return kKalOk;
}
