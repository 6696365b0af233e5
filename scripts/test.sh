#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs what is missing, then builds and runs every test twice: once in a
# normal build and once under AddressSanitizer and UBSan.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
jobs=$(nproc)

run() {
  local dir=$1; shift
  cmake -S "$root" -B "$root/build/$dir" -G Ninja -DKORVANE_WERROR=ON "$@"
  cmake --build "$root/build/$dir" -j "$jobs"
  (cd "$root/build/$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
}

# build/release is configured as scripts/example.sh configures it.
run release -DCMAKE_BUILD_TYPE=RelWithDebInfo
run sanitize -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON
