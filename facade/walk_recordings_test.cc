// Walks of every table the plug-in reads, against Debian's snmpsimd serving
// the fourteen shared printer recordings (one agent on 127.0.7.1, one
// community per recording) and a recording of our own whose indexes cross
// digit lengths (facade/testdata/index-digits.snmprec). The expected rows come
// from the agent through Net-SNMP's own tools: `snmpwalk` of the table and
// `snmpgetnext` of what follows it give the agent's order, and from that the
// test predicts what each GetNext of the multi-column walk must answer.
// Nothing of the expectation comes from our SNMP code.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/owned.h"
#include "common/status.h"
#include "facade/get_data.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/value.h"
#include "testing/netns.h"
#include "testing/snmpsim_agent.h"

namespace {

// The agent of the running test. CTest runs each test in its own process,
// in parallel, so every test serves its recordings on an address of its own.
std::string g_agent_address;
// Generous enough that a loaded machine (snmpsimd is Python) never turns a
// slow answer into a time-out; only printer-13's silent column waits it out.
const int kTimeoutMs = 1000;
const int kRetries = 1;

// ---- identifiers in SNMP order, independent of our OID code ----

using Arcs = std::vector<unsigned long long>;

Arcs arcs(const std::string& text) {
  Arcs out;
  std::stringstream in(text[0] == '.' ? text.substr(1) : text);
  std::string part;
  while (std::getline(in, part, '.'))
    out.push_back(std::strtoull(part.c_str(), nullptr, 10));
  return out;
}
bool before(const Arcs& a, const Arcs& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}
bool within(const Arcs& oid, const Arcs& root) {
  return oid.size() > root.size() &&
         std::equal(root.begin(), root.end(), oid.begin());
}
std::string dotted(const Arcs& a) {
  std::string s;
  for (size_t i = 0; i < a.size(); ++i)
    s += (i ? "." : "") + std::to_string(a[i]);
  return s;
}

// ---- what Net-SNMP saw ----

struct Binding {
  std::string oid;    // dotted, no leading dot
  std::string value;  // "TYPE:text", see canonical()
};

struct Seen {
  enum End { kDone, kEndOfMib, kTimeout };
  std::vector<Binding> bindings;
  End end = kDone;
};

std::string hex_of(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c)))
      out += static_cast<char>(std::toupper(c));
  }
  return out;
}

// One value as Net-SNMP prints it with -m "" -Ox -Ot (no MIBs, octet strings
// in hex, time ticks as a bare number).
std::string canonical_netsnmp(const std::string& printed) {
  if (printed == "\"\"") return "HEX:";
  const size_t colon = printed.find(": ");
  if (colon == std::string::npos) return "Timeticks:" + printed;
  const std::string type = printed.substr(0, colon);
  std::string v = printed.substr(colon + 2);
  if (type == "Hex-STRING") return "HEX:" + hex_of(v);
  if (type == "STRING") {
    v = v.size() >= 2 ? v.substr(1, v.size() - 2) : v;
    char buf[3];
    std::string h;
    for (unsigned char c : v) {
      std::snprintf(buf, sizeof buf, "%02X", c);
      h += buf;
    }
    return "HEX:" + h;
  }
  if (type == "OID") return "OID:" + (v[0] == '.' ? v.substr(1) : v);
  return type + ":" + v;
}

Seen parse(const std::string& output) {
  Seen seen;
  std::stringstream in(output);
  std::string line;
  bool in_hex = false;
  while (std::getline(in, line)) {
    if (line.rfind("Timeout: No Response", 0) == 0) {
      seen.end = Seen::kTimeout;
      in_hex = false;
      continue;
    }
    if (line.find("End of MIB") != std::string::npos ||
        line.find("(noSuchName)") != std::string::npos) {
      seen.end = Seen::kEndOfMib;
      in_hex = false;
      continue;
    }
    const size_t eq = line.find(" = ");
    if (!line.empty() && line[0] == '.' && eq != std::string::npos) {
      const std::string printed = line.substr(eq + 3);
      seen.bindings.push_back(
          {line.substr(1, eq - 1), canonical_netsnmp(printed)});
      in_hex = printed.rfind("Hex-STRING: ", 0) == 0;
      continue;
    }
    // Net-SNMP breaks long hex strings over several lines.
    if (in_hex && !seen.bindings.empty())
      seen.bindings.back().value += hex_of(line);
  }
  return seen;
}

