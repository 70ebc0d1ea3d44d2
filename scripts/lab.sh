#!/usr/bin/env bash
# The printer lab: a private network namespace LAN with N simulated printers.
#
# Builds a bridge in a fresh network namespace (the client side, 10.77.0.1 and
# fd77::1), starts one snmpsimd per printer, each in a network namespace of its
# own joined to the bridge by a veth pair, runs COMMAND in the client namespace
# and tears everything down when the command ends, fails or is interrupted.
# The machine's own network namespace is never touched: everything lives in a
# user+network+mount+PID namespace made with unshare, so even a killed lab
# leaves nothing behind (the kernel ends every process of the PID namespace
# with its first one, and the network namespaces go with their processes).
#
# Usage: scripts/lab.sh [options] -- COMMAND [ARGS...]
#   --printers N        number of simulated printers (1..200, default 4), or
#                       "all": one printer per recording
#   --recording SPEC    a recording to serve, repeatable; used in turn by the
#                       printers. SPEC is PATH or PATH@supported (a copy whose
#                       sysObjectID.0 is rewritten to the supported model's).
#                       Default: the project's own recordings in
#                       options/testdata (the supported device, a mono one,
#                       one printing jobs, one stopped with alerts, and a
#                       sibling model that is not supported), then the shared
#                       recordings printer-01..14, every second one served as
#                       a supported device (not printer-13, whose device table
#                       partly never answers).
#   --shared DIR        folder of the shared recordings
#                       (default: ../shared/testdata/printers beside the repo)
#   --no-shared         serve the project's own recordings only
#   --start-timeout S   bound on the wait for all agents (default 90)
#   --mode MODE         userns (rootless; the default where the kernel allows
#                       user namespaces) or root (plain namespaces, needs root)
#   --faults SETTINGS   put a fault relay on every printer's link: the agent
#                       listens on the printer's loopback (127.0.0.1:1161 and
#                       [::1]:1161) and the relay, on port 161 of the
#                       printer's own addresses, forwards to it. SETTINGS are
#                       the relay's KEY=VALUE settings, comma separated, e.g.
#                       loss=0.2,duplicate=0.1,reorder=0.1,delay_ms=200
#                       (see fault_relay --help); printer N's relays take
#                       seed=BASE+N (IPv4) and seed=BASE+1000+N (IPv6)
#   --faults-seed BASE  the seeds' base (default 1)
#   --relay PATH        the fault_relay program (default: the first
#                       build/*/testing/fault_relay of this repository)
#   --quiet             no printer table on stderr
#   -h, --help          this text
#
# The command sees these variables:
#   ZEL_LAB_CLIENT, ZEL_LAB_CLIENT6   the client's addresses
#   ZEL_LAB_BROADCAST                 the LAN's broadcast address
#   ZEL_LAB_PRINTERS, ZEL_LAB_PRINTERS6   all printer addresses (space separated)
#   ZEL_LAB_SUPPORTED, ZEL_LAB_SUPPORTED6 the printers serving a supported device
#   ZEL_LAB_TABLE                     a file: index, IPv4, IPv6, sysObjectID,
#                                     supported (yes/no), recording (tab separated)
#   ZEL_LAB_RELAY_STATS               with --faults: a folder where each relay
#                                     keeps its counters current, one line of
#                                     JSON in IPV4.json and IPV4-v6.json
# Every printer answers the communities "vorovo" (the plug-in's default) and
# "public" for reads, and "dazavud" (the plug-in's default write community)
# for reads and for the set that cancels a job: the job operation cells of a
# recording (1.3.6.1.4.1.61801.8.76.3.2.1.1.*) take INTEGER 1414 under that
# community and read it back afterwards; any other value is a wrongValue.
# SNMPv3 with snmpsimd's built-in user "simulator" (MD5 "auctoritas", DES
# "privatus").
#
# Exit status: the command's; 2 for a usage error; 77 when this machine does
# not permit network namespaces (a test can skip on it); 70 when the lab could
# not be built or an agent did not answer in time.
set -euo pipefail

