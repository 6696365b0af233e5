#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs what is missing, builds Korvane and generates the example site.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
# The same configuration as scripts/test.sh's release build, so that either
# script reuses what the other built.
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_WERROR=ON
cmake --build "$root/build/release" -j "$(nproc)"
"$root/build/release/src/cli/korvane-cli" generate "$root/build/release/examples/bookshop.kvn"
echo
echo "The example site is in $root/build/release/examples/site/: open index.html there."
