// CZelPluginUSM: the context's USM provider. The default user and pass
// phrases are written at run time by reset(), so every set() starts from the
// same defaults whatever an earlier set() stored.
#include "plugin/plugin_usm.h"

#include "common/owned.h"
#include "common/secret.h"
#include "common/status.h"
#include "common/text_copy.h"
#include "log/log.h"

namespace {

// Built-in defaults: an eight-character user and two 20-character pass
// phrases (the SNMPv3 session needs at least 8 characters per phrase).
constexpr char kDefaultSecurityName[] = "zelagent";
constexpr char kDefaultAuthPassphrase[] = "zel-auth-key-0516-v3";
constexpr char kDefaultPrivPassphrase[] = "zel-priv-key-2273-v3";
static_assert(sizeof(kDefaultSecurityName) - 1 == 8);
static_assert(sizeof(kDefaultAuthPassphrase) - 1 == 20);
static_assert(sizeof(kDefaultPrivPassphrase) - 1 == 20);

bool is_selector(int32_t v) { return v >= 0 && v <= 2; }

class CZelPluginUSM final : public IZelPluginUSM {
 public:
  CZelPluginUSM() noexcept { reset(); }
  ~CZelPluginUSM() override {
    kal_wipe(m_szAuthPassphrase, sizeof m_szAuthPassphrase);
    kal_wipe(m_szPrivPassphrase, sizeof m_szPrivPassphrase);
  }

  void set(int32_t mode, const ZelSnmpV3Settings& s) noexcept override {
    reset();
    if (is_selector(mode)) m_mode = mode;
    // The host's fields need not hold a NUL: kal_copy_text reads at most
    // size - 1 bytes, and each of our fields is as large as the record's.
    static_assert(sizeof(s.securityName) == kZelUsmNameSize);
    static_assert(sizeof(s.authPassphrase) == kZelUsmPassphraseSize);
    static_assert(sizeof(s.privPassphrase) == kZelUsmPassphraseSize);
    static_assert(sizeof(s.contextName) == kZelUsmContextNameSize);
    if (s.securityName[0] != '\0')
      kal_copy_text(m_szSecurityName, s.securityName);
    if (s.authPassphrase[0] != '\0')
      kal_copy_secret(m_szAuthPassphrase, s.authPassphrase);
    if (s.privPassphrase[0] != '\0')
      kal_copy_secret(m_szPrivPassphrase, s.privPassphrase);
    if (s.contextName[0] != '\0') kal_copy_text(m_szContextName, s.contextName);
    if (is_selector(s.securityLevel)) m_securityLevel = s.securityLevel;
    if (is_selector(s.authProtocol)) m_authProtocol = s.authProtocol;
    if (is_selector(s.privProtocol)) m_privProtocol = s.privProtocol;
    warn_of_defaults(s);
  }
  void release() noexcept override { delete this; }
  int32_t get_mode() const noexcept override { return m_mode; }
  const char* get_security_name() const noexcept override {
    return m_szSecurityName;
  }
  int32_t get_security_level() const noexcept override {
    return m_securityLevel;
  }
  int32_t get_auth_protocol() const noexcept override { return m_authProtocol; }
  int32_t get_priv_protocol() const noexcept override { return m_privProtocol; }
  const char* get_auth_passphrase() const noexcept override {
    return m_szAuthPassphrase;
  }
  const char* get_priv_passphrase() const noexcept override {
    return m_szPrivPassphrase;
  }
  const char* get_context_name() const noexcept override {
    return m_szContextName;
  }

 private:
  // The built-in pass phrases are no secret: a device that accepts them
  // accepts anyone who has the plug-in. Said once per set (every discovery
  // and device open), without the phrases themselves.
  void warn_of_defaults(const ZelSnmpV3Settings& s) const noexcept {
    if (m_mode != kZelUsmModeV3 || m_securityLevel == 0) return;
    const bool auth = s.authPassphrase[0] == '\0';
    const bool priv = m_securityLevel == 2 && s.privPassphrase[0] == '\0';
    if (!auth && !priv) return;
    zel_log(kKalLogWarn, "%s: SNMPv3 with the built-in default %s pass phrase",
            "IZelPluginUSM::set()",
            auth && priv ? "authentication and privacy" : auth ? "authentication" : "privacy");
  }

  void reset() noexcept {
    m_mode = kZelUsmDefaultMode;
    kal_copy_text(m_szSecurityName, kDefaultSecurityName);
    m_securityLevel = kZelUsmDefaultSecurityLevel;
    m_authProtocol = kZelUsmDefaultAuthProtocol;
    m_privProtocol = kZelUsmDefaultPrivProtocol;
    kal_copy_secret(m_szAuthPassphrase, kDefaultAuthPassphrase);
    kal_copy_secret(m_szPrivPassphrase, kDefaultPrivPassphrase);
    m_szContextName[0] = '\0';
  }

  int32_t m_mode;
  char m_szSecurityName[kZelUsmNameSize];
  int32_t m_securityLevel;
  int32_t m_authProtocol;
  int32_t m_privProtocol;
  char m_szAuthPassphrase[kZelUsmPassphraseSize];
  char m_szPrivPassphrase[kZelUsmPassphraseSize];
  char m_szContextName[kZelUsmContextNameSize];
};

}  // namespace

IZelPluginUSM* zel_create_plugin_usm(int* pStatus) noexcept {
  IZelPluginUSM* usm = kal_new<CZelPluginUSM>();
  if (!usm) return kal_fail<IZelPluginUSM>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return usm;
}