readonly kSupportedOid=1.3.6.1.4.1.61802.1.11.93.1.37.22.4
readonly kWriteCommunity=dazavud
readonly kJobOperationColumn=1.3.6.1.4.1.61801.8.76.3.2.1.1
# The project's own recordings, served by default (paths from the repo).
readonly kOwnRecordings=(options/testdata/supported-device.snmprec@supported
  options/testdata/supported-device-mono.snmprec
  options/testdata/supported-device-busy.snmprec
  options/testdata/supported-device-error.snmprec
  options/testdata/foreign-device.snmprec)
readonly kSkip=77 kLabFailed=70 kUsage=2
readonly kNet4=10.77.0 kNet6=fd77:

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
self="$root/scripts/lab.sh"

usage() { sed -n '2,/^set -euo/p' "$self" | sed '$d; s/^# \{0,1\}//'; }
die() { printf 'lab: %s\n' "$*" >&2; exit "$kLabFailed"; }
usage_error() { printf 'lab: %s (see --help)\n' "$*" >&2; exit "$kUsage"; }

# --- inside the namespaces ---------------------------------------------------

# Copies recording $1 to $2; with $3 non-empty, sysObjectID.0 becomes $3 (the
# line is added after sysDescr when the recording has none: snmpsimd needs the
# lines in OID order).
write_recording() {
  local src=$1 dst=$2 oid=${3:-}
  if [ -z "$oid" ]; then
    cp "$src" "$dst"
  elif grep -q '^1\.3\.6\.1\.2\.1\.1\.2\.0|' "$src"; then
    awk -v oid="$oid" -F'|' '$1 == "1.3.6.1.2.1.1.2.0" { print $1 "|6|" oid; next }
                             { print }' "$src" >"$dst"
  else
    awk -v oid="$oid" -F'|' '!done && $1 !~ /^1\.3\.6\.1\.2\.1\.1\.1\./ {
                               print "1.3.6.1.2.1.1.2.0|6|" oid; done = 1 }
                             { print }
                             END { if (!done) print "1.3.6.1.2.1.1.2.0|6|" oid }' "$src" >"$dst"
  fi
}

# Copies data file $1 to $2 for the write community: every job operation
# cell becomes writable (snmpsimd's writecache module) for the cancel value.
write_community_recording() {
  awk -v col="$kJobOperationColumn." -F'|' '
    index($1, col) == 1 && $2 == "2" {
      print $1 "|2:writecache|value=" $3 ",vlist=lt:1414:wrongvalue:gt:1414:wrongvalue"; next }
    { print }' "$1" >"$2"
}

# Prints the sysObjectID.0 value of a recording, or "-".
recording_oid() {
  awk -F'|' '$1 == "1.3.6.1.2.1.1.2.0" { print $3; found = 1; exit }
             END { if (!found) print "-" }' "$1"
}

# Waits (bounded by the deadline in seconds since the epoch) until the agent at
# $1 answers a v2c get of sysObjectID.0. With a third argument, the process
# whose network namespace to ask from (a printer's own, so that a fault relay
# on its link neither delays the probe nor counts it).
wait_for_agent() {
  local addr=$1 deadline=$2 inside=()
  [ -z "${3:-}" ] || inside=(nsenter -t "$3" -n)
  while [ "$(date +%s)" -lt "$deadline" ]; do
    if "${inside[@]}" snmpget -m '' -v2c -c vorovo -t 0.5 -r 0 -Oqv "$addr" 1.3.6.1.2.1.1.2.0 \
        >/dev/null 2>&1; then
      return 0
    fi
    sleep 0.2
  done
  return 1
}

inner_pids=()
lab_command=""
inner_cleanup() {
  local pid i
  trap - EXIT INT TERM
  if [ -n "$lab_command" ]; then
    kill -TERM "$lab_command" 2>/dev/null || true
    for i in $(seq 1 20); do kill -0 "$lab_command" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$lab_command" 2>/dev/null || true
  fi
  for pid in "${inner_pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for i in $(seq 1 25); do
    local alive=0
    for pid in "${inner_pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
    [ "$alive" -eq 0 ] && break
    sleep 0.1
  done
  for pid in "${inner_pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  ip link del br0 2>/dev/null || true
}

