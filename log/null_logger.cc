#include "log/null_logger.h"

#include "common/owned.h"
#include "common/status.h"

int NullLogger::query_interface(const char* iid, void** ppInterface) {
  return kal_query_answer(iid, ppInterface,
                          {{kKalIidRoot, static_cast<IKalRoot*>(static_cast<Logger*>(this))},
                           {kKalIidLogger, static_cast<Logger*>(this)},
                           {kKalIidManagedLogger, static_cast<ManagedLogger*>(this)}});
}
int NullLogger::add_reference() { return kKalOk; }
int NullLogger::release() { return kKalErrNotSupported; }
int NullLogger::destroy() { return kKalErrNotSupported; }
const char* NullLogger::module_name() { return kKalNullLoggerName; }
int NullLogger::attach_output(LogOutput*) { return kKalOk; }
int NullLogger::set_level_mask(uint32_t) { return kKalOk; }
uint32_t NullLogger::get_level_mask(int* pStatus) {
  kal_set_status(pStatus, kKalOk);
  return 0;
}
int NullLogger::set_indent(uint32_t) { return kKalOk; }
uint32_t NullLogger::get_indent(int* pStatus) {
  kal_set_status(pStatus, kKalOk);
  return 0;
}
int NullLogger::set_column_flags(uint32_t) { return kKalOk; }
uint32_t NullLogger::get_column_flags(int* pStatus) {
  kal_set_status(pStatus, kKalOk);
  return 0;
}
int NullLogger::set_radix(uint32_t) { return kKalOk; }
uint32_t NullLogger::get_radix(int* pStatus) {
  kal_set_status(pStatus, kKalOk);
  return 10;
}
int NullLogger::unsupported() { return kKalOk; }
int NullLogger::log(uint32_t, const char*, ...) { return kKalOk; }
int NullLogger::vlog(uint32_t, const char*, va_list) { return kKalOk; }
int NullLogger::add_member(Logger*) { return kKalOk; }
