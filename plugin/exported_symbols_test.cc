// The built library's dynamic symbol table: exactly the 38 exported
// functions, plus the symbols of the two exported option classes, and nothing
// else: no C++ runtime symbol, no internal helper.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "plugin/library_api_test_util.h"

namespace {

// Every one must be exported, as a function.
#define ZEL_NAME(name) #name,
const char* const kExportedFunctions[] = {ZEL_EXPORTED_FUNCTIONS(ZEL_NAME)};
#undef ZEL_NAME
static_assert(sizeof kExportedFunctions / sizeof kExportedFunctions[0] == 38);

// Each has the header's pointer type that a C host types its dlsym with.
#define ZEL_TYPED(name) \
  static_assert(std::is_convertible_v<decltype(&::name), name##Fn>, #name "Fn");
ZEL_EXPORTED_FUNCTIONS(ZEL_TYPED)
#undef ZEL_TYPED

// Classes whose members, vtables and typeinfo may be exported (demangled
// names). Add a class here and to plugin/zel_exports.map together.
const char* const kExportedClasses[] = {"CZelDevCommOption",
                                        "CZelSorrel5Option"};

struct Symbol {
  char type;
  std::string name;
};

// Runs nm on the library; `demangle` asks for C++ names.
std::vector<Symbol> defined_dynamic_symbols(bool demangle) {
  std::vector<Symbol> out;
  const std::string command = std::string("nm -D --defined-only ") +
                              (demangle ? "-C " : "") +
                              "'" ZEL_LIBRARY_PATH "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char line[4096];
  while (fgets(line, sizeof line, pipe)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
      text.pop_back();
    // "<address> <type> <name>"; the name may contain spaces when demangled.
    const size_t first = text.find(' ');
    if (first == std::string::npos || first + 3 > text.size()) continue;
    out.push_back({text[first + 1], text.substr(first + 3)});
  }
  EXPECT_EQ(0, pclose(pipe)) << command;
  return out;
}

bool is_class_symbol(const std::string& name) {
  for (const char* cls : kExportedClasses) {
    const std::string c(cls);
    if (name.rfind(c + "::", 0) == 0 || name == "vtable for " + c ||
        name == "typeinfo for " + c || name == "typeinfo name for " + c) {
      return true;
    }
  }
  return false;
}

TEST(ExportedSymbols, ExactlyTheZelFunctionsAndOptionClasses) {
  const std::vector<Symbol> symbols = defined_dynamic_symbols(true);
  ASSERT_FALSE(symbols.empty()) << "nm found no symbols in " ZEL_LIBRARY_PATH;
  std::set<std::string> functions;
  for (const Symbol& s : symbols) {
    if (s.type == 'T') functions.insert(s.name);
    const bool expected_function =
        s.type == 'T' &&
        std::find_if(std::begin(kExportedFunctions),
                     std::end(kExportedFunctions), [&](const char* f) {
                       return s.name == f;
                     }) != std::end(kExportedFunctions);
    EXPECT_TRUE(expected_function || is_class_symbol(s.name))
        << "unexpected export: " << s.type << " " << s.name;
  }
  for (const char* f : kExportedFunctions) {
    EXPECT_EQ(1u, functions.count(f)) << "missing export: " << f;
  }
}

TEST(ExportedSymbols, SonameCarriesTheInterfaceVersion) {
  const std::string command = "readelf -d '" ZEL_LIBRARY_PATH "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(nullptr, pipe);
  std::string all;
  char line[4096];
  while (fgets(line, sizeof line, pipe)) all += line;
  pclose(pipe);
  EXPECT_NE(std::string::npos, all.find("[" ZEL_LIBRARY_SONAME "]")) << all;
}

}  // namespace