# Starts printer $1's two fault relays inside the namespace of process $2.
# Settings in WORK/faults (one per line), the seeds' base in WORK/faults-seed.
start_relays() {
  local i=$1 pid=$2 work=$3 a4=$4 stats=$work/relay-stats settings base
  mapfile -t settings <"$work/faults"
  base=$(cat "$work/faults-seed")
  mkdir -p "$stats"
  # Bounded by the lab's teardown; the lifetime is only a backstop.
  nsenter -t "$pid" -n "$(cat "$work/relay")" --listen 0.0.0.0:161 \
    --agent 127.0.0.1:1161 --lifetime 43200 --stats "$stats/$a4.json" \
    "${settings[@]}" "seed=$((base + i))" >"$work/p$i/relay4.log" 2>&1 &
  inner_pids+=("$!")
  nsenter -t "$pid" -n "$(cat "$work/relay")" --listen '[::]:161' \
    --agent '[::1]:1161' --lifetime 43200 --stats "$stats/$a4-v6.json" \
    "${settings[@]}" "seed=$((base + 1000 + i))" >"$work/p$i/relay6.log" 2>&1 &
  inner_pids+=("$!")
}

# Runs as PID 1 of the lab's PID namespace. Arguments: WORK MODE N QUIET
# TIMEOUT -- COMMAND...; the recording list is in WORK/recordings, the fault
# settings (when any) in WORK/faults.
inner_main() {
  local work=$1 mode=$2 count=$3 quiet=$4 timeout=$5
  shift 6
  local faults=0 printer_pids=()
  if [ -f "$work/faults" ]; then faults=1; fi
  trap 'inner_cleanup; exit 130' INT
  trap 'inner_cleanup; exit 143' TERM
  trap 'inner_cleanup' EXIT

  ip link set lo up
  # No link-local addresses: a multicast request then leaves from the LAN's
  # own prefix and the printers answer from theirs, so the addresses that a
  # discovery reports can be used without a scope.
  echo 1 >/proc/sys/net/ipv6/conf/default/addr_gen_mode
  ip link add br0 type bridge mcast_snooping 0
  ip addr add "$kNet4.1/24" brd + dev br0
  ip -6 addr add "${kNet6}:1/64" dev br0 nodad
  ip link set br0 up
  # The limited broadcast 255.255.255.255 needs a route to leave by.
  ip route add default dev br0

  mapfile -t recordings <"$work/recordings"
  local table="$work/printers.tsv" i
  : >"$table"
  local all4=() all6=() sup4=() sup6=()
  for i in $(seq 1 "$count"); do
    local spec=${recordings[$(((i - 1) % ${#recordings[@]}))]}
    local src=${spec%@supported} oid="" supported=no
    if [ "$src" != "$spec" ]; then oid=$kSupportedOid; supported=yes; fi
    local dir="$work/p$i" a4="$kNet4.$((10 + i))" a6="${kNet6}:$((10 + i))"
    mkdir -p "$dir/data" "$dir/cache"
    write_recording "$src" "$dir/data/vorovo.snmprec" "$oid"
    cp "$dir/data/vorovo.snmprec" "$dir/data/public.snmprec"
    write_community_recording "$dir/data/vorovo.snmprec" "$dir/data/$kWriteCommunity.snmprec"
    local served_oid
    served_oid=$(recording_oid "$dir/data/vorovo.snmprec")
    [ "$served_oid" = "$kSupportedOid" ] || [[ "$served_oid" == "$kSupportedOid".* ]] &&
      supported=yes
    chmod -R a+rX "$dir"
    chmod 1777 "$dir/cache"

    # The printer's namespace is made first; snmpsimd starts once the
    # namespace is wired (port 161 must be allowed before it binds). Rootless,
    # the printer runs as an unprivileged user of a nested user namespace;
    # as real root without user namespaces, snmpsimd drops to nobody itself.
    local agent=(snmpsimd "--data-dir=$dir/data" "--cache-dir=$dir/cache"
                 "--agent-udpv4-endpoint=0.0.0.0:161" "--agent-udpv6-endpoint=[::]:161")
    if [ "$faults" -eq 1 ]; then
      # The relay takes port 161 of the printer's addresses.
      agent=(snmpsimd "--data-dir=$dir/data" "--cache-dir=$dir/cache"
             "--agent-udpv4-endpoint=127.0.0.1:1161" "--agent-udpv6-endpoint=[::1]:1161")
    fi
    local wait_go="n=0; while [ ! -e '$dir/go' ] && [ \$n -lt 600 ]; do sleep 0.05; n=\$((n+1)); done"
    if [ "$mode" = userns ]; then
      unshare --user --map-user=65534 --map-group=65534 --net -- \
        sh -c "$wait_go; exec \"\$@\" >'$dir/snmpsimd.log' 2>&1" sh "${agent[@]}" &
    else
      unshare --net -- sh -c "$wait_go; exec \"\$@\" >'$dir/snmpsimd.log' 2>&1" sh \
        "${agent[@]}" --process-user=nobody --process-group=nogroup &
    fi
    local pid=$!
    inner_pids+=("$pid")
    printer_pids+=("$pid")
    local n=0
    until [ "$(readlink "/proc/$pid/ns/net" 2>/dev/null)" != "$(readlink /proc/self/ns/net)" ]; do
      n=$((n + 1)); [ "$n" -lt 100 ] || die "printer $i: its namespace did not appear"
      sleep 0.02
    done
    ip link add "vp$i" type veth peer name eth0 netns "$pid"
    echo 1 >"/proc/sys/net/ipv6/conf/vp$i/disable_ipv6"
    ip link set "vp$i" master br0 up
    nsenter -t "$pid" -n sh -c "
      echo 0 >/proc/sys/net/ipv4/ip_unprivileged_port_start
      echo 1 >/proc/sys/net/ipv6/conf/eth0/addr_gen_mode
      ip link set lo up
      ip addr add $a4/24 brd + dev eth0
      ip -6 addr add $a6/64 dev eth0 nodad
      ip link set eth0 up" || die "printer $i: cannot configure its namespace"
    [ "$faults" -eq 0 ] || start_relays "$i" "$pid" "$work" "$a4"
    touch "$dir/go"
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$i" "$a4" "$a6" "$served_oid" "$supported" "$src" >>"$table"
    all4+=("$a4"); all6+=("$a6")
    if [ "$supported" = yes ]; then sup4+=("$a4"); sup6+=("$a6"); fi
  done

  local deadline=$(($(date +%s) + timeout))
  for i in $(seq 1 "$count"); do
    local probe=("$kNet4.$((10 + i))" "$deadline")
    # Behind a relay, the agent itself is asked, on the printer's loopback.
    [ "$faults" -eq 0 ] || probe=(127.0.0.1:1161 "$deadline" "${printer_pids[$((i - 1))]}")
    if ! wait_for_agent "${probe[@]}"; then
      printf 'lab: printer %s (%s) did not answer within %ss; its log:\n' \
        "$i" "$kNet4.$((10 + i))" "$timeout" >&2
      tail -n 20 "$work/p$i/snmpsimd.log" >&2 || true
      exit "$kLabFailed"
    fi
  done

  if [ "$quiet" -eq 0 ]; then
    printf 'lab: %s printer(s) up (client %s.1 / %s:1, %s)\n' "$count" "$kNet4" "$kNet6" "$mode" >&2
    awk -F'\t' '{ printf "lab:   %-3s %-12s %-10s %-9s %s\n", $1, $2, $3,
                  ($5 == "yes" ? "supported" : "other"), $6 }' "$table" >&2
  fi

  export ZEL_LAB_CLIENT="$kNet4.1" ZEL_LAB_CLIENT6="${kNet6}:1"
  export ZEL_LAB_BROADCAST="$kNet4.255" ZEL_LAB_TABLE="$table"
  export ZEL_LAB_PRINTERS="${all4[*]}" ZEL_LAB_PRINTERS6="${all6[*]}"
  export ZEL_LAB_SUPPORTED="${sup4[*]:-}" ZEL_LAB_SUPPORTED6="${sup6[*]:-}"
  if [ "$faults" -eq 1 ]; then export ZEL_LAB_RELAY_STATS="$work/relay-stats"; fi
  # The command runs in the background so that a signal reaches the traps at
  # once (bash runs traps only between foreground commands); it keeps the
  # terminal's standard input.
  exec 3<&0
  "$@" <&3 3<&- &
  lab_command=$!
  local rc=0
  wait "$lab_command" || rc=$?
  lab_command=""
  return "$rc"
}

# --- outside: options, namespace choice, the work folder --------------------

outer_main() {
  local count=4 quiet=0 timeout=90 shared
  shared=$(realpath -m "$root/../shared/testdata/printers")
  local specs=() want_mode="" faults="" faults_seed=1 relay="" use_shared=1
  while [ $# -gt 0 ]; do
    case $1 in
      --printers) [ $# -ge 2 ] || usage_error "--printers needs a number"; count=$2; shift 2 ;;
      --printers=*) count=${1#*=}; shift ;;
      --recording) [ $# -ge 2 ] || usage_error "--recording needs a path"; specs+=("$2"); shift 2 ;;
      --recording=*) specs+=("${1#*=}"); shift ;;
      --shared) [ $# -ge 2 ] || usage_error "--shared needs a folder"; shared=$2; shift 2 ;;
      --shared=*) shared=${1#*=}; shift ;;
      --no-shared) use_shared=0; shift ;;
      --start-timeout) [ $# -ge 2 ] || usage_error "--start-timeout needs seconds"; timeout=$2; shift 2 ;;
      --start-timeout=*) timeout=${1#*=}; shift ;;
      --mode) [ $# -ge 2 ] || usage_error "--mode needs userns or root"; want_mode=$2; shift 2 ;;
      --mode=*) want_mode=${1#*=}; shift ;;
      --faults) [ $# -ge 2 ] || usage_error "--faults needs settings"; faults=$2; shift 2 ;;
      --faults=*) faults=${1#*=}; shift ;;
      --faults-seed) [ $# -ge 2 ] || usage_error "--faults-seed needs a number"; faults_seed=$2; shift 2 ;;
      --faults-seed=*) faults_seed=${1#*=}; shift ;;
      --relay) [ $# -ge 2 ] || usage_error "--relay needs a path"; relay=$2; shift 2 ;;
      --relay=*) relay=${1#*=}; shift ;;
      --quiet) quiet=1; shift ;;
      -h | --help) usage; exit 0 ;;
      --) shift; break ;;
      *) usage_error "unknown option '$1'" ;;
    esac
  done
  [ $# -gt 0 ] || usage_error "no command given after --"
  [ "$count" = all ] || { [[ "$count" =~ ^[0-9]+$ ]] && [ "$count" -ge 1 ] && [ "$count" -le 200 ]; } ||
    usage_error "--printers must be a number from 1 to 200, or all"
  [[ "$timeout" =~ ^[0-9]+$ ]] && [ "$timeout" -ge 1 ] ||
    usage_error "--start-timeout must be a positive number of seconds"

  if [ ${#specs[@]} -eq 0 ]; then
    local own k=0 f
    for own in "${kOwnRecordings[@]}"; do
      [ -f "$root/${own%@supported}" ] && specs+=("$root/$own")
    done
    if [ "$use_shared" -eq 1 ] && [ -d "$shared" ]; then
      for f in "$shared"/printer-*.snmprec; do
        [ -f "$f" ] || continue
        # printer-13 holds values snmpsimd cannot encode, so part of its
        # device table never answers: served as a foreign model, it still
        # answers discovery and is refused at the model check.
        if [ "$(basename "$f")" = printer-13.snmprec ]; then specs+=("$f"); continue; fi
        if [ $((k % 2)) -eq 0 ]; then specs+=("$f@supported"); else specs+=("$f"); fi
        k=$((k + 1))
      done
    fi
    [ ${#specs[@]} -gt 0 ] ||
      usage_error "no recordings: neither options/testdata/*.snmprec nor $shared/printer-*.snmprec exist"
  fi
  if [ "$count" = all ]; then
    count=${#specs[@]}
    [ "$count" -le 200 ] || count=200
  fi
  [[ "$faults_seed" =~ ^[0-9]+$ ]] || usage_error "--faults-seed must be a number"
  if [ -n "$faults" ]; then
    if [ -z "$relay" ]; then
      local candidate
      for candidate in "$root"/build/*/testing/fault_relay; do
        if [ -x "$candidate" ]; then relay=$candidate; break; fi
      done
    fi
    [ -n "$relay" ] && [ -x "$relay" ] ||
      usage_error "--faults needs the fault_relay program (build it, or give --relay)"
    relay=$(realpath "$relay")
    # The relay checks every setting before the lab is built.
    local check=()
    IFS=, read -r -a check <<<"$faults"
    "$relay" --check "${check[@]}" || usage_error "bad --faults settings '$faults'"
  fi
  local s
  for s in "${specs[@]}"; do
    [ -r "${s%@supported}" ] || usage_error "cannot read recording '${s%@supported}'"
  done

  local tool
  for tool in unshare nsenter ip snmpsimd snmpget awk; do
    command -v "$tool" >/dev/null 2>&1 || die "'$tool' is not installed (scripts/install-deps.sh)"
  done

  # Rootless where the kernel allows user namespaces; as real root otherwise.
  case $want_mode in "" | userns | root) ;; *) usage_error "--mode must be userns or root" ;; esac
  local mode ns_args
  if [ "$want_mode" != root ] && unshare --user --map-root-user --net true 2>/dev/null; then
    mode=userns; ns_args=(--user --map-root-user)
  elif [ "$want_mode" != userns ] && [ "$(id -u)" -eq 0 ] && unshare --net true 2>/dev/null; then
    mode=root; ns_args=()
  else
    if [ -n "$want_mode" ]; then
      printf 'lab: %s namespaces are not permitted here\n' "$want_mode" >&2
    else
      printf 'lab: network namespaces are not permitted here (no user namespaces, not root)\n' >&2
    fi
    exit "$kSkip"
  fi

  lab_work=$(mktemp -d /tmp/zel-lab.XXXXXX)
  local work=$lab_work
  chmod 755 "$work"
  printf '%s\n' "${specs[@]}" >"$work/recordings"
  if [ -n "$faults" ]; then
    IFS=, read -r -a setting_list <<<"$faults"
    printf '%s\n' "${setting_list[@]}" >"$work/faults"
    printf '%s\n' "$faults_seed" >"$work/faults-seed"
    printf '%s\n' "$relay" >"$work/relay"
  fi

  lab_child=""
  outer_cleanup() {
    trap - EXIT INT TERM
    local child=$lab_child
    if [ -n "$child" ]; then
      # unshare ignores INT and TERM while it waits; the lab's first process
      # (its child) runs the teardown.
      local inner
      inner=$(ps -o pid= --ppid "$child" 2>/dev/null | tr -d ' ' || true)
      [ -n "$inner" ] && kill -TERM "$inner" 2>/dev/null
      local n=0
      while kill -0 "$child" 2>/dev/null && [ "$n" -lt 50 ]; do sleep 0.1; n=$((n + 1)); done
      kill -KILL "$child" 2>/dev/null || true
    fi
    rm -rf "$lab_work"
  }
  trap 'outer_cleanup; exit 130' INT
  trap 'outer_cleanup; exit 143' TERM
  trap 'lab_child=""; outer_cleanup' EXIT

  local rc=0
  unshare "${ns_args[@]}" --net --mount --pid --fork --kill-child --mount-proc -- \
    bash "$self" __inner "$work" "$mode" "$count" "$quiet" "$timeout" -- "$@" &
  lab_child=$!
  wait "$lab_child" || rc=$?
  lab_child=""
  return "$rc"
}

if [ "${1:-}" = __inner ]; then
  shift
  inner_main "$@"
else
  outer_main "$@"
fi
