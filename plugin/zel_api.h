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

/* Result codes by name. 0 is success; the one positive code belongs to
 * ZelInit. ZelStatusText (below) gives a short English text for each. */
#define ZEL_STATUS_OK 0
#define ZEL_STATUS_INIT_NO_CONTEXT 3     /* ZelInit: no memory for it */
#define ZEL_STATUS_GENERAL (-1)          /* also: Ex tray count, no trays */
#define ZEL_STATUS_INVALID_ARGUMENT (-2) /* also: a device of another model */
#define ZEL_STATUS_NO_MEMORY (-3)
#define ZEL_STATUS_NO_INTERFACE (-4)  /* interface identifier not answered */
#define ZEL_STATUS_NOT_SUPPORTED (-5) /* command, option key or protocol */
#define ZEL_STATUS_NOT_FOUND (-6)
#define ZEL_STATUS_NO_DATA (-7)      /* the device answered no usable value */
#define ZEL_STATUS_NOT_READY (-8)    /* no device opened on this context */
#define ZEL_STATUS_PLATFORM (-10)    /* a system library or call is missing */
#define ZEL_STATUS_INDEX_RANGE (-11) /* record or option index out of range */
/* A table or answer exceeded the library's limits (100,000 rows or 64 MiB
 * per walk). */
#define ZEL_STATUS_TOO_MUCH_DATA (-12)
#define ZEL_STATUS_V3_UNMAPPED (-200)   /* SNMPv3 library error */
#define ZEL_STATUS_SOCKET_OPEN (-201)   /* the socket cannot be opened */
#define ZEL_STATUS_BIND (-202)          /* local address or bind failed */
#define ZEL_STATUS_TIMEOUT (-203)       /* no matching answer in any try */
#define ZEL_STATUS_RECEIVE (-204)       /* waiting or receiving failed */
#define ZEL_STATUS_SEND (-205)          /* sending failed */
#define ZEL_STATUS_TOO_BIG (-210)       /* the device answered tooBig */
#define ZEL_STATUS_TOO_LARGE (-211)     /* request too large to send */
#define ZEL_STATUS_CANNOT_SPLIT (-212)  /* one value alone is too large */
#define ZEL_STATUS_V3_SECURITY (-214)   /* SNMPv3 user, phrase or protocol */
#define ZEL_STATUS_UNDECODABLE (-250)   /* the answer cannot be decoded */
#define ZEL_STATUS_OTHER_REQUEST (-251) /* answer to another request */
#define ZEL_STATUS_BAD_INDEX (-401)     /* malformed table index */

/* Host protocol codes (argument `protocol`). There is no code 4; code 3
 * passes the argument check, but no transport serves it. */
#define ZEL_PROTOCOL_IPV4 1 /* UDP over IPv4, port 161 */
#define ZEL_PROTOCOL_IPX 2  /* IPX, socket 36879 */
#define ZEL_PROTOCOL_NONE 3
#define ZEL_PROTOCOL_IPV6 5 /* UDP over IPv6, port 161 */

/* SNMP modes (argument `snmpMode` of the Ex functions). Mode 2 uses the
 * ZelSnmpV3Settings record; every other value uses the communities, and the
 * plug-in sends SNMPv1 messages in modes 0 and 1 alike. The non-Ex functions
 * use mode 0. */
#define ZEL_SNMP_MODE_V1 0
#define ZEL_SNMP_MODE_V2C 1
#define ZEL_SNMP_MODE_V3 2

/* ZelSnmpV3Settings values; a value outside 0..2 keeps the default. */
#define ZEL_SECURITY_NO_AUTH_NO_PRIV 0
#define ZEL_SECURITY_AUTH_NO_PRIV 1
#define ZEL_SECURITY_AUTH_PRIV 2 /* default */
#define ZEL_AUTH_PROTOCOL_MD5 1  /* HMAC-MD5, default */
#define ZEL_AUTH_PROTOCOL_SHA1 2 /* HMAC-SHA1 */
#define ZEL_PRIV_PROTOCOL_DES 1  /* default */
#define ZEL_PRIV_PROTOCOL_AES 2

/* Job list selectors of ZelGetNumberOfJobInfo, and the job state value that
 * separates the two lists. */
#define ZEL_JOB_SELECT_ALL 0       /* every job */
#define ZEL_JOB_SELECT_NOT_SPLIT 1 /* jobs whose state is not 17 */
#define ZEL_JOB_SELECT_SPLIT 2     /* jobs whose state is 17 */
#define ZEL_JOB_STATE_SPLIT 17

/* Character-set selectors of ZelGetCharSet. */
#define ZEL_CHARSET_STANDARD 0 /* Printer MIB localization */
#define ZEL_CHARSET_VENDOR 1   /* the vendor's localization (job texts) */

