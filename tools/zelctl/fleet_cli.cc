#include "tools/zelctl/fleet_cli.h"

namespace zelctl {

void add_fleet_commands(CLI::App& app, Options* o) {
  FleetOptions& f = o->fleet;
  auto* capture = app.add_subcommand("capture", "record a device as an snmpsim .snmprec file");
  capture->footer(
      "Walks the device with GetNext over the subtrees the plug-in reads (system, host "
      "resources, printer and the vendor's) and writes every object in snmpsim's form, "
      "sorted, after a header comment with the time and sysDescr; scripts/lab.sh "
      "--recording FILE serves it. A walk that fails midway or goes back to an earlier "
      "object keeps what came before, warns, and the exit status is 11.");
  capture->add_option("address", o->address, "the device's IPv4 or IPv6 address")->required();
  capture->add_option("-o,--output", f.output, "the file to write (default: standard output)");
  capture->add_option("--subtree", f.subtrees,
                      "walk this subtree instead of the default ones (repeatable)");
  capture->callback([o] { o->command = "capture"; });

  auto* traps = app.add_subcommand("traps", "print SNMPv1 and SNMPv2c traps as they arrive");
  traps->footer(
      "Each trap: time, source, version, community, trap identifier, time-stamp and "
      "bindings, with the Printer MIB alert columns named (severity, group, code, "
      "description); with --json one object per line. Ctrl-C ends it. Port 162 needs root: "
      "as another user listen with --port on a port above 1023.");
  traps->add_option("--port", f.port, "the UDP port to listen on (162 needs root)")
      ->check(CLI::Range(1, 65535))
      ->capture_default_str();
  traps->callback([o] { o->command = "traps"; });

  auto* poll = app.add_subcommand("poll", "read many devices at once, one line each");
  poll->footer(
      "Without addresses it discovers first. Each thread reads with a plug-in context of "
      "its own. One line per device: address, model, sysName, state and errors, lowest "
      "supply, alerts by severity, time taken; a device that failed shows its status. "
      "--prometheus writes zel_printer_up, zel_supply_level_percent, zel_alerts, "
      "zel_input_tray_level_percent and zel_read_duration_seconds. The exit status is 1 "
      "when any device failed (in the last round).");
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
