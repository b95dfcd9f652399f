#!/usr/bin/env bash
# Installs what building and testing Kestro needs on a Debian machine, when it
# is missing. Safe to run again: it installs nothing that is already there.
set -euo pipefail

packages=(cmake g++ gcc make libgtest-dev libgmock-dev libbenchmark-dev gfortran clang
          libclang-rt-14-dev python3-dev pybind11-dev python3-numpy python3-pandas
          libtomlplusplus-dev libcli11-dev libsqlite3-dev sqlite3 doxygen libopenmpi-dev openmpi-bin)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q "${missing[@]}"
fi
