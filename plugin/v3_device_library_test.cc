// A full device read through the built library in SNMPv3 mode: snmpsimd
// serves the supported-device recording to SNMPv3 users (the context name
// picks the recording), and open, option refresh, every count call and every
// record equal what the same calls give in community mode on the same agent.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/secret.h"
#include "plugin/library_api_test_util.h"
#include "plugin/zel_api.h"
#include "testing/netns.h"
#include "testing/snmpsim_agent.h"

namespace {

constexpr char kRecording[] = "supported";
constexpr char kShaAesUser[] = "zel-sha-aes";
constexpr char kShaAesAuth[] = "zel-auth-phrase";
constexpr char kShaAesPriv[] = "zel-priv-phrase";
constexpr char kPlainUser[] = "zel-plain";
constexpr int kTimeoutMs = 3000;

// ctest runs each case in its own process, possibly in parallel: each case
// serves its agent on an address of its own.
const char* const kCaseOrder[] = {
    "AuthPrivShaAesAndNoAuthNoPrivReadWhatCommunityModeReads",
    "WrongPassPhrasesOpenNoDevice",
    "FourThreadsWithContextsOfTheirOwnReadAtOnce",
};

std::string agent_address_for(const std::string& testName) {
  int octet = 9;
  for (size_t i = 0; i < sizeof(kCaseOrder) / sizeof(kCaseOrder[0]); ++i) {
    if (testName == kCaseOrder[i]) octet = 10 + static_cast<int>(i);
  }
  return "127.0.14." + std::to_string(octet);
}

using Api = zeltest::LibraryApi;

// The text of a fixed field up to its first NUL.
template <size_t N>
std::string text(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

// Everything a host can read from an open device, flattened to text lines so
// that two reads compare line by line with a readable difference.
struct DeviceRead {
  std::vector<std::string> lines;

  void add(const std::string& line) { lines.push_back(line); }
  void add(const char* what, int status, int count) {
    add(std::string(what) + ": status " + std::to_string(status) + ", count " +
        std::to_string(count));
  }
};

std::string n(long long v) { return std::to_string(v) + " "; }

std::string row(const ZelStorageInfo& r) {
  return n(r.type) + n(r.allocationUnits) + n(r.size) + text(r.description);
}
std::string row(const ZelDeviceInfo& r) {
  return n(r.type) + n(r.status) + text(r.description);
}
std::string row(const ZelInputTrayInfo& r) {
  return n(r.type) + n(r.dimensionUnit) + n(r.mediaDimFeedDeclared) +
         n(r.mediaDimXFeedDeclared) + n(r.mediaDimFeedChosen) +
         n(r.mediaDimXFeedChosen) + n(r.capacityUnit) + n(r.maxCapacity) +
         n(r.currentLevel) + n(r.status) + text(r.mediaName) + "|" +
         text(r.name) + "|" + text(r.description) + "|" + text(r.mediaType) +
         "|" + text(r.mediaColor);
}
std::string row(const ZelInputTrayInfoEx& r) {
  return row(r.tray) + " vendor " + n(r.vendorTrayNumber);
}
std::string row(const ZelOutputTrayInfo& r) {
  return n(r.type) + n(r.status) + text(r.name) + "|" + text(r.description);
}
std::string row(const ZelTonerInfo& r) {
  return n(r.supplyUnit) + n(r.maxCapacity) + n(r.level) + text(r.description);
}
std::string row(const ZelAlertInfo& r) {
  return n(r.severityLevel) + n(r.group) + n(r.groupIndex) + n(r.location) +
         n(r.code) + text(r.description);
}
std::string row(const ZelDateTime& t) {
  return n(t.year) + n(t.month) + n(t.day) + n(t.hour) + n(t.minute) +
         n(t.second);
}
std::string row(const ZelJobInfo& r) {
  return n(r.jobType) + n(r.jobState) + n(r.jobInteger2) + n(r.jobCounter1) +
         n(r.jobCounter2) + text(r.jobText1) + "|" + text(r.jobText2) + "|" +
         text(r.jobText3) + "|" + text(r.jobId) + "|" + text(r.jobTextDirect) +
         "|" + row(r.time1) + row(r.time2) + row(r.time3);
}

ZelSnmpV3Settings settings(const char* user, int level, int auth,
                                  int priv, const char* authPass,
                                  const char* privPass) {
  ZelSnmpV3Settings s;
  std::memset(&s, 0, sizeof(s));
  std::snprintf(s.securityName, sizeof(s.securityName), "%s", user);
  s.securityLevel = level;
  s.authProtocol = auth;
  s.privProtocol = priv;
  std::snprintf(s.authPassphrase, sizeof(s.authPassphrase), "%s", authPass);
  std::snprintf(s.privPassphrase, sizeof(s.privPassphrase), "%s", privPass);
  std::snprintf(s.contextName, sizeof(s.contextName), "%s", kRecording);
  return s;
}

class V3DeviceLibrary : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(api_.load(ZEL_LIBRARY_PATH, &error)) << error;
    if (!zeltest::have_snmpsimd()) GTEST_SKIP() << "no snmpsimd";
    address_ = agent_address_for(
        testing::UnitTest::GetInstance()->current_test_info()->name());
    const std::string dir = zeltest::make_temp_dir("v3-device-library");
    ASSERT_TRUE(zeltest::write_recording(
        zeltest::repo_file("options/testdata/supported-device.snmprec"), dir,
        kRecording));
    const std::vector<std::string> users = {
        std::string("--v3-user=") + kShaAesUser,
        std::string("--v3-auth-key=") + kShaAesAuth,
        "--v3-auth-proto=SHA",
        std::string("--v3-priv-key=") + kShaAesPriv,
        "--v3-priv-proto=AES",
        std::string("--v3-user=") + kPlainUser,
    };
    ASSERT_TRUE(agent_.start(address_, dir, kRecording, &error, users))
        << error;
    ASSERT_EQ(0, api_.ZelInit(&handle_));
  }
  void TearDown() override {
    if (handle_) api_.ZelUnInit(handle_);
  }

