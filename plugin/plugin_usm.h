// The USM provider: the SNMPv3 settings (mode and the USM parameter block)
// that every discovery and device open applies before it prepares requests.
// The context owns one; the exported option classes take it in their Init,
// so the slot order of IZelPluginUSM is part of the library's binary
// interface and must not change.
#ifndef PLUGIN_PLUGIN_USM_H_
#define PLUGIN_PLUGIN_USM_H_

#include <cstddef>
#include <cstdint>

#include "plugin/zel_api.h"

// Field sizes of the texts (with their NUL).
inline constexpr size_t kZelUsmNameSize = 64;
inline constexpr size_t kZelUsmPassphraseSize = 64;
inline constexpr size_t kZelUsmContextNameSize = 512;

// Defaults after every reset.
inline constexpr int32_t kZelUsmDefaultMode = -1;  // community-based SNMP
inline constexpr int32_t kZelUsmDefaultSecurityLevel = 2;  // authPriv
inline constexpr int32_t kZelUsmDefaultAuthProtocol = 1;   // HMAC-MD5
inline constexpr int32_t kZelUsmDefaultPrivProtocol = 1;   // DES
inline constexpr int32_t kZelUsmModeV3 = 2;                // selects SNMPv3

class IZelPluginUSM {
 public:
  // Resets every setting to its default, then takes over `mode` when it is 0,
  // 1 or 2; each text of `settings` when its first character is not NUL (cut
  // to the field size - 1); each of the three integers when it is 0, 1 or 2.
  virtual void set(int32_t mode,
                   const ZelSnmpV3Settings& settings) noexcept = 0;
  // Destroys the object.
  virtual void release() noexcept = 0;
  // The getters lend the provider's own buffers: they live as long as the
  // provider and their content changes with every set().
  virtual int32_t get_mode() const noexcept = 0;
  virtual const char* get_security_name() const noexcept = 0;
  virtual int32_t get_security_level() const noexcept = 0;
  virtual int32_t get_auth_protocol() const noexcept = 0;
  virtual int32_t get_priv_protocol() const noexcept = 0;
  virtual const char* get_auth_passphrase() const noexcept = 0;
  virtual const char* get_priv_passphrase() const noexcept = 0;
  virtual const char* get_context_name() const noexcept = 0;
  virtual ~IZelPluginUSM() = default;
};

// Makes a provider holding the defaults. The caller owns it (release()).
// *pStatus (optional): 0, kKalErrNoMemory.
IZelPluginUSM* zel_create_plugin_usm(int* pStatus = nullptr) noexcept;

#endif  // PLUGIN_PLUGIN_USM_H_
