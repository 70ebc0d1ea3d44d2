/* The exported interface of the printer plug-in: 38 functions with C linkage
 * and the fixed-layout records they fill. This header compiles as C and as
 * C++. The host owns every buffer and record it passes; the plug-in copies
 * into them and never keeps a pointer into host memory after a call returns.
 * Output texts carry no size argument: the host passes buffers of at least the
 * sizes given here. One context must not be used from two threads at once.
 *
 * Result codes (int32_t unless a function says otherwise):
 *    0  success
 *    3  ZelInit only: the context itself could not be allocated
 *   -1  ZelGetNumberOfInputTrayInfoEx only: the device reported no input trays
 *   -2  invalid argument: null pointer, unknown protocol code, selector out of
 *       range, address not of the given protocol, unsupported device model
 *   -3  out of memory while creating a part of the context
 *   -5  unknown command, or discovery asked for a protocol it does not serve
 *   -8  no device opened: no option object or no device object yet
 *  -11  record index out of range
 *  -12  too much data: a table walk passed 100,000 rows or 64 MiB of values
 *       (a device whose table never ends); nothing of that table is kept
 * Other negative codes come from the SNMP layers and are passed on unchanged.
 *
 * Host protocol codes: 1 UDP over IPv4, 2 IPX, 3 accepted by the argument
 * check but served by no transport, 5 UDP over IPv6; every other code is an
 * argument error. */
#ifndef PLUGIN_ZEL_API_H_
#define PLUGIN_ZEL_API_H_

#include <stdint.h>

#include "plugin/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The context handle: opaque, made by ZelInit, freed by ZelUnInit. */
typedef struct ZelContext ZelContext;

/* Sizes of the host's output buffers. */
#define ZEL_ADDRESS_SIZE 64    /* ZelGetDeviceNext: address text */
#define ZEL_MODEL_NAME_SIZE 64 /* ZelGetDeviceNext: model name */
#define ZEL_OID_TEXT_SIZE 64   /* ZelGetDeviceNext: sysObjectID text */
#define ZEL_OPTION_TEXT_SIZE \
  256 /* ZelGetOptionValueString: longest option text + NUL */

/* SNMPv3 settings (716 bytes), input of ZelFindDeviceSNMPEx and
 * ZelInitDeviceEx, copied on entry. Empty texts and integers outside 0..2
 * keep the plug-in's defaults. Texts need not be NUL-terminated inside their
 * field: at most size - 1 characters are taken. */
typedef struct ZelSnmpV3Settings {
  char securityName[64];   /* 0 */
  int32_t securityLevel;   /* 64: 0 noAuthNoPriv, 1 authNoPriv, 2 authPriv */
  int32_t authProtocol;    /* 68: 1 HMAC-MD5, 2 HMAC-SHA1 */
  int32_t privProtocol;    /* 72: 1 DES, 2 AES */
  char authPassphrase[64]; /* 76 */
  char privPassphrase[64]; /* 140 */
  char contextName[512];   /* 204 */
} ZelSnmpV3Settings;

/* One hrStorageTable row (268 bytes). */
typedef struct ZelStorageInfo {
  int32_t type;
  int32_t allocationUnits;
  int32_t size;
  char description[256];
} ZelStorageInfo;

/* One hrDeviceTable row (264 bytes). */
typedef struct ZelDeviceInfo {
  int32_t type;
  int32_t status;
  char description[256];
} ZelDeviceInfo;

/* Printer state (8 bytes). */
typedef struct ZelPrinterInfo {
  int32_t printerStatus;
  int32_t detectedErrorState;
} ZelPrinterInfo;

/* One prtInputTable row (552 bytes). */
typedef struct ZelInputTrayInfo {
  int32_t type;                  /* 0 */
  int32_t dimensionUnit;         /* 4 */
  int32_t mediaDimFeedDeclared;  /* 8 */
  int32_t mediaDimXFeedDeclared; /* 12 */
  int32_t mediaDimFeedChosen;    /* 16 */
  int32_t mediaDimXFeedChosen;   /* 20 */
  int32_t capacityUnit;          /* 24 */
  int32_t maxCapacity;           /* 28 */
  int32_t currentLevel;          /* 32 */
  int32_t status;                /* 36 */
  char mediaName[64];            /* 40 */
  char name[64];                 /* 104 */
  char description[256];         /* 168 */
  char mediaType[64];            /* 424 */
  char mediaColor[64];           /* 488 */
} ZelInputTrayInfo;

/* One prtInputTable row with the vendor's tray number (564 bytes). */
typedef struct ZelInputTrayInfoEx {
  ZelInputTrayInfo tray;    /* 0 */
  int32_t vendorTrayNumber; /* 552: -1 when unknown */
  uint8_t reserved[8];      /* 556: always zero */
} ZelInputTrayInfoEx;

