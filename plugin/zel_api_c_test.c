/* The exported interface seen from C: the header compiles as C, the record
 * layouts hold in C, and every function that takes a context answers a null
 * one with its documented result. Linked against the plug-in library by name,
 * as a C host would link it. Exits non-zero on the first mismatch. */
#include <stdio.h>
#include <string.h>

#include "plugin/zel_api.h"
#include "plugin/zel_api_layout_asserts.h"

static int failures = 0;

#define EXPECT_EQ(expected, actual)                                   \
  do {                                                                \
    long e_ = (long)(expected), a_ = (long)(actual);                  \
    if (e_ != a_) {                                                   \
      fprintf(stderr, "%s:%d: %s: expected %ld, got %ld\n", __FILE__, \
              __LINE__, #actual, e_, a_);                             \
      ++failures;                                                     \
    }                                                                 \
  } while (0)

int main(void) {
  ZelSnmpV3Settings settings;
  ZelStorageInfo storage;
  ZelDeviceInfo device;
  ZelPrinterInfo printer;
  ZelInputTrayInfo tray;
  ZelInputTrayInfoEx trayEx;
  ZelOutputTrayInfo output;
  ZelTonerInfo toner;
  ZelAlertInfo alert;
  ZelJobInfo job;
  char address[ZEL_ADDRESS_SIZE], model[ZEL_MODEL_NAME_SIZE],
      oid[ZEL_OID_TEXT_SIZE];
  char text[ZEL_OPTION_TEXT_SIZE];
  uint8_t flag = 7;
  int32_t i32 = 0;
  uint32_t u32 = 0;
  int16_t i16 = 0;
  memset(&settings, 0, sizeof settings);

  EXPECT_EQ(-2, ZelInit(NULL));
  ZelUnInit(NULL);
  EXPECT_EQ(-2, ZelCommandString(NULL, "CmdSetCommunityFind", "public"));
  EXPECT_EQ(-2, ZelCommandInteger(NULL, "Cmd", &i32));
  EXPECT_EQ(-2, ZelFindDeviceSNMP(NULL, NULL, 1, 100, 0, &i32));
  EXPECT_EQ(-2, ZelFindDeviceSNMPEx(NULL, NULL, 1, 0, &settings, 100, 0, &i32));
  EXPECT_EQ(-2, ZelFindAddFilter(NULL, "1.3.6"));
  ZelFindClearFilter(NULL);
  ZelFindResetPosition(NULL);
  EXPECT_EQ(0, ZelGetDeviceNext(NULL, address, model, &flag, oid));
  EXPECT_EQ(7, flag);
  EXPECT_EQ(-2, ZelInitDevice(NULL, "127.0.0.1", 1, 100, 0));
  EXPECT_EQ(-2, ZelInitDeviceEx(NULL, "127.0.0.1", 1, 0, &settings, 100, 0));
  EXPECT_EQ(-2, ZelIsSupportedOID(NULL, "1.3.6.1"));
  EXPECT_EQ(-2, ZelRefreshOptions(NULL));
  EXPECT_EQ(-2, ZelGetOptionValueBoolean(NULL, "key", 0, &i16));
  EXPECT_EQ(-2, ZelGetOptionValueInteger(NULL, "key", 0, &i32));
  EXPECT_EQ(-2, ZelGetOptionValueUInteger(NULL, "key", 0, &u32));
  EXPECT_EQ(-2, ZelGetOptionValueString(NULL, "key", 0, text));
  EXPECT_EQ(-2, ZelGetNumberOfStorageInfo(NULL, &i32));
  EXPECT_EQ(-2, ZelGetStorageInfo(NULL, 0, &storage));
  EXPECT_EQ(-2, ZelGetNumberOfDeviceInfo(NULL, &i32));
  EXPECT_EQ(-2, ZelGetDeviceInfo(NULL, 0, &device));
  EXPECT_EQ(-2, ZelGetPrinterInfo(NULL, &printer));
  EXPECT_EQ(-2, ZelGetNumberOfInputTrayInfo(NULL, &i32));
  EXPECT_EQ(-2, ZelGetInputTrayInfo(NULL, 0, &tray));
  EXPECT_EQ(-2, ZelGetNumberOfInputTrayInfoEx(NULL, &i32));
  EXPECT_EQ(-2, ZelGetInputTrayInfoEx(NULL, 0, &trayEx));
  EXPECT_EQ(-2, ZelGetNumberOfOutputTrayInfo(NULL, &i32));
  EXPECT_EQ(-2, ZelGetOutputTrayInfo(NULL, 0, &output));
  EXPECT_EQ(-2, ZelGetNumberOfTonerInfo(NULL, &i32));
  EXPECT_EQ(-2, ZelGetTonerInfo(NULL, 0, &toner));
  EXPECT_EQ(-2, ZelGetNumberOfAlertInfo(NULL, &i32));
  EXPECT_EQ(-2, ZelGetAlertInfo(NULL, 0, &alert));
  EXPECT_EQ(-2, ZelGetNumberOfJobInfo(NULL, 0, &i32));
  EXPECT_EQ(-2, ZelGetJobInfo(NULL, 0, &job));
  EXPECT_EQ(-2, ZelCancelJob(NULL, "12"));
  EXPECT_EQ(-2, ZelGetCharSet(NULL, 0, &i32));
  /* The one function without a context: code 4 does not exist. */
  EXPECT_EQ(0, ZelTransportAvailable(4));

  /* Every named code has a text of its own; others get the fallback. */
  {
    /* clang-format off */
    static const int32_t codes[] = {
        ZEL_STATUS_OK, ZEL_STATUS_INIT_NO_CONTEXT, ZEL_STATUS_GENERAL,
        ZEL_STATUS_INVALID_ARGUMENT, ZEL_STATUS_NO_MEMORY,
        ZEL_STATUS_NO_INTERFACE, ZEL_STATUS_NOT_SUPPORTED, ZEL_STATUS_NOT_FOUND,
        ZEL_STATUS_NO_DATA, ZEL_STATUS_NOT_READY, ZEL_STATUS_PLATFORM,
        ZEL_STATUS_INDEX_RANGE, ZEL_STATUS_TOO_MUCH_DATA, ZEL_STATUS_V3_UNMAPPED,
        ZEL_STATUS_SOCKET_OPEN, ZEL_STATUS_BIND, ZEL_STATUS_TIMEOUT,
        ZEL_STATUS_RECEIVE, ZEL_STATUS_SEND, ZEL_STATUS_TOO_BIG,
        ZEL_STATUS_TOO_LARGE, ZEL_STATUS_CANNOT_SPLIT, ZEL_STATUS_V3_SECURITY,
        ZEL_STATUS_UNDECODABLE, ZEL_STATUS_OTHER_REQUEST, ZEL_STATUS_BAD_INDEX};
    /* clang-format on */
    const size_t n = sizeof codes / sizeof codes[0];
    size_t a, b;
    for (a = 0; a < n; ++a) {
      EXPECT_EQ(1, strcmp(ZelStatusText(codes[a]), "unknown status") != 0);
      for (b = a + 1; b < n; ++b)
        EXPECT_EQ(
            1, strcmp(ZelStatusText(codes[a]), ZelStatusText(codes[b])) != 0);
    }
    EXPECT_EQ(0, strcmp(ZelStatusText(-9), "unknown status"));
    EXPECT_EQ(0, strcmp(ZelStatusText(1), "unknown status"));
  }

  if (failures) {
    fprintf(stderr, "%d failure(s)\n", failures);
    return 1;
  }
  puts("all null-handle answers as documented");
  return 0;
}
