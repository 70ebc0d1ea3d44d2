// Status codes shared by every layer. 0 is success; failures are negative and
// are returned, never thrown. The one positive code (3) belongs to ZelInit.
// Ranges: -1..-12 general, -200..-214 transport and SNMPv3, -250..-251 codec,
// -401 index parsing.
#ifndef COMMON_STATUS_H_
#define COMMON_STATUS_H_

enum : int {
  kKalOk = 0,
  kZelInitNoContext = 3,      // ZelInit only: the context itself was not allocated
  kKalErrGeneral = -1,        // a platform call failed; bind-back; leftover bindings
  kKalErrInvalidArg = -2,     // null, malformed or unsupported argument; wrong model
  kKalErrNoMemory = -3,       // an allocation failed
  kKalErrNoInterface = -4,    // interface identifier not answered
  kKalErrNotSupported = -5,   // unsupported operation, unknown command or option key
  kKalErrNotFound = -6,       // not supported / no logger of that name
  kKalErrNoData = -7,         // no usable data; noSuchName/noAccess on a set; line too long
  kKalErrNotReady = -8,       // no device opened; no provider loaded; empty OID
  kKalErrPlatform = -10,      // platform library, function or table call missing/failed
  kKalErrIndexRange = -11,    // record or option index out of range
  kKalErrTooMuchData = -12,   // a table walk passed its row or octet limit

  kKasErrV3Unmapped = -200,   // an SNMPv3 library error with no mapping
  kKasErrSocketOpen = -201,   // the socket cannot be opened
  kKasErrBind = -202,         // local address unusable or bind failed
  kKasErrTimeout = -203,      // no matching answer in any try
  kKasErrReceive = -204,      // select or recvfrom failed
  kKasErrSend = -205,         // sendto failed
  kKasErrTooBig = -210,       // the agent answered tooBig
  kKasErrTooLarge = -211,     // request too large for the encoder or maximum message size
  kKasErrCannotSplit = -212,  // a single binding cannot be split further
  kKasErrV3Security = -214,   // SNMPv3 security failure
  kKasErrUndecodable = -250,  // undecodable message
  kKasErrOtherRequest = -251, // answer to another request
  kKasErrBadIndex = -401,     // malformed object-identifier index
};

#endif  // COMMON_STATUS_H_