  template <class Record, class Count, class Get>
  void read_table(const char* what, Count count, Get get, DeviceRead* read) {
    int32_t c = -1;
    const int rc = count(handle_, &c);
    read->add(what, rc, c);
    for (int32_t i = 0; rc == 0 && i < c; ++i) {
      Record r;
      std::memset(&r, 0, sizeof(r));
      const int got = get(handle_, static_cast<uint32_t>(i), &r);
      read->add(std::string(what) + " " + n(i) + n(got) + row(r));
    }
  }

  // Reads the open device as a host does after ZelInitDevice(Ex).
  DeviceRead read_device() {
    DeviceRead read;
    read.add("refresh " + n(api_.ZelRefreshOptions(handle_)));
    char value[ZEL_OPTION_TEXT_SIZE] = {};
    read.add("SysName " +
             n(api_.ZelGetOptionValueString(handle_, "SysName", 0, value)) +
             value);
    int32_t memory = -1;
    read.add("MemorySizeInKByte " +
             n(api_.ZelGetOptionValueInteger(handle_, "MemorySizeInKByte", 0,
                                             &memory)) +
             n(memory));
    read_table<ZelStorageInfo>("storage", api_.ZelGetNumberOfStorageInfo,
                               api_.ZelGetStorageInfo, &read);
    read_table<ZelDeviceInfo>("device", api_.ZelGetNumberOfDeviceInfo,
                              api_.ZelGetDeviceInfo, &read);
    ZelPrinterInfo printer{};
    read.add("printer " + n(api_.ZelGetPrinterInfo(handle_, &printer)) +
             n(printer.printerStatus) + n(printer.detectedErrorState));
    read_table<ZelInputTrayInfo>("input", api_.ZelGetNumberOfInputTrayInfo,
                                 api_.ZelGetInputTrayInfo, &read);
    read_table<ZelInputTrayInfoEx>("inputEx",
                                   api_.ZelGetNumberOfInputTrayInfoEx,
                                   api_.ZelGetInputTrayInfoEx, &read);
    read_table<ZelOutputTrayInfo>("output", api_.ZelGetNumberOfOutputTrayInfo,
                                  api_.ZelGetOutputTrayInfo, &read);
    read_table<ZelTonerInfo>("toner", api_.ZelGetNumberOfTonerInfo,
                             api_.ZelGetTonerInfo, &read);
    read_table<ZelAlertInfo>("alert", api_.ZelGetNumberOfAlertInfo,
                             api_.ZelGetAlertInfo, &read);
    for (uint32_t selector = 0; selector <= 2; ++selector) {
      const std::string what = "job/" + std::to_string(selector);
      read_table<ZelJobInfo>(
          what.c_str(),
          [&](ZelContext* h, int32_t* c) {
            return api_.ZelGetNumberOfJobInfo(h, selector, c);
          },
          api_.ZelGetJobInfo, &read);
    }
    for (uint32_t selector = 0; selector <= 1; ++selector) {
      int32_t charset = -1;
      read.add("charset " + n(api_.ZelGetCharSet(handle_, selector, &charset)) +
               n(charset));
    }
    return read;
  }

