// The library's error numbers and request results, row by row.
#include "transport/netsnmp_errors.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "gtest/gtest.h"

namespace {

struct Row {
  const char* name;
  int snmp_errno;
  int status;
};

// The library's own names, so that a renumbered library would show here.
const Row kRows[] = {
    {"Success", SNMPERR_SUCCESS, kKalOk},
    {"Timeout", SNMPERR_TIMEOUT, kKasErrTimeout},
    {"SendtoFailed", SNMPERR_BAD_SENDTO, kKasErrSend},
    {"RecvfromFailed", SNMPERR_BAD_RECVFROM, kKasErrReceive},
    {"UnknownEngineId", SNMPERR_UNKNOWN_ENG_ID, kKasErrReceive},
    {"OutOfMemory", SNMPERR_MALLOC, kKalErrNoMemory},
    {"ContextProbe", SNMPERR_JUST_A_CONTEXT_PROBE, kKalErrPlatform},
    {"BadAsn1Build", SNMPERR_BAD_ASN1_BUILD, kKasErrUndecodable},
    {"BadParse", SNMPERR_BAD_PARSE, kKasErrUndecodable},
    {"AsnParse", SNMPERR_ASN_PARSE_ERR, kKasErrUndecodable},
    {"InvalidMessage", SNMPERR_INVALID_MSG, kKasErrUndecodable},
    {"ScGeneralFailure", SNMPERR_SC_GENERAL_FAILURE, kKasErrUndecodable},
    {"UnknownReport", SNMPERR_UNKNOWN_REPORT, kKasErrUndecodable},
    {"UsmParse", SNMPERR_USM_PARSEERROR, kKasErrUndecodable},
    {"UsmUnknownEngineId", SNMPERR_USM_UNKNOWNENGINEID, kKasErrUndecodable},
    {"UsmNotInTimeWindow", SNMPERR_USM_NOTINTIMEWINDOW, kKasErrUndecodable},
    {"UsmDecryption", SNMPERR_USM_DECRYPTIONERROR, kKasErrUndecodable},
    {"Protocol", SNMPERR_PROTOCOL, kKasErrUndecodable},
    {"UnknownSecurityModel", SNMPERR_UNKNOWN_SEC_MODEL, kKasErrV3Security},
    {"UnknownUser", SNMPERR_UNKNOWN_USER_NAME, kKasErrV3Security},
    {"UnsupportedLevel", SNMPERR_UNSUPPORTED_SEC_LEVEL, kKasErrV3Security},
    {"WrongPassPhrase", SNMPERR_AUTHENTICATION_FAILURE, kKasErrV3Security},
    {"NotInTimeWindow", SNMPERR_NOT_IN_TIME_WINDOW, kKasErrV3Security},
    {"Decryption", SNMPERR_DECRYPTION_ERR, kKasErrV3Security},
    {"UsmGeneric", SNMPERR_USM_GENERICERROR, kKasErrV3Security},
    {"UsmUnknownName", SNMPERR_USM_UNKNOWNSECURITYNAME, kKasErrV3Security},
    {"UsmUnsupportedLevel", SNMPERR_USM_UNSUPPORTEDSECURITYLEVEL, kKasErrV3Security},
    {"UsmAuthentication", SNMPERR_USM_AUTHENTICATIONFAILURE, kKasErrV3Security},
    {"BadAddress", SNMPERR_BAD_ADDRESS, kKalErrInvalidArg},
    {"BadSession", SNMPERR_BAD_SESSION, kKalErrInvalidArg},
    {"TooLong", SNMPERR_TOO_LONG, kKalErrInvalidArg},
    {"BadVersion", SNMPERR_BAD_VERSION, kKalErrInvalidArg},
    {"BadContext", SNMPERR_BAD_CONTEXT, kKalErrInvalidArg},
    {"NoAuthDesPriv", SNMPERR_NOAUTH_DESPRIV, kKalErrInvalidArg},
    {"UnknownPdu", SNMPERR_UNKNOWN_PDU, kKalErrInvalidArg},
    {"BadSecurityName", SNMPERR_BAD_SEC_NAME, kKalErrInvalidArg},
    {"BadSecurityLevel", SNMPERR_BAD_SEC_LEVEL, kKalErrInvalidArg},
    {"UsmEncryption", SNMPERR_USM_ENCRYPTIONERROR, kKalErrInvalidArg},
    {"BadName", SNMPERR_BAD_NAME, kKalErrInvalidArg},
    {"Value", SNMPERR_VALUE, kKalErrInvalidArg},
    {"UnknownObjid", SNMPERR_UNKNOWN_OBJID, kKalErrInvalidArg},
    {"NullPdu", SNMPERR_NULL_PDU, kKalErrInvalidArg},
    {"NoVars", SNMPERR_NO_VARS, kKalErrInvalidArg},
    {"VarType", SNMPERR_VAR_TYPE, kKalErrInvalidArg},
    {"GeneralError", SNMPERR_GENERR, kKasErrV3Unmapped},
    {"Abort", SNMPERR_ABORT, kKasErrV3Unmapped},
    {"BadLocalPort", SNMPERR_BAD_LOCPORT, kKasErrV3Unmapped},
    {"KeyToolsUnavailable", SNMPERR_KT_NOT_AVAILABLE, kKasErrV3Unmapped},
    {"TlsNoCertificate", SNMPERR_TLS_NO_CERTIFICATE, kKasErrV3Unmapped},
    {"BeyondTheTable", -1000, kKasErrV3Unmapped},
    {"Positive", 5, kKasErrV3Unmapped},
};

class NetSnmpErrorTest : public ::testing::TestWithParam<Row> {};

TEST_P(NetSnmpErrorTest, MapsToItsStatus) {
  EXPECT_EQ(kas_netsnmp_map_error(GetParam().snmp_errno), GetParam().status);
  // An error result is mapped from the error number the same way.
  if (GetParam().snmp_errno != 0) {
    EXPECT_EQ(kas_netsnmp_map_result(STAT_ERROR, GetParam().snmp_errno), GetParam().status);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, NetSnmpErrorTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           return std::string(info.param.name);
                         });

TEST(NetSnmpResultTest, SuccessAndTimeOutIgnoreTheErrorNumber) {
  EXPECT_EQ(kas_netsnmp_map_result(STAT_SUCCESS, SNMPERR_AUTHENTICATION_FAILURE), kKalOk);
  EXPECT_EQ(kas_netsnmp_map_result(STAT_TIMEOUT, 0), kKasErrTimeout);
  EXPECT_EQ(kas_netsnmp_map_result(STAT_TIMEOUT, SNMPERR_BAD_SENDTO), kKasErrTimeout);
}

// A time-out or an undecodable answer after a message that the library's
// security check refused is the agent telling us that our keys differ.
TEST(NetSnmpResultTest, RefusedAnswersTurnTimeOutsIntoSecurityFailures) {
  struct ExchangeRow {
    int library_status;
    int snmp_errno;
    unsigned refused;
    int status;
  };
  const ExchangeRow rows[] = {
      {STAT_TIMEOUT, SNMPERR_TIMEOUT, 0, kKasErrTimeout},
      {STAT_TIMEOUT, SNMPERR_TIMEOUT, 1, kKasErrV3Security},
      {STAT_ERROR, SNMPERR_ASN_PARSE_ERR, 0, kKasErrUndecodable},
      {STAT_ERROR, SNMPERR_ASN_PARSE_ERR, 2, kKasErrV3Security},
      {STAT_ERROR, SNMPERR_AUTHENTICATION_FAILURE, 0, kKasErrV3Security},
      {STAT_ERROR, SNMPERR_BAD_SENDTO, 1, kKasErrSend},
      {STAT_SUCCESS, 0, 1, kKalOk},
  };
  for (const ExchangeRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.library_status << " " << row.snmp_errno << " "
                                      << row.refused);
    EXPECT_EQ(kas_netsnmp_map_exchange(row.library_status, row.snmp_errno, row.refused),
              row.status);
  }
}

}  // namespace
