#include "common/interface_id.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>

#include "common/status.h"

namespace {

const char* const kAll[] = {kKalIidRoot,          kKalIidLogger,    kKalIidLoggerExtension,
                            kKalIidManagedLogger, kKalIidLogGroup,  kKalIidLogOutput,
                            kKalIidFileLogOutput};

TEST(InterfaceIdTest, SevenDistinctLowerCaseIdentifiersInTextForm) {
  std::set<std::string> seen;
  for (const char* iid : kAll) {
    ASSERT_EQ(std::strlen(iid), kKalIidLength) << iid;
    for (size_t i = 0; i < kKalIidLength; ++i) {
      if (i == 8 || i == 13 || i == 18 || i == 23) {
        EXPECT_EQ(iid[i], '-') << iid;
      } else {
        EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(iid[i])) &&
                    !std::isupper(static_cast<unsigned char>(iid[i])))
            << iid;
      }
    }
    seen.insert(iid);
  }
  EXPECT_EQ(seen.size(), 7u);
}

TEST(InterfaceIdTest, OnlyTheExactWholeTextMatches) {
  std::string upper = kKalIidRoot;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string longer = std::string(kKalIidRoot) + "0";
  std::string copy = kKalIidRoot;  // another buffer, same text
  EXPECT_TRUE(kal_iid_equal(copy.c_str(), kKalIidRoot));
  EXPECT_FALSE(kal_iid_equal(upper.c_str(), kKalIidRoot));
  EXPECT_FALSE(kal_iid_equal(longer.c_str(), kKalIidRoot));
  EXPECT_FALSE(kal_iid_equal(std::string(kKalIidRoot, 35).c_str(), kKalIidRoot));
  EXPECT_FALSE(kal_iid_equal("", kKalIidRoot));
  EXPECT_FALSE(kal_iid_equal(nullptr, kKalIidRoot));
}

TEST(InterfaceIdTest, ShortTextIsNotReadPastItsEnd) {
  // A heap block of exactly 2 bytes: AddressSanitizer catches a 37-byte read.
  char* shortText = new char[2]{'0', '\0'};
  EXPECT_FALSE(kal_iid_equal(shortText, kKalIidRoot));
  delete[] shortText;
}

TEST(InterfaceIdTest, QueryAnswerConvention) {
  int a = 0;
  int b = 0;
  void* out = &a;
  EXPECT_EQ(kal_query_answer(kKalIidLogger, &out, {{kKalIidRoot, &a}, {kKalIidLogger, &b}}),
            kKalOk);
  EXPECT_EQ(out, &b);

  EXPECT_EQ(kal_query_answer(kKalIidLogGroup, &out, {{kKalIidRoot, &a}}), kKalErrNoInterface);
  EXPECT_EQ(out, nullptr);

  out = &a;
  EXPECT_EQ(kal_query_answer(nullptr, &out, {{kKalIidRoot, &a}}), kKalErrInvalidArg);
  EXPECT_EQ(out, &a);
  EXPECT_EQ(kal_query_answer(kKalIidRoot, nullptr, {{kKalIidRoot, &a}}), kKalErrInvalidArg);
}

}  // namespace
