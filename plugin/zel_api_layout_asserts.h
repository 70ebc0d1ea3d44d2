/* Compile-time checks of every host record's size and field offsets. Included
 * by a C file and a C++ file, so that both languages see the same layout. */
#ifndef PLUGIN_ZEL_API_LAYOUT_ASSERTS_H_
#define PLUGIN_ZEL_API_LAYOUT_ASSERTS_H_

#include <stddef.h>

#include "plugin/zel_api.h"

#ifdef __cplusplus
#define ZEL_LAYOUT(cond) static_assert(cond, #cond)
#else
#define ZEL_LAYOUT(cond) _Static_assert(cond, #cond)
#endif
#define ZEL_AT(type, field, offset) \
  ZEL_LAYOUT(offsetof(type, field) == (offset))
#define ZEL_SIZE(type, field, size) \
  ZEL_LAYOUT(sizeof(((type*)0)->field) == (size))

ZEL_LAYOUT(sizeof(ZelSnmpV3Settings) == 716);
ZEL_AT(ZelSnmpV3Settings, securityName, 0);
ZEL_SIZE(ZelSnmpV3Settings, securityName, 64);
ZEL_AT(ZelSnmpV3Settings, securityLevel, 64);
ZEL_AT(ZelSnmpV3Settings, authProtocol, 68);
ZEL_AT(ZelSnmpV3Settings, privProtocol, 72);
ZEL_AT(ZelSnmpV3Settings, authPassphrase, 76);
ZEL_SIZE(ZelSnmpV3Settings, authPassphrase, 64);
ZEL_AT(ZelSnmpV3Settings, privPassphrase, 140);
ZEL_SIZE(ZelSnmpV3Settings, privPassphrase, 64);
ZEL_AT(ZelSnmpV3Settings, contextName, 204);
ZEL_SIZE(ZelSnmpV3Settings, contextName, 512);

ZEL_LAYOUT(sizeof(ZelStorageInfo) == 268);
ZEL_AT(ZelStorageInfo, type, 0);
ZEL_AT(ZelStorageInfo, allocationUnits, 4);
ZEL_AT(ZelStorageInfo, size, 8);
ZEL_AT(ZelStorageInfo, description, 12);
ZEL_SIZE(ZelStorageInfo, description, 256);

ZEL_LAYOUT(sizeof(ZelDeviceInfo) == 264);
ZEL_AT(ZelDeviceInfo, type, 0);
ZEL_AT(ZelDeviceInfo, status, 4);
ZEL_AT(ZelDeviceInfo, description, 8);
ZEL_SIZE(ZelDeviceInfo, description, 256);

ZEL_LAYOUT(sizeof(ZelPrinterInfo) == 8);
ZEL_AT(ZelPrinterInfo, printerStatus, 0);
ZEL_AT(ZelPrinterInfo, detectedErrorState, 4);

ZEL_LAYOUT(sizeof(ZelInputTrayInfo) == 552);
ZEL_AT(ZelInputTrayInfo, type, 0);
ZEL_AT(ZelInputTrayInfo, dimensionUnit, 4);
ZEL_AT(ZelInputTrayInfo, mediaDimFeedDeclared, 8);
ZEL_AT(ZelInputTrayInfo, mediaDimXFeedDeclared, 12);
ZEL_AT(ZelInputTrayInfo, mediaDimFeedChosen, 16);
ZEL_AT(ZelInputTrayInfo, mediaDimXFeedChosen, 20);
ZEL_AT(ZelInputTrayInfo, capacityUnit, 24);
ZEL_AT(ZelInputTrayInfo, maxCapacity, 28);
ZEL_AT(ZelInputTrayInfo, currentLevel, 32);
ZEL_AT(ZelInputTrayInfo, status, 36);
ZEL_AT(ZelInputTrayInfo, mediaName, 40);
ZEL_SIZE(ZelInputTrayInfo, mediaName, 64);
ZEL_AT(ZelInputTrayInfo, name, 104);
ZEL_SIZE(ZelInputTrayInfo, name, 64);
ZEL_AT(ZelInputTrayInfo, description, 168);
ZEL_SIZE(ZelInputTrayInfo, description, 256);
ZEL_AT(ZelInputTrayInfo, mediaType, 424);
ZEL_SIZE(ZelInputTrayInfo, mediaType, 64);
ZEL_AT(ZelInputTrayInfo, mediaColor, 488);
ZEL_SIZE(ZelInputTrayInfo, mediaColor, 64);

