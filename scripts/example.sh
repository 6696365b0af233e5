#!/usr/bin/env bash
# Installs what is missing, builds Korvane and generates the example site.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$root/build/release" -j "$(nproc)"
"$root/build/release/src/cli/korvane-cli" generate "$root/build/release/examples/bookshop.kvn"
echo
echo "The example site is in $root/build/release/examples/site/: open index.html there."