  DeviceRead read_in_community_mode() {
    EXPECT_EQ(0, api_.ZelCommandString(handle_, "CmdSetCommunityGetOption",
                                       kRecording));
    EXPECT_EQ(0,
              api_.ZelInitDevice(handle_, address_.c_str(), 1, kTimeoutMs, 1));
    return read_device();
  }

  void expect_same_read(const DeviceRead& want, const DeviceRead& got) {
    // A read that found nothing would compare equal to another empty read.
    ASSERT_GT(want.lines.size(), 40u);
    ASSERT_EQ(want.lines.size(), got.lines.size());
    for (size_t i = 0; i < want.lines.size(); ++i)
      EXPECT_EQ(want.lines[i], got.lines[i]);
  }

  Api api_;
  ZelContext* handle_ = nullptr;
  std::string address_;
  zeltest::SnmpsimAgent agent_;
};

TEST_F(V3DeviceLibrary, AuthPrivShaAesAndNoAuthNoPrivReadWhatCommunityModeReads) {
  const DeviceRead community = read_in_community_mode();
  EXPECT_EQ("refresh 0 ", community.lines[0]);
  for (const ZelSnmpV3Settings& s :
       {settings(kShaAesUser, 2, 2, 2, kShaAesAuth, kShaAesPriv),
        settings(kPlainUser, 0, 0, 0, "", "")}) {
    SCOPED_TRACE(s.securityName);
    ASSERT_EQ(0, api_.ZelInitDeviceEx(handle_, address_.c_str(), 1, 2, &s,
                                      kTimeoutMs, 1));
    expect_same_read(community, read_device());
  }
}

TEST_F(V3DeviceLibrary, WrongPassPhrasesOpenNoDevice) {
  // The agent cannot decrypt the request and drops it: the open times out.
  ZelSnmpV3Settings s =
      settings(kShaAesUser, 2, 2, 2, kShaAesAuth, "another-phrase");
  EXPECT_EQ(-203,
            api_.ZelInitDeviceEx(handle_, address_.c_str(), 1, 2, &s, 500, 0));
  int32_t count = -1;
  EXPECT_EQ(-8, api_.ZelGetNumberOfStorageInfo(handle_, &count));
  // snmpsimd reports a wrong digest authenticated with the user's real key:
  // the library cannot verify the Report and drops it, but counts it, and
  // the open answers a security failure instead of waiting in vain.
  s = settings(kShaAesUser, 2, 2, 2, "another-phrase", kShaAesPriv);
  EXPECT_EQ(-214,
            api_.ZelInitDeviceEx(handle_, address_.c_str(), 1, 2, &s, 500, 0));
  EXPECT_EQ(-8, api_.ZelGetNumberOfStorageInfo(handle_, &count));
}

// The library's SNMPv3 state is process-wide: four hosts' threads, each with
// a context of its own, open and read the device at once and all get what
// community mode reads.
TEST_F(V3DeviceLibrary, FourThreadsWithContextsOfTheirOwnReadAtOnce) {
  const DeviceRead community = read_in_community_mode();
  const auto count_of = [&](const char* what) {
    for (const std::string& line : community.lines)
      if (line.rfind(std::string(what) + ": ", 0) == 0) return line;
    return std::string();
  };
  const std::string storage = count_of("storage");
  const std::string toner = count_of("toner");
  ASSERT_FALSE(storage.empty());
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      ZelContext* h = nullptr;
      if (api_.ZelInit(&h) != 0) {
        failures.fetch_add(1);
        return;
      }
      const ZelSnmpV3Settings s =
          t % 2 ? settings(kPlainUser, 0, 0, 0, "", "")
                : settings(kShaAesUser, 2, 2, 2, kShaAesAuth, kShaAesPriv);
      int32_t c = -1;
      DeviceRead got;
      const int opened =
          api_.ZelInitDeviceEx(h, address_.c_str(), 1, 2, &s, kTimeoutMs, 1);
      if (opened != 0) {
        ADD_FAILURE() << "thread " << t << " open: " << opened;
        failures.fetch_add(1);
      } else {
        int rc = api_.ZelGetNumberOfStorageInfo(h, &c);
        got.add("storage", rc, c);
        rc = api_.ZelGetNumberOfTonerInfo(h, &c);
        got.add("toner", rc, c);
        EXPECT_EQ(storage, got.lines[0]) << "thread " << t;
        EXPECT_EQ(toner, got.lines[1]) << "thread " << t;
        if (got.lines[0] != storage || got.lines[1] != toner)
          failures.fetch_add(1);
      }
      api_.ZelUnInit(h);
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(0, failures.load());
}

