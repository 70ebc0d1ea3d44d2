// The general form of send_sync_into, for sessions without a form of their
// own.
#include "transport/request_session_base.h"

#include "common/status.h"
#include "snmp/pdu.h"

int IKasRequestSession::send_sync_into(IKasPdu* request, IKasSnmpTarget* target,
                                       IKasPdu* answer) {
  if (!request || !answer || request == answer) return kKalErrInvalidArg;
  const int rc = answer->assign(request);
  if (rc != kKalOk) return rc;
  return send_sync(answer, target);
}