Seen netsnmp(const char* tool, const std::string& community,
             const std::string& oid) {
  std::vector<std::string> argv{tool,  "-m",  "",        "-v1",          "-On",
                                "-Ox", "-Ot", "-t",      "1",            "-r",
                                "1",   "-c",  community, g_agent_address};
  if (std::string(tool) == "snmpwalk") argv.push_back("-CI");
  argv.push_back(oid);
  std::string output;
  zeltest::run_command(argv, &output, 60);
  return parse(output);
}

// ---- what our walk answered ----

std::string canonical(const IKasSnmpValue* v) {
  if (!v) return "<none>";
  char buf[3];
  switch (v->tag()) {
    case kKasTagInteger:
      return "INTEGER:" + std::to_string(v->get_int());
    case kKasTagOctetString: {
      size_t n = 0;
      const uint8_t* p = v->get_bytes(&n);
      std::string h;
      for (size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", p[i]);
        h += buf;
      }
      return "HEX:" + h;
    }
    case kKasTagOid: {
      size_t n = 0;
      const uint8_t* p = v->get_bytes(&n);
      return "OID:" + std::string(reinterpret_cast<const char*>(p), n);
    }
    case kKasTagIpAddress: {
      const uint32_t a = v->get_uint();
      return "IpAddress:" + std::to_string(a >> 24) + "." +
             std::to_string((a >> 16) & 255) + "." +
             std::to_string((a >> 8) & 255) + "." + std::to_string(a & 255);
    }
    case kKasTagCounter32:
      return "Counter32:" + std::to_string(v->get_uint());
    case kKasTagGauge32:
      return "Gauge32:" + std::to_string(v->get_uint());
    case kKasTagTimeTicks:
      return "Timeticks:" + std::to_string(v->get_uint());
    default:
      return "TAG" + std::to_string(v->tag());
  }
}

struct OurWalk {
  int status = 0;
  std::vector<std::vector<Binding>> rows;
};

// With `usm`, the walk goes out as SNMPv3 (version 2 of the request object).
OurWalk walk_ours(const std::string& community,
                  const std::vector<std::string>& columns,
                  const KalUsmParams* usm = nullptr) {
  OurWalk out;
  KalOwned<IKalGetData> request(kal_create_get_data(&out.status));
  if (!request) return out;
  request->set_community(community.c_str(), community.size() + 1);
  out.status =
      request->init(g_agent_address.c_str(), IKalNetworkAddress::IPv4, 161,
                    usm ? 2 : 0, usm, usm ? 2000 : kTimeoutMs, kRetries, 0);
  for (const std::string& c : columns) {
    if (out.status == kKalOk)
      out.status = request->add_oid_string(c.c_str(), false);
  }
  KalOwned<IKasPduList> list(kas_create_pdu_list());
  if (out.status == kKalOk)
    out.status = request->get_data(list.get(), columns[0].c_str());
  KalOwned<IKasListCursor> cursor(list->new_cursor());
  for (IKasPdu* pdu; (pdu = list->current(cursor.get())) != nullptr;
       list->next(cursor.get())) {
    std::vector<Binding> row;
    for (size_t i = 0; i < pdu->binding_count(); ++i) {
      const IKasVarBind* b = pdu->get_bindings()->at(i);
      row.push_back({b->get_oid() ? b->get_oid()->text() : "<none>",
                     canonical(b->get_value())});
    }
    out.rows.push_back(row);
  }
  return out;
}

// ---- the expectation ----