// SNMPv3 discovery on a private namespace LAN through the built library:
// three printers of the supported model (snmpsimd on 0.0.0.0 in a node of
// its own, so that it hears broadcasts), the third knowing the user with
// another authentication pass phrase. The directed and the limited
// broadcast find the first two and leave the third out.
TEST(V3DiscoveryNetns, BroadcastFindsThePrintersThatAcceptTheUser) {
  if (!zeltest::have_snmpsimd()) GTEST_SKIP() << "no snmpsimd";
  // snmpsimd started as root drops to nobody, which a rootless user
  // namespace (one mapped id) does not have.
  if (getuid() != 0) GTEST_SKIP() << "snmpsimd in a namespace needs real root";
  Api api;
  std::string error;
  ASSERT_TRUE(api.load(ZEL_LIBRARY_PATH, &error)) << error;
  ZEL_RUN_IN_PRIVATE_NETNS([&] {
    ASSERT_EQ(zeltest::add_bridge("br0", "10.9.0.1/24"), "");
    // The limited broadcast 255.255.255.255 leaves through the default route.
    ASSERT_EQ(zeltest::ip("route add default dev br0"), "");
    std::vector<std::unique_ptr<zeltest::NetNsNode>> nodes;
    std::vector<std::unique_ptr<zeltest::SnmpsimAgent>> agents;
    for (int host = 2; host <= 4; ++host) {
      const std::string n = std::to_string(host);
      const std::string dir = zeltest::make_temp_dir("v3-discovery-lan");
      ASSERT_TRUE(zeltest::write_recording(
          zeltest::repo_file("options/testdata/supported-device.snmprec"), dir, kRecording));
      nodes.push_back(std::make_unique<zeltest::NetNsNode>());
      ASSERT_EQ(nodes.back()->create(), "");
      ASSERT_EQ(nodes.back()->attach("br0", "veth" + n, "eth0", "10.9.0." + n + "/24"), "");
      const std::string auth = host == 4 ? "another-auth-phrase" : kShaAesAuth;
      agents.push_back(std::make_unique<zeltest::SnmpsimAgent>());
      zeltest::ScopedNetNsEnter enter(*nodes.back());
      ASSERT_TRUE(enter.ok());
      ASSERT_TRUE(agents.back()->start("0.0.0.0", dir, kRecording, &error,
                                       {std::string("--v3-user=") + kShaAesUser,
                                        "--v3-auth-key=" + auth, "--v3-auth-proto=SHA",
                                        std::string("--v3-priv-key=") + kShaAesPriv,
                                        "--v3-priv-proto=AES"}))
          << error;
    }
    ZelContext* context = nullptr;
    ASSERT_EQ(0, api.ZelInit(&context));
    const ZelSnmpV3Settings s = settings(kShaAesUser, 2, 2, 2, kShaAesAuth, kShaAesPriv);
    for (const char* address : {"10.9.0.255", static_cast<const char*>(nullptr)}) {
      SCOPED_TRACE(address ? address : "limited broadcast");
      int32_t count = -1;
      ASSERT_EQ(0, api.ZelFindDeviceSNMPEx(context, address, 1, 2, &s, 1000, 0, &count));
      std::vector<std::string> found;
      char found_address[ZEL_ADDRESS_SIZE];
      char model[ZEL_MODEL_NAME_SIZE];
      char oid[ZEL_OID_TEXT_SIZE];
      uint8_t flag = 1;
      while (api.ZelGetDeviceNext(context, found_address, model, &flag, oid) == 1) {
        found.push_back(found_address);
      }
      std::sort(found.begin(), found.end());
      EXPECT_EQ(found, (std::vector<std::string>{"10.9.0.2", "10.9.0.3"}));
      EXPECT_EQ(count, 2);
    }
    api.ZelUnInit(context);
  });
}

// ---- No secret outlives ZelUnInit ----

