#!/bin/sh
# Runs a command in a private network namespace with lo up, for trying things
# by hand that the tests do through testing/netns.h (for example a test binary
# with a filter, or ip and snmpsimd commands). The machine's own network is
# never touched; the namespace ends with the command.
#
# Usage: testing/netns_run.sh COMMAND [ARGS...]
# Exit status: the command's; 77 when namespaces are not permitted here.
set -eu
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }
if [ "$(id -u)" = 0 ] && [ "${ZEL_NETNS_USERNS:-0}" != 1 ]; then
  set -- unshare -n "$@"
else
  set -- unshare -rn "$@"
fi
# Probe first: a failing unshare must not run the command outside.
"$1" "$2" true 2>/dev/null || { echo "$0: private network namespaces are not permitted" >&2; exit 77; }
cmd=$1 opt=$2; shift 2
exec "$cmd" "$opt" sh -c 'ip link set lo up && exec "$@"' sh "$@"