/* ZelPrinterInfo.detectedErrorState: hrPrinterDetectedErrorState with its
 * first octet in the low byte and its second octet in the next. The MIB
 * numbers the bits from the most significant bit of each octet, so bit 0
 * (lowPaper) is 0x80 and bit 8 (inputTrayMissing) is 0x8000. */
#define ZEL_PRINTER_ERROR_LOW_PAPER 0x0080u
#define ZEL_PRINTER_ERROR_NO_PAPER 0x0040u
#define ZEL_PRINTER_ERROR_LOW_TONER 0x0020u
#define ZEL_PRINTER_ERROR_NO_TONER 0x0010u
#define ZEL_PRINTER_ERROR_DOOR_OPEN 0x0008u
#define ZEL_PRINTER_ERROR_JAMMED 0x0004u
#define ZEL_PRINTER_ERROR_OFFLINE 0x0002u
#define ZEL_PRINTER_ERROR_SERVICE_REQUESTED 0x0001u
#define ZEL_PRINTER_ERROR_INPUT_TRAY_MISSING 0x8000u
#define ZEL_PRINTER_ERROR_OUTPUT_TRAY_MISSING 0x4000u
#define ZEL_PRINTER_ERROR_MARKER_SUPPLY_MISSING 0x2000u
#define ZEL_PRINTER_ERROR_OUTPUT_NEAR_FULL 0x1000u
#define ZEL_PRINTER_ERROR_OUTPUT_FULL 0x0800u
#define ZEL_PRINTER_ERROR_INPUT_TRAY_EMPTY 0x0400u
#define ZEL_PRINTER_ERROR_OVERDUE_PREVENT_MAINT 0x0200u

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

/* --- Function pointer types, for hosts that load the library with dlopen
 * and look each function up with dlsym by its name ("ZelInit" ...). */
typedef int32_t (*ZelInitFn)(ZelContext** pHandle);
typedef void (*ZelUnInitFn)(ZelContext* handle);
typedef int32_t (*ZelCommandStringFn)(ZelContext* handle, const char* command,
                                      const char* value);
typedef int32_t (*ZelCommandIntegerFn)(ZelContext* handle, const char* command,
                                       int32_t* pValue);
typedef int32_t (*ZelFindDeviceSNMPFn)(ZelContext* handle, const char* address,
                                       int32_t protocol, int32_t timeoutMs,
                                       int32_t retries, int32_t* pCount);
typedef int32_t (*ZelFindDeviceSNMPExFn)(ZelContext* handle,
                                         const char* address, int32_t protocol,
                                         int32_t snmpMode,
                                         const ZelSnmpV3Settings* settings,
                                         int32_t timeoutMs, int32_t retries,
                                         int32_t* pCount);
typedef int32_t (*ZelFindAddFilterFn)(ZelContext* handle, const char* filter);
typedef void (*ZelFindClearFilterFn)(ZelContext* handle);
typedef void (*ZelFindResetPositionFn)(ZelContext* handle);
typedef int16_t (*ZelGetDeviceNextFn)(ZelContext* handle, char* address,
                                      char* modelName, uint8_t* pFlag,
                                      char* sysObjectId);
typedef int32_t (*ZelInitDeviceFn)(ZelContext* handle, const char* address,
                                   int32_t protocol, int32_t timeoutMs,
                                   int32_t retries);
typedef int32_t (*ZelInitDeviceExFn)(ZelContext* handle, const char* address,
                                     int32_t protocol, int32_t snmpMode,
                                     const ZelSnmpV3Settings* settings,
                                     int32_t timeoutMs, int32_t retries);
typedef int16_t (*ZelIsSupportedOIDFn)(ZelContext* handle, const char* oid);
typedef int32_t (*ZelRefreshOptionsFn)(ZelContext* handle);
typedef int32_t (*ZelGetOptionValueBooleanFn)(ZelContext* handle,
                                              const char* key, uint16_t index,
                                              int16_t* pValue);
typedef int32_t (*ZelGetOptionValueIntegerFn)(ZelContext* handle,
                                              const char* key, uint16_t index,
                                              int32_t* pValue);
typedef int32_t (*ZelGetOptionValueUIntegerFn)(ZelContext* handle,
                                               const char* key, uint16_t index,
                                               uint32_t* pValue);
typedef int32_t (*ZelGetOptionValueStringFn)(ZelContext* handle,
                                             const char* key, uint16_t index,
                                             char* buffer);
typedef int16_t (*ZelTransportAvailableFn)(int32_t protocol);
typedef int32_t (*ZelGetNumberOfStorageInfoFn)(ZelContext* handle,
                                               int32_t* pCount);
typedef int32_t (*ZelGetStorageInfoFn)(ZelContext* handle, uint32_t index,
                                       ZelStorageInfo* pInfo);
typedef int32_t (*ZelGetNumberOfDeviceInfoFn)(ZelContext* handle,
                                              int32_t* pCount);
