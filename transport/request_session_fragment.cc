// Splitting a request that is too large, or that the agent answered with
// tooBig, into smaller requests, and merging their answers back into the
// request PDU in the order of the request.
#include <cstdint>

#include "common/owned.h"
#include "log/log.h"
#include "snmp/binding.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "transport/request_session.h"

namespace {

// The error index of a piece on the merged PDU: the piece's own index
// offset by the bindings of the pieces before it. An index that names none
// of the piece's bindings (0, negative, past its end) names no binding of
// the merged PDU either: it becomes 0, and the error status stays.
int32_t merged_error_index(int64_t offset, int32_t index, size_t piece_count,
                           size_t merged_count) {
  if (index < 1 || static_cast<uint64_t>(index) > piece_count) return 0;
  const int64_t merged = offset + index;
  if (merged < 1 || static_cast<uint64_t>(merged) > merged_count ||
      merged > INT32_MAX) {
    return 0;
  }
  return static_cast<int32_t>(merged);
}

}  // namespace

int RequestSession::fragment_pdu(IKasPdu* pdu, int count,
                                 IKasPduList** ppPieces) {
  if (ppPieces) *ppPieces = nullptr;
  if (!pdu || !ppPieces || count < 1) return kKalErrInvalidArg;
  const size_t n = pdu->binding_count();
  const size_t pieces_wanted = static_cast<size_t>(count);
  const size_t q = n / pieces_wanted;
  const size_t r = n % pieces_wanted;
  if (q == 0) {
    kal_log(kKalModuleSnmp, kKalLogError,
            "[RequestSession::fragment_pdu] can't fragment the packet[%d] any "
            "more.",
            pdu->get_request_id());
    return kKasErrCannotSplit;
  }
  int rc = kKalOk;
  KalOwned<IKasPduList, KalCallDestroy> pieces(kas_create_pdu_list(&rc));
  if (!pieces) return rc;
  IKasVarBindList* parent = pdu->get_bindings();
  for (size_t i = 0; i < pieces_wanted; ++i) {
    KalOwned<IKasPdu> piece(kas_create_pdu(&rc));
    if (!piece) return rc;
    rc = piece->assign_header(pdu);
    if (rc != kKalOk) return rc;
    IKasVarBindList* part = parent->split_front(i < r ? q + 1 : q, &rc);
    if (!part) return rc;
    piece->set_bindings(part);
    rc = pieces->push_back(piece.detach());
    if (rc != kKalOk) return rc;
  }
  if (parent->count() != 0) {
    kal_log(kKalModuleSnmp, kKalLogError,
            "[RequestSession::fragment_pdu] vb size of a fragmented packet is "
            "zero.");
    return kKalErrGeneral;
  }
  *ppPieces = pieces.detach();
  return kKalOk;
}

int RequestSession::fragment_process(IKasPdu* pdu, IKasSnmpTarget* target,
                                     int count) {
  if (!pdu || !target) return kKalErrInvalidArg;
  IKasPduList* raw_pieces = nullptr;
  int rc = fragment_pdu(pdu, count, &raw_pieces);
  if (rc != kKalOk) return rc;
  KalOwned<IKasPduList, KalCallDestroy> pieces(raw_pieces);
  kal_log(kKalModuleSnmp, kKalLogInfo,
          "[RequestSession::fragment_process] packet[%d] is fragmented to %d.",
          pdu->get_request_id(), static_cast<int>(pieces->count()));
  KalOwned<IKasListCursor> cursor(pieces->new_cursor(&rc));
  if (!cursor) return rc;
  for (IKasPdu* piece = pieces->current(cursor.get()); piece;
       pieces->next(cursor.get()), piece = pieces->current(cursor.get())) {
    int fragments = 0;
    rc = _send_and_receive(piece, target, &fragments);
    // A piece that is still too big is split again; its pieces are merged
    // back into it, so the order of the request is kept at every level.
    if (fragments != 0) rc = fragment_process(piece, target, fragments);
    if (rc != kKalOk) return rc;
  }
  return merge_pieces(pdu, pieces.get());
}

int RequestSession::merge_pieces(IKasPdu* parent, IKasPduList* pieces) {
  if (!parent || !pieces) return kKalErrInvalidArg;
  int rc = kKalOk;
  KalOwned<IKasListCursor> cursor(pieces->new_cursor(&rc));
  if (!cursor) return rc;
  IKasVarBindList* merged = parent->get_bindings();
  if (!merged) {
    merged = kas_create_varbind_list(&rc);
    if (!merged) return rc;
    parent->set_bindings(merged);
  }
  // Room for every binding first, so that no move below can fail and drop
  // an answer half-way.
  size_t total = merged->count();
  for (const IKasPdu* piece = pieces->current(cursor.get()); piece;
       pieces->next(cursor.get()), piece = pieces->current(cursor.get())) {
    total += piece->binding_count();
  }
  rc = merged->reserve(total);
  if (rc != kKalOk) return rc;

  pieces->rewind(cursor.get());
  const IKasPdu* first = pieces->current(cursor.get());
  if (first) parent->set_type(first->get_type());
  parent->set_error_status(0);
  parent->set_error_index(0);
  // 64 bits: the agent picks the index, and the sum must neither overflow
  // nor wrap into the range.
  int64_t offset = 0;
  for (IKasPdu* piece = pieces->current(cursor.get()); piece;
       pieces->next(cursor.get()), piece = pieces->current(cursor.get())) {
    const size_t moved = piece->binding_count();
    if (parent->get_error_status() == 0 && piece->get_error_status() != 0) {
      parent->set_error_status(piece->get_error_status());
      parent->set_error_index(merged_error_index(
          offset, piece->get_error_index(), moved, total));
    }
    while (IKasVarBind* binding = piece->pop_front()) {
      rc = merged->append(binding);
      if (rc != kKalOk) return rc;
    }
    offset += static_cast<int64_t>(moved);
  }
  return kKalOk;
}