// The agent's objects from the table's root on, and what follows them.
struct AgentView {
  Seen walk;      // snmpwalk of the root
  Seen follower;  // snmpgetnext of the last object walked (or the root)
};

// What one GetNext of `oid` answers, as far as the view tells.
struct Next {
  enum Kind { kBinding, kEndOfMib, kTimeout, kUnknown } kind = kUnknown;
  Binding binding;
};

Next next_of(const AgentView& view, const Arcs& oid) {
  for (const Binding& b : view.walk.bindings) {
    if (before(oid, arcs(b.oid))) return {Next::kBinding, b};
  }
  // Past the last object walked: the follower answers, when it lies after.
  const Seen& f = view.follower;
  if (f.end == Seen::kTimeout) return {Next::kTimeout, {}};
  if (f.end == Seen::kEndOfMib) return {Next::kEndOfMib, {}};
  if (!f.bindings.empty() && before(oid, arcs(f.bindings[0].oid))) {
    return {Next::kBinding, f.bindings[0]};
  }
  return {};
}

struct Expected {
  int status = kKalOk;
  std::vector<std::vector<Next>> rows;
  bool uncertain = false;  // some column ran past what the view tells
};

Expected predict(const AgentView& view,
                 const std::vector<std::string>& columns) {
  Expected e;
  const Arcs root = arcs(columns[0]);
  std::vector<Arcs> asked;
  std::vector<bool> known(columns.size(), true);
  for (const std::string& c : columns) asked.push_back(arcs(c));
  for (size_t step = 0; step < 10000; ++step) {
    std::vector<Next> answer;
    for (size_t j = 0; j < columns.size(); ++j) {
      answer.push_back(known[j] ? next_of(view, asked[j]) : Next{});
      if (answer[j].kind == Next::kUnknown) {
        known[j] = false;
        e.uncertain = true;
      }
    }
    // A silent agent drops the whole request; an SNMPv1 agent answers the
    // end of its MIB with noSuchName, which ends the walk.
    for (const Next& n : answer) {
      if (n.kind == Next::kTimeout) {
        e.status = kKasErrTimeout;
        return e;
      }
    }
    for (const Next& n : answer) {
      if (n.kind == Next::kEndOfMib) return e;
    }
    if (answer[0].kind != Next::kBinding ||
        !within(arcs(answer[0].binding.oid), root))
      return e;
    e.rows.push_back(answer);
    for (size_t j = 0; j < columns.size(); ++j) {
      if (known[j]) asked[j] = arcs(answer[j].binding.oid);
    }
  }
  ADD_FAILURE() << "the agent's table never ends";
  return e;
}

// The longest common prefix of the columns: the walk that covers them all.
std::string common_root(const std::vector<std::string>& columns) {
  Arcs prefix = arcs(columns[0]);
  for (const std::string& c : columns) {
    const Arcs a = arcs(c);
    size_t n = 0;
    while (n < prefix.size() && n < a.size() && prefix[n] == a[n]) ++n;
    prefix.resize(n);
  }
  return dotted(prefix);
}

// The agent's view below `root`: snmpwalk of the root and snmpgetnext of
// the last object it met (a walk that timed out is its own follower).
AgentView walk_view(const std::string& community, const std::string& root) {
  AgentView view;
  view.walk = netsnmp("snmpwalk", community, root);
  const std::string last =
      view.walk.bindings.empty() ? root : view.walk.bindings.back().oid;
  view.follower = view.walk.end == Seen::kTimeout
                      ? view.walk
                      : netsnmp("snmpgetnext", community, last);
  return view;
}

// Starting Net-SNMP costs far more than one request, so each recording is
// walked once per MIB branch and every table's view is cut out of that.
const char* const kBranches[] = {"1.3.6.1.2.1.25", "1.3.6.1.2.1.43",
                                 "1.3.6.1.4.1.61801", "1.3.6.1.4.1.61802"};

struct ViewCache {
  std::string community;
  std::vector<std::pair<std::string, AgentView>> branches;
};

