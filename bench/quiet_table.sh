#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# The whole speed table in one command, for a quiet machine (nothing else
# running): korvane-cli at --jobs 1 and 2 against the floors, both workloads,
# 10,000 and 100,000 pages in memory (3 and 2 rounds) and on disk (1 round,
# since every page written on disk stays there until the end), then a
# million main rows from SQLite and from PostgreSQL. About six minutes.
#
#   bench/quiet_table.sh [BUILD_DIR] [DISK_WORK_DIR]
#
# BUILD_DIR defaults to build/release (korvane_bench, korvane_floor and
# korvane-cli built there), DISK_WORK_DIR to bench-work (on the disk to
# measure; its pages are removed at the end).
set -euo pipefail
build=${1:-build/release}
work=${2:-bench-work}
here=$(dirname "$0")
bench="$build/bench/korvane_bench"
started=$(date +%s)
"$bench" --pages 10000 --no-disk --rounds 3 --jinja ""
"$bench" --pages 100000 --no-disk --rounds 2 --jinja ""
"$bench" --pages "" --disk-pages 10000,100000 --rounds 1 --jinja "" --work "$work"
bash "$here/million_rows.sh" "$build" 1000000 2
echo "($(($(date +%s) - started)) s in all)"