ZEL_LAYOUT(sizeof(ZelInputTrayInfoEx) == 564);
ZEL_AT(ZelInputTrayInfoEx, tray, 0);
ZEL_AT(ZelInputTrayInfoEx, tray.mediaColor, 488);
ZEL_AT(ZelInputTrayInfoEx, vendorTrayNumber, 552);
ZEL_AT(ZelInputTrayInfoEx, reserved, 556);
ZEL_SIZE(ZelInputTrayInfoEx, reserved, 8);

ZEL_LAYOUT(sizeof(ZelOutputTrayInfo) == 328);
ZEL_AT(ZelOutputTrayInfo, type, 0);
ZEL_AT(ZelOutputTrayInfo, status, 4);
ZEL_AT(ZelOutputTrayInfo, name, 8);
ZEL_SIZE(ZelOutputTrayInfo, name, 64);
ZEL_AT(ZelOutputTrayInfo, description, 72);
ZEL_SIZE(ZelOutputTrayInfo, description, 256);

ZEL_LAYOUT(sizeof(ZelTonerInfo) == 268);
ZEL_AT(ZelTonerInfo, supplyUnit, 0);
ZEL_AT(ZelTonerInfo, maxCapacity, 4);
ZEL_AT(ZelTonerInfo, level, 8);
ZEL_AT(ZelTonerInfo, description, 12);
ZEL_SIZE(ZelTonerInfo, description, 256);

ZEL_LAYOUT(sizeof(ZelAlertInfo) == 276);
ZEL_AT(ZelAlertInfo, severityLevel, 0);
ZEL_AT(ZelAlertInfo, group, 4);
ZEL_AT(ZelAlertInfo, groupIndex, 8);
ZEL_AT(ZelAlertInfo, location, 12);
ZEL_AT(ZelAlertInfo, code, 16);
ZEL_AT(ZelAlertInfo, description, 20);
ZEL_SIZE(ZelAlertInfo, description, 256);

ZEL_LAYOUT(sizeof(ZelDateTime) == 12);
ZEL_AT(ZelDateTime, year, 0);
ZEL_AT(ZelDateTime, month, 2);
ZEL_AT(ZelDateTime, day, 4);
ZEL_AT(ZelDateTime, hour, 6);
ZEL_AT(ZelDateTime, minute, 8);
ZEL_AT(ZelDateTime, second, 10);

ZEL_LAYOUT(sizeof(ZelJobInfo) == 1336);
ZEL_AT(ZelJobInfo, jobType, 0);
ZEL_AT(ZelJobInfo, jobState, 4);
ZEL_AT(ZelJobInfo, jobInteger2, 8);
ZEL_AT(ZelJobInfo, jobCounter1, 12);
ZEL_AT(ZelJobInfo, jobCounter2, 16);
ZEL_AT(ZelJobInfo, jobText1, 20);
ZEL_AT(ZelJobInfo, jobText2, 276);
ZEL_AT(ZelJobInfo, jobText3, 532);
ZEL_AT(ZelJobInfo, jobId, 788);
ZEL_AT(ZelJobInfo, jobTextDirect, 1044);
ZEL_SIZE(ZelJobInfo, jobTextDirect, 256);
ZEL_AT(ZelJobInfo, time1, 1300);
ZEL_AT(ZelJobInfo, time2, 1312);
ZEL_AT(ZelJobInfo, time3, 1324);

#endif /* PLUGIN_ZEL_API_LAYOUT_ASSERTS_H_ */