AgentView view_for(ViewCache* cache, const std::string& root) {
  const Arcs r = arcs(root);
  const char* branch = nullptr;
  for (const char* b : kBranches) {
    if (within(r, arcs(b)) || r == arcs(b)) branch = b;
  }
  if (!branch) return walk_view(cache->community, root);
  const AgentView* big = nullptr;
  for (const auto& entry : cache->branches) {
    if (entry.first == branch) big = &entry.second;
  }
  if (!big) {
    cache->branches.emplace_back(branch, walk_view(cache->community, branch));
    big = &cache->branches.back().second;
  }
  // A branch walk that met silence before this table tells nothing of it.
  if (big->walk.end == Seen::kTimeout &&
      (big->walk.bindings.empty() ||
       before(arcs(big->walk.bindings.back().oid), r))) {
    return walk_view(cache->community, root);
  }
  AgentView view;
  const Binding* follower = nullptr;
  for (const Binding& b : big->walk.bindings) {
    const Arcs a = arcs(b.oid);
    if (within(a, r)) {
      view.walk.bindings.push_back(b);
    } else if (before(r, a)) {
      follower = &b;
      break;
    }
  }
  if (follower) {
    view.follower.bindings.push_back(*follower);
  } else {
    view.follower = big->follower;
  }
  return view;
}

struct Tally {
  std::atomic<size_t> tables{0}, rows{0}, bindings{0}, uncertain{0},
      timeouts{0};
};
Tally g_tally;

void compare_walk(ViewCache* cache, const std::string& table,
                  const std::vector<std::string>& columns, size_t* pRows) {
  const std::string& community = cache->community;
  SCOPED_TRACE(community + " " + table);
  const AgentView view = view_for(cache, common_root(columns));
  const Expected e = predict(view, columns);
  ++g_tally.tables;
  if (e.uncertain) ++g_tally.uncertain;
  if (e.status == kKasErrTimeout) ++g_tally.timeouts;
  const OurWalk ours = walk_ours(community, columns);
  if (e.status == kKasErrTimeout) {
    // Net-SNMP met the same silence.
    EXPECT_EQ(view.follower.end, Seen::kTimeout);
  }
  if (!e.uncertain) {
    EXPECT_EQ(ours.status, e.status);
    EXPECT_EQ(ours.rows.size(), e.rows.size());
  } else {
    // A column ran past the objects the tools were asked about; whatever it
    // met may have ended the walk early, but never later.
    EXPECT_LE(ours.rows.size(), e.rows.size());
  }
  const size_t n = std::min(ours.rows.size(), e.rows.size());
  g_tally.rows += n;
  for (size_t i = 0; i < n; ++i) {
    ASSERT_EQ(ours.rows[i].size(), columns.size()) << "row " << i;
    for (size_t j = 0; j < columns.size(); ++j) {
      const Next& x = e.rows[i][j];
      if (x.kind != Next::kBinding) continue;
      ++g_tally.bindings;
      EXPECT_EQ(ours.rows[i][j].oid, x.binding.oid)
          << "row " << i << " column " << columns[j];
      EXPECT_EQ(ours.rows[i][j].value, x.binding.value)
          << "row " << i << " column " << columns[j] << " " << x.binding.oid;
    }
  }
  if (pRows) *pRows = ours.rows.size();
}

// ---- the tables the plug-in reads, columns in the order they are added ----

struct Table {
  const char* name;
  const char* prefix;
  std::vector<int> columns;
};

