#!/usr/bin/env bash
# Installs what building the library and running kestro-run needs on a Debian
# machine, when it is missing (scripts/run-example.sh calls it). The whole test
# command needs more: scripts/setup.sh installs that, this list included.
# Safe to run again: it installs nothing that is already there.
set -euo pipefail

runner_packages=(cmake g++ gcc make libtomlplusplus-dev libcli11-dev libsqlite3-dev)

# install_missing PACKAGE...: apt-get install of those not installed yet.
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    local sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    $sudo_cmd apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q "${missing[@]}"
  fi
}

# Sourced by setup.sh, which adds its own packages; run, it installs these.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  install_missing "${runner_packages[@]}"
fi
