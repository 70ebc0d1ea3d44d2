// The packet and the two lists (PDUs, packets): one doubly linked list over
// owned elements, with cursors that point at a node.
#include "snmp/packet.h"

#include "common/owned.h"

namespace {

class CKasSnmpPacket final : public IKasSnmpPacket {
 public:
  void release() override { delete this; }
  IKasSnmpPacket* clone(int* pStatus) const override {
    KalOwned<CKasSnmpPacket> copy(kal_new<CKasSnmpPacket>());
    if (!copy) return kal_fail<IKasSnmpPacket>(pStatus, kKalErrNoMemory);
    int rc = kKalOk;
    if (target_ && !(copy->target_ = target_->clone(&rc))) {
      return kal_fail<IKasSnmpPacket>(pStatus, rc);
    }
    if (pdu_ && !(copy->pdu_ = pdu_->clone(&rc))) return kal_fail<IKasSnmpPacket>(pStatus, rc);
    kal_set_status(pStatus, kKalOk);
    return copy.detach();
  }
  bool equals(const IKasSnmpPacket* other) const override {
    if (!other) return false;
    const IKasSnmpTarget* t = other->get_target();
    const IKasPdu* p = other->get_pdu();
    const bool targets = target_ ? target_->equals(t) : t == nullptr;
    const bool pdus = pdu_ ? pdu_->equals(p) : p == nullptr;
    return targets && pdus;
  }
  void set_target(IKasSnmpTarget* target) override {
    if (target == target_) return;
    if (target_) target_->release();
    target_ = target;
  }
  void set_pdu(IKasPdu* pdu) override {
    if (pdu == pdu_) return;
    if (pdu_) pdu_->release();
    pdu_ = pdu;
  }
  IKasSnmpTarget* detach_target() override {
    IKasSnmpTarget* t = target_;
    target_ = nullptr;
    return t;
  }
  IKasPdu* detach_pdu() override {
    IKasPdu* p = pdu_;
    pdu_ = nullptr;
    return p;
  }
  IKasSnmpTarget* get_target() const override { return target_; }
  IKasPdu* get_pdu() const override { return pdu_; }
  void destroy() override { release(); }

 private:
  ~CKasSnmpPacket() override {
    set_target(nullptr);
    set_pdu(nullptr);
  }
  IKasSnmpTarget* target_ = nullptr;
  IKasPdu* pdu_ = nullptr;
};

template <class T>
struct ListNode {
  T* element;
  ListNode* prev;
  ListNode* next;
};

template <class T>
class CKasListCursor final : public IKasListCursor {
 public:
  explicit CKasListCursor(ListNode<T>* node) : node(node) {}
  void release() override { delete this; }
  ListNode<T>* node;

 private:
  ~CKasListCursor() override = default;
};

template <class Interface, class T>
class CKasList final : public Interface {
 public:
  using Cursor = CKasListCursor<T>;
  using Node = ListNode<T>;

  int push_front(T* element) override { return link(element, nullptr, head_); }
  int push_back(T* element) override { return link(element, tail_, nullptr); }
  void pop_front() override {
    if (head_) release_element(unlink(head_));
  }
  void pop_back() override {
    if (tail_) release_element(unlink(tail_));
  }
  void clear() override {
    while (head_) pop_front();
  }
  size_t count() const override { return count_; }
  IKasListCursor* new_cursor(int* pStatus) const override {
    Cursor* c = kal_new<Cursor>(head_);
    if (!c) return kal_fail<IKasListCursor>(pStatus, kKalErrNoMemory);
    kal_set_status(pStatus, kKalOk);
    return c;
  }
  void rewind(IKasListCursor* cursor) const override {
    if (cursor) static_cast<Cursor*>(cursor)->node = head_;
  }
  void release_element(T* element) const override {
    if (element) element->release();
  }
  T* current(const IKasListCursor* cursor) const override {
    const Node* n = cursor ? static_cast<const Cursor*>(cursor)->node : nullptr;
    return n ? n->element : nullptr;
  }
  void next(IKasListCursor* cursor) const override {
    if (!cursor) return;
    Cursor* c = static_cast<Cursor*>(cursor);
    if (c->node) c->node = c->node->next;
  }
  T* take_current(IKasListCursor* cursor) override {
    if (!cursor) return nullptr;
    Cursor* c = static_cast<Cursor*>(cursor);
    Node* n = c->node;
    if (!n) return nullptr;
    c->node = n->next;
    return unlink(n);
  }
  IKasList<T>* interface() override { return this; }
  void destroy() override { delete this; }
  void release() override { delete this; }
  T* front() const override { return head_ ? head_->element : nullptr; }
  T* back() const override { return tail_ ? tail_->element : nullptr; }
  T* take_front() override { return head_ ? unlink(head_) : nullptr; }

  ~CKasList() override { clear(); }

 private:
  int link(T* element, Node* prev, Node* next) {
    if (!element) return kKalErrInvalidArg;
    Node* n = kal_new<Node>(Node{element, prev, next});
    if (!n) {
      element->release();
      return kKalErrNoMemory;
    }
    (prev ? prev->next : head_) = n;
    (next ? next->prev : tail_) = n;
    ++count_;
    return kKalOk;
  }
  // Unlinks and frees the node; answers its element.
  T* unlink(Node* n) {
    (n->prev ? n->prev->next : head_) = n->next;
    (n->next ? n->next->prev : tail_) = n->prev;
    T* element = n->element;
    delete n;
    --count_;
    return element;
  }

  Node* head_ = nullptr;
  Node* tail_ = nullptr;
  size_t count_ = 0;
};

}  // namespace

IKasSnmpPacket* kas_create_packet(int* pStatus) {
  IKasSnmpPacket* p = kal_new<CKasSnmpPacket>();
  if (!p) return kal_fail<IKasSnmpPacket>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return p;
}

IKasPduList* kas_create_pdu_list(int* pStatus) {
  IKasPduList* list = kal_new<CKasList<IKasPduList, IKasPdu>>();
  if (!list) return kal_fail<IKasPduList>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return list;
}

IKasSnmpPacketList* kas_create_packet_list(int* pStatus) {
  IKasSnmpPacketList* list = kal_new<CKasList<IKasSnmpPacketList, IKasSnmpPacket>>();
  if (!list) return kal_fail<IKasSnmpPacketList>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return list;
}
