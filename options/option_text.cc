#include "options/option_text.h"

#include <cctype>
#include <cstring>

namespace {

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

void skip_spaces(const char*& p) {
  while (*p && is_space(*p)) ++p;
}

// %d: optional white space, an optional sign, at least one digit. The value
// is built in 64 bits and refused once it leaves the 32-bit range, where
// sscanf's behaviour would be undefined.
bool scan_int(const char*& p, int32_t* out) {
  skip_spaces(p);
  const char* q = p;
  bool negative = false;
  if (*q == '+' || *q == '-') negative = (*q++ == '-');
  if (!is_digit(*q)) return false;
  int64_t value = 0;
  while (is_digit(*q)) {
    value = value * 10 + (*q++ - '0');
    if (value > int64_t{INT32_MAX} + 1) return false;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return false;
  *out = static_cast<int32_t>(value);
  p = q;
  return true;
}

}  // namespace

int zel_scan_numbers(const char* text, const char* pattern, int32_t* out, int max_out) {
  if (!text || !pattern) return 0;
  int converted = 0;
  const char* t = text;
  for (const char* f = pattern; *f; ++f) {
    if (is_space(*f)) {
      skip_spaces(t);
    } else if (f[0] == '%' && f[1] == 'd') {
      int32_t value = 0;
      if (!scan_int(t, &value)) break;
      if (converted < max_out && out) out[converted] = value;
      ++converted;
      ++f;
    } else if (*t == *f) {
      ++t;
    } else {
      break;
    }
  }
  return converted;
}

bool zel_parse_rom_version(const char* text, int32_t* major, int32_t* minor, int32_t* revision) {
  int32_t n[3] = {0, 0, 0};
  if (zel_scan_numbers(text, kZelRomVersionPattern, n, 3) != 3) return false;
  if (major) *major = n[0];
  if (minor) *minor = n[1];
  if (revision) *revision = n[2];
  return true;
}

bool zel_parse_booklet_impression(const char* text, int32_t* impression) {
  int32_t n = 0;
  if (zel_scan_numbers(text, kZelBookletPattern, &n, 1) != 1) return false;
  if (impression) *impression = n;
  return true;
}

bool zel_is_family_object_id(const char* object_id) {
  if (!object_id) return false;
  const size_t n = sizeof(kZelSorrel5ObjectId) - 1;
  if (std::strncmp(object_id, kZelSorrel5ObjectId, n) != 0) return false;
  return object_id[n] == '\0' || object_id[n] == '.';
}
