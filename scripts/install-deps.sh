#!/usr/bin/env bash
# Installs what building, testing and running the plug-in needs on Debian 12.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
pkgs=(build-essential cmake g++ clang libclang-rt-14-dev pkg-config binutils
      libgtest-dev libgmock-dev libbenchmark-dev libsnmp-dev snmp snmpd snmpsim
      nlohmann-json3-dev libcli11-dev iproute2 python3 procps)
pkgs+=(help2man bash-completion)
pkgs+=(prometheus time)  # zelctl poll's test (promtool) and scripts/bench-poll.sh
pkgs+=(lintian dpkg-dev fakeroot file)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
