// The text object: lengths with embedded NULs, exact equality, appending a
// value to itself, deep clones, and every allocation failing once.
#include "common/text.h"

#include <gtest/gtest.h>

#include <string>

#include "common/owned.h"
#include "common/status.h"

namespace {

using Text = KalOwned<IKalText>;

TEST(Text, EmptyValue) {
  Text t(kal_create_text());
  ASSERT_TRUE(t);
  EXPECT_EQ(t->length(), 0u);
  EXPECT_EQ(t->text(), nullptr);
  EXPECT_STREQ(t->data(), "");
  EXPECT_TRUE(t->equals(""));
  EXPECT_TRUE(t->equals(static_cast<const char*>(nullptr)));
  Text other(kal_create_text());
  EXPECT_TRUE(t->equals(other.get()));
}

TEST(Text, KeepsEmbeddedNulsAndCompares) {
  Text t(kal_create_text());
  ASSERT_EQ(t->assign("a\0b", 3), 0);
  EXPECT_EQ(t->length(), 3u);
  EXPECT_TRUE(t->equals("a\0b", 3));
  EXPECT_FALSE(t->equals("a"));
  EXPECT_FALSE(t->equals("a\0c", 3));
  Text upper(kal_create_text_from("FE80::1"));
  EXPECT_FALSE(upper->equals("fe80::1")) << "equality is case-sensitive";
  EXPECT_EQ(t->assign(nullptr, 1), kKalErrInvalidArg);
  EXPECT_EQ(t->length(), 3u);
}

TEST(Text, AppendsItselfAndOthers) {
  Text t(kal_create_text_from("ab"));
  ASSERT_EQ(t->append(t.get()), 0);
  EXPECT_STREQ(t->text(), "abab");
  // Enough growth that the buffer moves while its own bytes are appended.
  for (int i = 0; i < 8; ++i) ASSERT_EQ(t->append(t->text(), t->length()), 0);
  EXPECT_EQ(t->length(), 4u << 8);
  EXPECT_EQ(std::string(t->text(), 4), "abab");
  EXPECT_EQ(std::string(t->text() + t->length() - 4), "abab");
  ASSERT_EQ(t->assign("x"), 0);
  ASSERT_EQ(t->append(static_cast<const IKalText*>(nullptr)), 0);
  EXPECT_STREQ(t->text(), "x");
}

TEST(Text, CloneIsDeep) {
  Text t(kal_create_text_from("10.0.0.1"));
  int rc = -1;
  Text copy(t->clone(&rc));
  ASSERT_EQ(rc, 0);
  EXPECT_TRUE(copy->equals(t.get()));
  EXPECT_NE(copy->text(), t->text());
  t->clear();
  EXPECT_STREQ(copy->text(), "10.0.0.1");
}

TEST(Text, EveryAllocationFailsOnce) {
  auto scenario = []() -> int {
    int rc = 0;
    Text t(kal_create_text_from("0000000a:0000c0a80114", &rc));
    if (!t) return rc;
    for (int i = 0; i < 4; ++i) {
      if ((rc = t->append(t.get()))) return rc;
    }
    Text copy(t->clone(&rc));
    return copy ? kKalOk : rc;
  };
  kal_alloc_hook::g_calls = 0;
  ASSERT_EQ(scenario(), 0);
  const long total = kal_alloc_hook::g_calls;
  for (long n = 0; n < total; ++n) {
    kal_alloc_hook::g_fail_countdown = n;
    EXPECT_EQ(scenario(), kKalErrNoMemory) << "allocation " << n;
    kal_alloc_hook::g_fail_countdown = -1;
  }
}

}  // namespace