const Table kTables[] = {
    {"hrStorageTable", "1.3.6.1.2.1.25.2.3.1", {2, 4, 5, 3}},
    {"hrDeviceTable", "1.3.6.1.2.1.25.3.2.1", {2, 5, 3}},
    {"hrDeviceTable options", "1.3.6.1.2.1.25.3.2.1", {1, 3, 5}},
    {"hrPrinterTable", "1.3.6.1.2.1.25.3.5.1", {1, 2}},
    {"prtInputTable",
     "1.3.6.1.2.1.43.8.2.1",
     {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 18, 21, 22}},
    {"prtInputTable options",
     "1.3.6.1.2.1.43.8.2.1",
     {2, 3, 6, 7, 8, 9, 10, 13, 18, 21}},
    {"prtOutputTable", "1.3.6.1.2.1.43.9.2.1", {2, 6, 7, 12}},
    {"prtOutputTable options", "1.3.6.1.2.1.43.9.2.1", {2, 7, 24}},
    {"prtMarkerSuppliesTable", "1.3.6.1.2.1.43.11.1.1", {5, 7, 8, 9, 6}},
    {"prtAlertTable", "1.3.6.1.2.1.43.18.1.1", {2, 4, 5, 6, 7, 8}},
    {"prtMediaPathTable", "1.3.6.1.2.1.43.13.4.1", {9}},
    {"prtGeneralCurrentLocalization", "1.3.6.1.2.1.43.5.1.1", {2}},
    {"vendor localization", "1.3.6.1.4.1.61801.8.51.3.1.1", {1}},
    {"vendor tray numbers", "1.3.6.1.4.1.61802.2.9999.43.8.2.1", {2}},
};

std::vector<std::string> columns_of(const Table& t) {
  std::vector<std::string> out;
  for (int c : t.columns)
    out.push_back(std::string(t.prefix) + "." + std::to_string(c));
  return out;
}

// The vendor job columns span three tables.
const std::vector<std::string> kJobColumns = {
    "1.3.6.1.4.1.61801.8.59.6.1.1.4",  "1.3.6.1.4.1.61801.8.59.6.1.1.9",
    "1.3.6.1.4.1.61801.8.59.6.1.1.10", "1.3.6.1.4.1.61801.8.59.16.1.1.5",
    "1.3.6.1.4.1.61801.8.59.16.1.1.6", "1.3.6.1.4.1.61801.8.59.6.1.1.5",
    "1.3.6.1.4.1.61801.8.59.6.1.1.6",  "1.3.6.1.4.1.61801.8.59.10.1.1.7",
    "1.3.6.1.4.1.61801.8.59.6.1.1.3",  "1.3.6.1.4.1.61801.8.59.10.1.1.10",
    "1.3.6.1.4.1.61801.8.59.16.1.1.4", "1.3.6.1.4.1.61801.8.59.16.1.1.7"};

class Recordings : public ::testing::Test {
 protected:
  // Serves the named recordings (shared printers "printer-NN", or our own
  // "index-digits") on `address`, each under its name as community.
  void serve(const std::string& address,
             const std::vector<std::string>& names) {
    if (!zeltest::have_snmpsimd()) GTEST_SKIP() << "snmpsimd is not installed";
    if (zeltest::shared_recording("printer-01.snmprec").empty()) {
      GTEST_SKIP() << "the shared printer recordings are absent";
    }
    const std::string dir = zeltest::make_temp_dir("facade-walks");
    for (const std::string& name : names) {
      const std::string src =
          name == "index-digits"
              ? zeltest::repo_file("facade/testdata/index-digits.snmprec")
              : zeltest::shared_recording(name + ".snmprec");
      ASSERT_TRUE(zeltest::write_recording(src, dir, name)) << name;
    }
    std::string error;
    ASSERT_TRUE(agent_.start(address, dir, names[0], &error)) << error;
    g_agent_address = address;
  }

  zeltest::SnmpsimAgent agent_;
};

std::vector<std::string> all_printers() {
  std::vector<std::string> names;
  for (int i = 1; i <= 14; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "printer-%02d", i);
    names.push_back(name);
  }
  return names;
}

