// The text object, kept in the same growable buffer as SNMP octet values.
#include "common/text.h"

#include <cstring>

#include "common/owned.h"
#include "common/text_buffer.h"

namespace {

class CKalText final : public IKalText {
 public:
  void release() override { delete this; }
  size_t length() const override { return buf_.size(); }
  const char* text() const override { return buf_.empty() ? nullptr : buf_.c_str(); }
  int assign(const void* data, size_t length) override {
    if (!data && length) return kKalErrInvalidArg;
    return buf_.assign(data, length);
  }
  int assign(const char* text) override {
    return text ? buf_.assign(text, std::strlen(text)) : (buf_.clear(), kKalOk);
  }
  int append(const void* data, size_t length) override {
    if (!data && length) return kKalErrInvalidArg;
    return buf_.append(data, length);
  }
  int append(const char* text) override {
    return text ? buf_.append(text, std::strlen(text)) : kKalOk;
  }
  int append(const IKalText* other) override {
    return other ? buf_.append(other->data(), other->length()) : kKalOk;
  }
  IKalText* clone(int* pStatus) const override {
    KalOwned<CKalText> copy(kal_new<CKalText>());
    if (!copy) return kal_fail<IKalText>(pStatus, kKalErrNoMemory);
    if (int rc = copy->buf_.assign(buf_.c_str(), buf_.size())) {
      return kal_fail<IKalText>(pStatus, rc);
    }
    kal_set_status(pStatus, kKalOk);
    return copy.detach();
  }
  bool equals(const void* data, size_t length) const override {
    if (length != buf_.size()) return false;
    return length == 0 || (data && std::memcmp(data, buf_.c_str(), length) == 0);
  }
  bool equals(const char* text) const override {
    return equals(text, text ? std::strlen(text) : 0);
  }
  bool equals(const IKalText* other) const override {
    return other && equals(other->data(), other->length());
  }
  void clear() override { buf_.clear(); }
  const char* data() const override { return buf_.c_str(); }

 private:
  ~CKalText() override = default;
  KalBuffer buf_;
};

}  // namespace

IKalText* kal_create_text(int* pStatus) {
  IKalText* t = kal_new<CKalText>();
  if (!t) return kal_fail<IKalText>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return t;
}

IKalText* kal_create_text_from(const char* text, int* pStatus) {
  KalOwned<IKalText> t(kal_create_text(pStatus));
  if (!t) return nullptr;
  if (int rc = t->assign(text)) return kal_fail<IKalText>(pStatus, rc);
  return t.detach();
}