typedef int32_t (*ZelGetDeviceInfoFn)(ZelContext* handle, uint32_t index,
                                      ZelDeviceInfo* pInfo);
typedef int32_t (*ZelGetPrinterInfoFn)(ZelContext* handle,
                                       ZelPrinterInfo* pInfo);
typedef int32_t (*ZelGetNumberOfInputTrayInfoFn)(ZelContext* handle,
                                                 int32_t* pCount);
typedef int32_t (*ZelGetInputTrayInfoFn)(ZelContext* handle, uint32_t index,
                                         ZelInputTrayInfo* pInfo);
typedef int32_t (*ZelGetNumberOfInputTrayInfoExFn)(ZelContext* handle,
                                                   int32_t* pCount);
typedef int32_t (*ZelGetInputTrayInfoExFn)(ZelContext* handle, uint32_t index,
                                           ZelInputTrayInfoEx* pInfo);
typedef int32_t (*ZelGetNumberOfOutputTrayInfoFn)(ZelContext* handle,
                                                  int32_t* pCount);
typedef int32_t (*ZelGetOutputTrayInfoFn)(ZelContext* handle, uint32_t index,
                                          ZelOutputTrayInfo* pInfo);
typedef int32_t (*ZelGetNumberOfTonerInfoFn)(ZelContext* handle,
                                             int32_t* pCount);
typedef int32_t (*ZelGetTonerInfoFn)(ZelContext* handle, uint32_t index,
                                     ZelTonerInfo* pInfo);
typedef int32_t (*ZelGetNumberOfAlertInfoFn)(ZelContext* handle,
                                             int32_t* pCount);
typedef int32_t (*ZelGetAlertInfoFn)(ZelContext* handle, uint32_t index,
                                     ZelAlertInfo* pInfo);
typedef int32_t (*ZelGetNumberOfJobInfoFn)(ZelContext* handle,
                                           uint32_t selector, int32_t* pCount);
typedef int32_t (*ZelGetJobInfoFn)(ZelContext* handle, uint32_t index,
                                   ZelJobInfo* pInfo);
typedef int32_t (*ZelCancelJobFn)(ZelContext* handle, const char* jobId);
typedef int32_t (*ZelGetCharSetFn)(ZelContext* handle, uint32_t selector,
                                   int32_t* pCharSet);

/* --- Status texts ----------------------------------------------------------
 * A short English text for a result code, for the host's own messages:
 * "success", "no answer", ... and "unknown status" for a code this header
 * does not name. Defined here, in the header: it is no export of the library
 * and cannot be looked up with dlsym. The texts are for people; programs
 * compare the codes. */
static inline const char* ZelStatusText(int32_t status) {
  switch (status) {
    case ZEL_STATUS_OK:
      return "success";
    case ZEL_STATUS_INIT_NO_CONTEXT:
      return "no memory for the context";
    case ZEL_STATUS_GENERAL:
      return "general failure";
    case ZEL_STATUS_INVALID_ARGUMENT:
      return "invalid argument";
    case ZEL_STATUS_NO_MEMORY:
      return "out of memory";
    case ZEL_STATUS_NO_INTERFACE:
      return "interface not available";
    case ZEL_STATUS_NOT_SUPPORTED:
      return "not supported";
    case ZEL_STATUS_NOT_FOUND:
      return "not found";
    case ZEL_STATUS_NO_DATA:
      return "no usable value in the answer";
    case ZEL_STATUS_NOT_READY:
      return "no device opened";
    case ZEL_STATUS_PLATFORM:
      return "system library or call missing";
    case ZEL_STATUS_INDEX_RANGE:
      return "index out of range";
    case ZEL_STATUS_TOO_MUCH_DATA:
      return "too much data";
    case ZEL_STATUS_V3_UNMAPPED:
      return "SNMPv3 library error";
    case ZEL_STATUS_SOCKET_OPEN:
      return "socket cannot be opened";
    case ZEL_STATUS_BIND:
      return "local address cannot be bound";
    case ZEL_STATUS_TIMEOUT:
      return "no answer";
    case ZEL_STATUS_RECEIVE:
      return "receiving failed";
    case ZEL_STATUS_SEND:
      return "sending failed";
    case ZEL_STATUS_TOO_BIG:
      return "device answered tooBig";
    case ZEL_STATUS_TOO_LARGE:
      return "request too large";
    case ZEL_STATUS_CANNOT_SPLIT:
      return "request cannot be split further";
    case ZEL_STATUS_V3_SECURITY:
      return "SNMPv3 security failure";
    case ZEL_STATUS_UNDECODABLE:
      return "undecodable answer";
    case ZEL_STATUS_OTHER_REQUEST:
      return "answer to another request";
    case ZEL_STATUS_BAD_INDEX:
      return "malformed table index";
    default:
      return "unknown status";
  }
}

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* PLUGIN_ZEL_API_H_ */