TEST_F(Recordings, EveryTableOfEveryPrinterMatchesNetSnmp) {
  ASSERT_NO_FATAL_FAILURE(serve("127.0.7.1", all_printers()));
  if (IsSkipped()) return;
  // Two workers: most of the time goes into starting Net-SNMP's tools.
  std::atomic<int> next{1};
  auto work = [&next] {
    for (int i; (i = next++) <= 14;) {
      char community[32];
      std::snprintf(community, sizeof community, "printer-%02d", i);
      ViewCache cache{community, {}};
      for (const Table& t : kTables)
        compare_walk(&cache, t.name, columns_of(t), nullptr);
      compare_walk(&cache, "vendor jobs", kJobColumns, nullptr);
    }
  };
  std::thread helper(work);
  work();
  helper.join();
  std::printf(
      "compared %zu walks: %zu rows, %zu bindings; %zu time-outs, %zu ran past "
      "the view\n",
      g_tally.tables.load(), g_tally.rows.load(), g_tally.bindings.load(),
      g_tally.timeouts.load(), g_tally.uncertain.load());
}

TEST_F(Recordings, SilentAgentTimesOutLikeNetSnmp) {
  ASSERT_NO_FATAL_FAILURE(serve("127.0.7.2", {"printer-13"}));
  if (IsSkipped()) return;
  // printer-13 cannot encode hrDeviceID (the one-arc OID 0): snmpsimd drops
  // every request whose answer reaches 1.3.6.1.2.1.25.3.2.1.4.
  const OurWalk ours = walk_ours("printer-13", {"1.3.6.1.2.1.25.3.2.1.2"});
  EXPECT_EQ(ours.status, kKasErrTimeout);
  EXPECT_EQ(netsnmp("snmpwalk", "printer-13", "1.3.6.1.2.1.25.3.2.1.2").end,
            Seen::kTimeout);
}

TEST_F(Recordings, SnmpV3WalkFindsTheSameRows) {
  ASSERT_NO_FATAL_FAILURE(serve("127.0.7.3", {"printer-02"}));
  if (IsSkipped()) return;
  // snmpsimd's own SNMPv3 user (HMAC-MD5, DES); the context name picks the
  // recording as the community does.
  const KalUsmParams usm{"simulator",  2,          1,           1,
                         "auctoritas", "privatus", "printer-02"};
  for (const Table& t : {kTables[0], kTables[1], kTables[8]}) {
    SCOPED_TRACE(t.name);
    const OurWalk v1 = walk_ours("printer-02", columns_of(t));
    const OurWalk v3 = walk_ours("ignored", columns_of(t), &usm);
    ASSERT_EQ(v1.status, kKalOk);
    EXPECT_EQ(v3.status, kKalOk);
    ASSERT_EQ(v3.rows.size(), v1.rows.size());
    EXPECT_GT(v3.rows.size(), 0u);
    for (size_t i = 0; i < v1.rows.size(); ++i) {
      ASSERT_EQ(v3.rows[i].size(), v1.rows[i].size());
      for (size_t j = 0; j < v1.rows[i].size(); ++j) {
        EXPECT_EQ(v3.rows[i][j].oid, v1.rows[i][j].oid);
        EXPECT_EQ(v3.rows[i][j].value, v1.rows[i][j].value);
      }
    }
  }
}

TEST_F(Recordings, IndexesCrossingDigitLengthsAreAllWalked) {
  ASSERT_NO_FATAL_FAILURE(serve("127.0.7.4", {"index-digits"}));
  if (IsSkipped()) return;
  size_t rows = 0;
  ViewCache cache{"index-digits", {}};
  compare_walk(&cache, "one index",
               {"1.3.6.1.4.1.99999.1.1.1.2", "1.3.6.1.4.1.99999.1.1.1.3"},
               &rows);
  // 1..12, 95..105, 999..1001: by text order a guard would stop at 10 or 100.
  EXPECT_EQ(rows, 26u);
  compare_walk(&cache, "two indexes",
               {"1.3.6.1.4.1.99999.1.2.1.2", "1.3.6.1.4.1.99999.1.2.1.3"},
               &rows);
  EXPECT_EQ(rows, 6u);
}

}  // namespace
