// The texts the option object reads from a device: the controller's ROM
// version, the booklet unit's impression limit and the model's sysObjectID.
// Pure functions; thread-safe.
#ifndef OPTIONS_OPTION_TEXT_H_
#define OPTIONS_OPTION_TEXT_H_

#include <cstdint>

// Description of hrDevice row 10 on this family.
inline constexpr char kZelRomVersionPattern[] = "Printer Controller v%d.%d.%d - Processor";
// The booklet unit's detail setting text.
inline constexpr char kZelBookletPattern[] = "Max Impression = %d";
// sysObjectID of the supported family; longer identifiers continue it after a '.'.
inline constexpr char kZelSorrel5ObjectId[] = "1.3.6.1.4.1.61802.1.11.93.1.37.22.4";

// Reads `text` against a scanf-style `pattern` of literal characters, white
// space (any run of white space, also none) and %d conversions, and stores
// the numbers in out[0..max_out-1]. Answers how many conversions succeeded
// before the first mismatch, as sscanf does (the text after the last
// conversion is compared only as far as it goes). A number outside 32 bits
// does not convert. Null text or pattern answer 0.
int zel_scan_numbers(const char* text, const char* pattern, int32_t* out, int max_out);

// ROM version "Printer Controller v1.20.3 - Processor" -> 1, 20, 3. Answers
// true when all three numbers convert; the outs are written only then.
bool zel_parse_rom_version(const char* text, int32_t* major, int32_t* minor, int32_t* revision);

// "Max Impression = 50" -> 50. Answers false (and leaves *impression) when
// the text is not of that form.
bool zel_parse_booklet_impression(const char* text, int32_t* impression);

// True when `object_id` is the family's sysObjectID or lies below it.
bool zel_is_family_object_id(const char* object_id);

#endif  // OPTIONS_OPTION_TEXT_H_