/* One prtOutputTable row (328 bytes). */
typedef struct ZelOutputTrayInfo {
  int32_t type;
  int32_t status;
  char name[64];
  char description[256];
} ZelOutputTrayInfo;

/* One toner row of prtMarkerSuppliesTable (268 bytes). */
typedef struct ZelTonerInfo {
  int32_t supplyUnit;
  int32_t maxCapacity;
  int32_t level;
  char description[256];
} ZelTonerInfo;

/* One prtAlertTable row (276 bytes). */
typedef struct ZelAlertInfo {
  int32_t severityLevel;
  int32_t group;
  int32_t groupIndex;
  int32_t location;
  int32_t code;
  char description[256];
} ZelAlertInfo;

/* A DateAndTime (12 bytes). */
typedef struct ZelDateTime {
  int16_t year;
  int16_t month;
  int16_t day;
  int16_t hour;
  int16_t minute;
  int16_t second;
} ZelDateTime;

/* One job of the vendor's job MIB (1336 bytes). */
typedef struct ZelJobInfo {
  int32_t jobType;         /* 0: 1..12, 0 unknown */
  int32_t jobState;        /* 4: 17 separates the two job lists */
  int32_t jobInteger2;     /* 8 */
  uint32_t jobCounter1;    /* 12 */
  uint32_t jobCounter2;    /* 16 */
  char jobText1[256];      /* 20: first localised text */
  char jobText2[256];      /* 276: second localised text */
  char jobText3[256];      /* 532: third localised text */
  char jobId[256];         /* 788: job identifier */
  char jobTextDirect[256]; /* 1044: text read directly */
  ZelDateTime time1;       /* 1300 */
  ZelDateTime time2;       /* 1312 */
  ZelDateTime time3;       /* 1324 */
} ZelJobInfo;

/* --- Context ----------------------------------------------------------- */

/* Makes a context. *pHandle is set only on success.
 * 0; -2 null pHandle (nothing allocated); 3 no memory for the context;
 * -3 no memory for a part of it. */
ZEL_EXPORT int32_t ZelInit(ZelContext** pHandle) ZEL_NOEXCEPT;
/* Destroys the context and all it owns. Null is ignored. */
ZEL_EXPORT void ZelUnInit(ZelContext* handle) ZEL_NOEXCEPT;
/* "CmdSetCommunityGetOption", "CmdSetCommunityFind", "CmdSetCommunityWrite"
 * (exact, case-sensitive) store `value` (cut to 255 characters) as the read,
 * discovery or write community. 0; -2 any null; -5 unknown command. */
ZEL_EXPORT int32_t ZelCommandString(ZelContext* handle, const char* command,
                                    const char* value) ZEL_NOEXCEPT;
/* No integer command exists. -2 null handle or pValue; otherwise -5. */
ZEL_EXPORT int32_t ZelCommandInteger(ZelContext* handle, const char* command,
                                     int32_t* pValue) ZEL_NOEXCEPT;

/* --- Discovery ------------------------------------------------------------ */

/* Finds supported devices at `address` (null: the protocol's broadcast or
 * multicast address). *pCount: devices found. -2 null handle or pCount,
 * unknown protocol; -5 protocol not served by discovery. */
ZEL_EXPORT int32_t ZelFindDeviceSNMP(ZelContext* handle, const char* address,
                                     int32_t protocol, int32_t timeoutMs,
                                     int32_t retries,
                                     int32_t* pCount) ZEL_NOEXCEPT;
/* As ZelFindDeviceSNMP with SNMP mode (2: SNMPv3) and SNMPv3 settings;
 * a null `settings` is -2. */
ZEL_EXPORT int32_t ZelFindDeviceSNMPEx(ZelContext* handle, const char* address,
                                       int32_t protocol, int32_t snmpMode,
                                       const ZelSnmpV3Settings* settings,
                                       int32_t timeoutMs, int32_t retries,
                                       int32_t* pCount) ZEL_NOEXCEPT;
/* Adds a sysObjectID prefix filter (cut to 63 characters) to the first free
 * of 50 slots; a filter beyond 50 is dropped. 0; -2 any null. */
ZEL_EXPORT int32_t ZelFindAddFilter(ZelContext* handle,
                                    const char* filter) ZEL_NOEXCEPT;
ZEL_EXPORT void ZelFindClearFilter(ZelContext* handle) ZEL_NOEXCEPT;
ZEL_EXPORT void ZelFindResetPosition(ZelContext* handle) ZEL_NOEXCEPT;
/* Delivers the next found device into the host's buffers (each
 * ZEL_ADDRESS_SIZE bytes) and sets *pFlag to 0. Answers 1 when a device was
 * delivered, 0 when the list is exhausted or an argument is null. */
ZEL_EXPORT int16_t ZelGetDeviceNext(ZelContext* handle, char* address,
                                    char* modelName, uint8_t* pFlag,
                                    char* sysObjectId) ZEL_NOEXCEPT;

/* --- Device open and options ---------------------------------------------- */

