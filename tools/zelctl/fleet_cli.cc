#include "tools/zelctl/fleet_cli.h"

namespace zelctl {

void add_fleet_commands(CLI::App& app, Options* o) {
  FleetOptions& f = o->fleet;
  auto* capture = app.add_subcommand(
      "capture",
      "walk a device (system, host resources, printer and vendor subtrees) into an "
      "snmpsim .snmprec file, sorted, with a header naming the time and sysDescr");
  capture->add_option("address", o->address, "the device's IPv4 or IPv6 address")->required();
  capture->add_option("-o,--output", f.output, "the file to write (default: standard output)");
  capture->add_option("--subtree", f.subtrees,
                      "walk this subtree instead of the default ones (repeatable)");
  capture->callback([o] { o->command = "capture"; });

  auto* traps = app.add_subcommand(
      "traps",
      "listen for SNMPv1 and SNMPv2c traps and print each as it arrives (time, source, "
      "version, community, trap identifier, bindings; Printer MIB alert columns named); "
      "Ctrl-C ends it");
  traps->add_option("--port", f.port, "the UDP port to listen on (162 needs root)")
      ->check(CLI::Range(1, 65535))
      ->capture_default_str();
  traps->callback([o] { o->command = "traps"; });

  auto* poll = app.add_subcommand(
      "poll",
      "read many devices at once, one line per device: address, model, sysName, state "
      "and errors, lowest supply, alerts by severity, time taken; exit status 1 when "
      "any device failed");
  poll->add_option("addresses", f.addresses, "the devices (default: discover first)");
  poll->add_option("--threads", f.threads, "devices read at the same time")
      ->check(CLI::Range(1, 256))
      ->capture_default_str();
  poll->add_option("--watch", f.watch_s, "read again every SECONDS until Ctrl-C")
      ->check(CLI::Range(1, 86400));
  poll->add_flag("--json-lines", f.json_lines, "one JSON object per device and round");
  poll->add_option("--prometheus", f.prometheus,
                   "after every round, write the node_exporter textfile collector format "
                   "to this file (atomically)");
  poll->callback([o] { o->command = "poll"; });
}

}  // namespace zelctl
