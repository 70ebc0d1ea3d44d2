// Interface identifiers and the query-interface convention. An identifier is
// a 128-bit value written as 36 lower-case characters (8-4-4-4-12 hex digits)
// and matched only by an exact, case-sensitive comparison of the whole text
// and its terminator. Objects that answer identifiers derive from IKalRoot.
// Everything here reads constants only and is safe on any thread.
#ifndef COMMON_INTERFACE_ID_H_
#define COMMON_INTERFACE_ID_H_

#include <cstddef>
#include <initializer_list>

// Length of the text form without its terminator.
inline constexpr size_t kKalIidLength = 36;

// Every object that answers identifiers: its root interface.
inline constexpr char kKalIidRoot[] = "04127cc0-fe7a-4655-98b9-f0676cc0be81";
// Every logger: the per-module loggers, the group "All", the null logger.
inline constexpr char kKalIidLogger[] = "25826e92-34ba-48c1-a44c-bd7f5f46bfc2";
// The per-module loggers and the group (not the null logger).
inline constexpr char kKalIidLoggerExtension[] = "2f78692c-07c3-4226-9780-6b1001d64728";
// Asked of a logger the manager hands out by name: the group and the null logger.
inline constexpr char kKalIidManagedLogger[] = "6556694d-1df1-4b50-bb93-3ee4bd94cecf";
// The group logger only.
inline constexpr char kKalIidLogGroup[] = "9e6bdb98-27ee-4b4f-99cd-6b436db59369";
// Every log output.
inline constexpr char kKalIidLogOutput[] = "d70f14e8-86ca-4da8-b03a-4e7a82c6be73";
// The file output and the null file output.
inline constexpr char kKalIidFileLogOutput[] = "0024c595-2f81-48fc-83b5-7247b44a1994";

// True when `iid` is exactly `known` (a 37-byte constant above). Stops at the
// first difference, so a short or foreign text is never read past its end.
bool kal_iid_equal(const char* iid, const char* known) noexcept;

// The root of every interface that answers identifiers; slot order is fixed.
class IKalRoot {
 public:
  // Stores the interface of the asked role in *ppInterface.
  // Answers 0; kKalErrInvalidArg (null iid or ppInterface, *ppInterface
  // untouched); kKalErrNoInterface (role not answered, *ppInterface = null).
  virtual int query_interface(const char* iid, void** ppInterface) = 0;
  // Objects are not reference counted: add_reference answers 0 and release
  // answers kKalErrNotSupported. Nobody may rely on release to free anything.
  virtual int add_reference() = 0;
  virtual int release() = 0;
  // Frees an object the caller made itself; each class says what it does
  // with objects that belong to someone else.
  virtual int destroy() = 0;
  virtual ~IKalRoot() = default;
};

// One answered role: its identifier and the interface pointer to hand out.
struct KalIidAnswer {
  const char* iid;
  void* itf;
};

// The query-interface convention over a table of answered roles: the
// implementation of every query_interface.
int kal_query_answer(const char* iid, void** ppInterface,
                     std::initializer_list<KalIidAnswer> answers) noexcept;

#endif  // COMMON_INTERFACE_ID_H_