/* Opens the device at `address`. -2 null handle or address, unknown protocol
 * code, address not of the protocol, unsupported model; other SNMP codes. */
ZEL_EXPORT int32_t ZelInitDevice(ZelContext* handle, const char* address,
                                 int32_t protocol, int32_t timeoutMs,
                                 int32_t retries) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelInitDeviceEx(ZelContext* handle, const char* address,
                                   int32_t protocol, int32_t snmpMode,
                                   const ZelSnmpV3Settings* settings,
                                   int32_t timeoutMs,
                                   int32_t retries) ZEL_NOEXCEPT;
/* -2 null handle; 0 no device open attempted; 1 for a null or empty OID;
 * otherwise 1 or 0. */
ZEL_EXPORT int16_t ZelIsSupportedOID(ZelContext* handle,
                                     const char* oid) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelRefreshOptions(ZelContext* handle) ZEL_NOEXCEPT;
/* Option getters: -2 any null; -8 no option object; -5 unknown key; -11
 * index out of range. The string form copies at most ZEL_OPTION_TEXT_SIZE
 * bytes with the NUL. */
ZEL_EXPORT int32_t ZelGetOptionValueBoolean(ZelContext* handle, const char* key,
                                            uint16_t index,
                                            int16_t* pValue) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetOptionValueInteger(ZelContext* handle, const char* key,
                                            uint16_t index,
                                            int32_t* pValue) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetOptionValueUInteger(ZelContext* handle,
                                             const char* key, uint16_t index,
                                             uint32_t* pValue) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetOptionValueString(ZelContext* handle, const char* key,
                                           uint16_t index,
                                           char* buffer) ZEL_NOEXCEPT;

/* 1 when the transport of the host protocol code (1, 2 or 5) is usable on
 * this machine; 0 otherwise and for every other code. */
ZEL_EXPORT int16_t ZelTransportAvailable(int32_t protocol) ZEL_NOEXCEPT;

/* --- Device tables -------------------------------------------------------
 * Each count call re-reads its table from the device and caches the rows;
 * the record call copies one cached row without network traffic.
 * Count: -2 null; -8 no device object; -12 the table passed the walk
 * limits (no rows are cached then). Record: -2 null; -8 no device object;
 * -11 index not below the last count. */
ZEL_EXPORT int32_t ZelGetNumberOfStorageInfo(ZelContext* handle,
                                             int32_t* pCount) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetStorageInfo(ZelContext* handle, uint32_t index,
                                     ZelStorageInfo* pInfo) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetNumberOfDeviceInfo(ZelContext* handle,
                                            int32_t* pCount) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetDeviceInfo(ZelContext* handle, uint32_t index,
                                    ZelDeviceInfo* pInfo) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetPrinterInfo(ZelContext* handle,
                                     ZelPrinterInfo* pInfo) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetNumberOfInputTrayInfo(ZelContext* handle,
                                               int32_t* pCount) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetInputTrayInfo(ZelContext* handle, uint32_t index,
                                       ZelInputTrayInfo* pInfo) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetNumberOfInputTrayInfoEx(ZelContext* handle,
                                                 int32_t* pCount) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetInputTrayInfoEx(
    ZelContext* handle, uint32_t index, ZelInputTrayInfoEx* pInfo) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetNumberOfOutputTrayInfo(ZelContext* handle,
                                                int32_t* pCount) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetOutputTrayInfo(ZelContext* handle, uint32_t index,
                                        ZelOutputTrayInfo* pInfo) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetNumberOfTonerInfo(ZelContext* handle,
                                           int32_t* pCount) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetTonerInfo(ZelContext* handle, uint32_t index,
                                   ZelTonerInfo* pInfo) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetNumberOfAlertInfo(ZelContext* handle,
                                           int32_t* pCount) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetAlertInfo(ZelContext* handle, uint32_t index,
                                   ZelAlertInfo* pInfo) ZEL_NOEXCEPT;
/* selector: 0 every job, 1 jobs whose state is not 17, 2 jobs in state 17;
 * above 2: -2. */
ZEL_EXPORT int32_t ZelGetNumberOfJobInfo(ZelContext* handle, uint32_t selector,
                                         int32_t* pCount) ZEL_NOEXCEPT;
ZEL_EXPORT int32_t ZelGetJobInfo(ZelContext* handle, uint32_t index,
                                 ZelJobInfo* pInfo) ZEL_NOEXCEPT;
/* Cancels the job with identifier `jobId` (one SNMP set, write community). */
ZEL_EXPORT int32_t ZelCancelJob(ZelContext* handle,
                                const char* jobId) ZEL_NOEXCEPT;
/* selector: 0 standard, 1 vendor character set; above 1: -2. */
ZEL_EXPORT int32_t ZelGetCharSet(ZelContext* handle, uint32_t selector,
                                 int32_t* pCharSet) ZEL_NOEXCEPT;

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* PLUGIN_ZEL_API_H_ */