// Memory of the check itself, kept out of the scan: the secrets it looks
// for, the settings record it hands over and the window it reads through.
struct SecretsArena {
  static constexpr size_t kWindow = 1 << 20;
  static constexpr size_t kSecretLength = 40;
  // The part looked for: the end, since an allocator writes its own
  // pointers over the first 16 bytes of a block it frees.
  static constexpr size_t kSoughtLength = 20;
  char secrets[3][kSecretLength + 1];  // auth, priv, write community
  ZelSnmpV3Settings settings;
  char path[2][512];
  uint8_t window[kWindow];
};

// Fills `out` with a text made at run time, so that the program's own image
// never holds it (its last 20 characters carry 80 random bits).
bool make_secret(const char* prefix, char (&out)[SecretsArena::kSecretLength + 1]) {
  uint8_t random[SecretsArena::kSecretLength];
  if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) return false;
  const size_t n = strlen(prefix);
  std::memcpy(out, prefix, n);
  for (size_t i = n; i < SecretsArena::kSecretLength; ++i)
    out[i] = "0123456789abcdef"[random[i] & 15];
  out[SecretsArena::kSecretLength] = '\0';
  kal_wipe(random, sizeof random);
  return true;
}

// Every readable, writable private mapping that is neither a file's nor the
// main stack: the heap and the anonymous regions (allocator arenas, thread
// stacks, ASan's quarantine), but not the arena. Read through /proc/self/mem,
// so that freed or poisoned memory is read without touching it. Mappings
// above 1 GiB are ASan's shadow (reserved, never data) and are left out.
// Answers the places found, as "mapping +offset secret N".
std::vector<std::string> scan_for_secrets(SecretsArena* arena) {
  const int maps = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  const int mem = open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
  if (maps < 0 || mem < 0) return {"cannot open /proc/self/maps or /proc/self/mem"};
  std::string text;
  char chunk[4096];
  for (ssize_t got; (got = read(maps, chunk, sizeof chunk)) > 0;) text.append(chunk, got);
  close(maps);
  std::vector<std::string> found;
  const uintptr_t arena_begin = reinterpret_cast<uintptr_t>(arena);
  const uintptr_t arena_end = arena_begin + sizeof *arena;
  const size_t overlap = SecretsArena::kSoughtLength - 1;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    unsigned long begin = 0, stop = 0;
    char perms[5] = {};
    int name_at = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx %4s %*s %*s %*s %n", &begin, &stop, perms,
                    &name_at) < 3)
      continue;
    const std::string name = name_at > 0 ? line.substr(static_cast<size_t>(name_at)) : "";
    const bool anonymous = name.empty() || name == "[heap]" || name.rfind("[anon", 0) == 0;
    if (std::strcmp(perms, "rw-p") != 0 || !anonymous) continue;
    if (stop - begin > (1ul << 30)) continue;
    for (unsigned long from = begin; from < stop;) {
      unsigned long to = std::min<unsigned long>(stop, from + SecretsArena::kWindow);
      if (from < arena_end && to > arena_begin) {  // the arena holds them on purpose
        if (from >= arena_begin) {
          from = arena_end;
          continue;
        }
        to = arena_begin;
      }
      const ssize_t got = pread(mem, arena->window, to - from, static_cast<off_t>(from));
      if (got <= 0) break;
      for (int s = 0; s < 3; ++s) {
        const void* hit = memmem(
            arena->window, static_cast<size_t>(got),
            arena->secrets[s] + SecretsArena::kSecretLength - SecretsArena::kSoughtLength,
            SecretsArena::kSoughtLength);
        if (!hit) continue;
        const size_t offset = static_cast<const uint8_t*>(hit) - arena->window;
        found.push_back((name.empty() ? "anonymous" : name) + " +" +
                        std::to_string(from - begin + offset) + " secret " +
                        std::to_string(s));
      }
      // Step back a little, so that a secret across two windows is seen.
      const unsigned long step = static_cast<unsigned long>(got);
      from += (from + step < stop && step > overlap) ? step - overlap : step;
    }
  }
  kal_wipe(arena->window, sizeof arena->window);
  close(mem);
  return found;
}

