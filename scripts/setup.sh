#!/usr/bin/env bash
# Installs what building and testing Kestro needs on a Debian machine, when it
# is missing: what the runner needs (scripts/setup-runner.sh) and everything
# the test command uses besides (tests, benchmarks, fuzzing, MPI, the API
# reference, the Python package and its pip install in a virtual environment).
# Safe to run again: it installs nothing that is already there.
set -euo pipefail
source "$(dirname "$0")/setup-runner.sh"

packages=("${runner_packages[@]}"
          libgtest-dev libgmock-dev libbenchmark-dev gfortran clang libclang-rt-14-dev
          python3-dev pybind11-dev python3-numpy python3-venv python3-pip python3-setuptools
          python3-wheel python3-pandas sqlite3 doxygen libopenmpi-dev openmpi-bin pkg-config
          dpkg-dev file python3-matplotlib python3-tqdm tmux)
install_missing "${packages[@]}"
