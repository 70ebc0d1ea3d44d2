#include "transport/netsnmp_errors.h"

#include <cstddef>

namespace {

struct ErrorRow {
  int snmp_errno;
  int status;
};

// The library's error numbers (SNMPERR_* in net-snmp/library/snmp_api.h)
// written as numbers, so that this table does not need the library's headers.
constexpr ErrorRow kErrorRows[] = {
    {0, kKalOk},
    {-24, kKasErrTimeout},        // TIMEOUT
    {-12, kKasErrSend},           // BAD_SENDTO
    {-25, kKasErrReceive},        // BAD_RECVFROM
    {-32, kKasErrReceive},        // UNKNOWN_ENG_ID
    {-62, kKalErrNoMemory},       // MALLOC
    {-66, kKalErrPlatform},       // JUST_A_CONTEXT_PROBE
    // Messages that cannot be built, parsed or decoded.
    {-11, kKasErrUndecodable},    // BAD_ASN1_BUILD
    {-13, kKasErrUndecodable},    // BAD_PARSE
    {-29, kKasErrUndecodable},    // ASN_PARSE_ERR
    {-31, kKasErrUndecodable},    // INVALID_MSG
    {-38, kKasErrUndecodable},    // SC_GENERAL_FAILURE
    {-41, kKasErrUndecodable},    // UNKNOWN_REPORT
    {-47, kKasErrUndecodable},    // USM_PARSEERROR
    {-48, kKasErrUndecodable},    // USM_UNKNOWNENGINEID
    {-49, kKasErrUndecodable},    // USM_NOTINTIMEWINDOW
    {-50, kKasErrUndecodable},    // USM_DECRYPTIONERROR
    {-64, kKasErrUndecodable},    // PROTOCOL
    // The agent or the library refused the security settings.
    {-30, kKasErrV3Security},     // UNKNOWN_SEC_MODEL
    {-33, kKasErrV3Security},     // UNKNOWN_USER_NAME
    {-34, kKasErrV3Security},     // UNSUPPORTED_SEC_LEVEL
    {-35, kKasErrV3Security},     // AUTHENTICATION_FAILURE
    {-36, kKasErrV3Security},     // NOT_IN_TIME_WINDOW
    {-37, kKasErrV3Security},     // DECRYPTION_ERR
    {-42, kKasErrV3Security},     // USM_GENERICERROR
    {-43, kKasErrV3Security},     // USM_UNKNOWNSECURITYNAME
    {-44, kKasErrV3Security},     // USM_UNSUPPORTEDSECURITYLEVEL
    {-46, kKasErrV3Security},     // USM_AUTHENTICATIONFAILURE
    // What the caller asked for cannot be expressed.
    {-3, kKalErrInvalidArg},      // BAD_ADDRESS
    {-4, kKalErrInvalidArg},      // BAD_SESSION
    {-5, kKalErrInvalidArg},      // TOO_LONG
    {-14, kKalErrInvalidArg},     // BAD_VERSION
    {-17, kKalErrInvalidArg},     // BAD_CONTEXT
    {-19, kKalErrInvalidArg},     // NOAUTH_DESPRIV
    {-23, kKalErrInvalidArg},     // UNKNOWN_PDU
    {-27, kKalErrInvalidArg},     // BAD_SEC_NAME
    {-28, kKalErrInvalidArg},     // BAD_SEC_LEVEL
    {-45, kKalErrInvalidArg},     // USM_ENCRYPTIONERROR
    {-56, kKalErrInvalidArg},     // BAD_NAME
    {-57, kKalErrInvalidArg},     // VALUE
    {-58, kKalErrInvalidArg},     // UNKNOWN_OBJID
    {-59, kKalErrInvalidArg},     // NULL_PDU
    {-60, kKalErrInvalidArg},     // NO_VARS
    {-61, kKalErrInvalidArg},     // VAR_TYPE
};

// The library's request results (STAT_* in net-snmp/library/snmp_client.h).
constexpr int kLibrarySuccess = 0;
constexpr int kLibraryTimeout = 2;

}  // namespace

int kas_netsnmp_map_error(int snmp_errno) {
  for (const ErrorRow& row : kErrorRows) {
    if (row.snmp_errno == snmp_errno) return row.status;
  }
  return kKasErrV3Unmapped;
}

int kas_netsnmp_map_result(int library_status, int snmp_errno) {
  if (library_status == kLibrarySuccess) return kKalOk;
  if (library_status == kLibraryTimeout) return kKasErrTimeout;
  return kas_netsnmp_map_error(snmp_errno);
}

int kas_netsnmp_map_exchange(int library_status, int snmp_errno, unsigned refused_answers) {
  const int status = kas_netsnmp_map_result(library_status, snmp_errno);
  if (refused_answers > 0 && (status == kKasErrTimeout || status == kKasErrUndecodable)) {
    return kKasErrV3Security;
  }
  return status;
}