// A host opens a device in community mode and over SNMPv3 authPriv, reads,
// cancels a job with the write community, and calls ZelUnInit: afterwards
// neither pass phrase nor the write community may be found anywhere in the
// process's writable memory, freed blocks included (a freed block keeps its
// bytes until it is reused).
TEST(SecretsLibrary, NoPassPhraseOrWriteCommunityOutlivesUnInit) {
  if (!zeltest::have_snmpsimd()) GTEST_SKIP() << "no snmpsimd";
  Api api;
  std::string error;
  ASSERT_TRUE(api.load(ZEL_LIBRARY_PATH, &error)) << error;
  void* memory = mmap(nullptr, sizeof(SecretsArena), PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(memory, MAP_FAILED);
  SecretsArena* arena = new (memory) SecretsArena;
  ASSERT_TRUE(make_secret("zA", arena->secrets[0]));
  ASSERT_TRUE(make_secret("zP", arena->secrets[1]));
  ASSERT_TRUE(make_secret("zW", arena->secrets[2]));

  // snmpsimd picks the recording by community: a copy named after the write
  // community answers the cancel's set (the answer echoes the community).
  const char* const address = "127.0.24.1";
  const std::string dir = zeltest::make_temp_dir("secrets-library");
  const std::string recording = zeltest::repo_file("options/testdata/supported-device.snmprec");
  ASSERT_TRUE(zeltest::write_recording(recording, dir, kRecording));
  ASSERT_TRUE(zeltest::write_recording(recording, dir, "to-rename"));
  std::snprintf(arena->path[0], sizeof arena->path[0], "%s/to-rename.snmprec", dir.c_str());
  const int n = std::snprintf(arena->path[1], sizeof arena->path[1], "%s/", dir.c_str());
  std::memcpy(arena->path[1] + n, arena->secrets[2], SecretsArena::kSecretLength);
  std::memcpy(arena->path[1] + n + SecretsArena::kSecretLength, ".snmprec", 9);
  ASSERT_EQ(0, rename(arena->path[0], arena->path[1]));
  {
    std::vector<std::string> users = {"--v3-user=zel-secrets", "--v3-auth-key=",
                                      "--v3-auth-proto=SHA", "--v3-priv-key=",
                                      "--v3-priv-proto=AES"};
    for (std::string& u : users) u.reserve(64);  // appending moves nothing
    users[1].append(arena->secrets[0], SecretsArena::kSecretLength);
    users[3].append(arena->secrets[1], SecretsArena::kSecretLength);
    zeltest::SnmpsimAgent agent;
    const bool started = agent.start(address, dir, kRecording, &error, users);
    for (std::string& u : users) kal_wipe(&u);
    ASSERT_TRUE(started) << error;

    ZelContext* handle = nullptr;
    ASSERT_EQ(0, api.ZelInit(&handle));
    ASSERT_EQ(0, api.ZelCommandString(handle, "CmdSetCommunityGetOption", kRecording));
    ASSERT_EQ(0, api.ZelCommandString(handle, "CmdSetCommunityWrite", arena->secrets[2]));
    // SNMPv3 authPriv: open, read, cancel.
    ZelSnmpV3Settings& s = arena->settings;
    std::memset(&s, 0, sizeof s);
    std::memcpy(s.securityName, "zel-secrets", 12);
    s.securityLevel = 2;
    s.authProtocol = 2;
    s.privProtocol = 2;
    std::memcpy(s.authPassphrase, arena->secrets[0], SecretsArena::kSecretLength);
    std::memcpy(s.privPassphrase, arena->secrets[1], SecretsArena::kSecretLength);
    std::memcpy(s.contextName, kRecording, sizeof kRecording);
    ASSERT_EQ(0, api.ZelInitDeviceEx(handle, address, 1, 2, &s, kTimeoutMs, 0));
    int32_t count = -1;
    ASSERT_EQ(0, api.ZelGetNumberOfStorageInfo(handle, &count));
    EXPECT_GT(count, 0);
    api.ZelCancelJob(handle, "1");
    // Community mode: the write community goes out and comes back.
    ASSERT_EQ(0, api.ZelInitDevice(handle, address, 1, kTimeoutMs, 0));
    const int cancelled = api.ZelCancelJob(handle, "1");
    EXPECT_TRUE(cancelled == 0 || cancelled == -7) << cancelled;
    // SNMPv3 again, so that the context holds the pass phrases at the end.
    ASSERT_EQ(0, api.ZelInitDeviceEx(handle, address, 1, 2, &s, kTimeoutMs, 0));
    api.ZelUnInit(handle);
  }
  EXPECT_EQ(scan_for_secrets(arena), std::vector<std::string>{});
  unlink(arena->path[1]);
  kal_wipe(arena, sizeof *arena);
  munmap(memory, sizeof(SecretsArena));
}

}  // namespace
