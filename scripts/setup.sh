#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs the Debian 12 packages Korvane builds, tests and runs with.
# Idempotent: when every package is already there it installs nothing and
# does not touch the package lists.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-httpserver-dev qt6-websockets-dev libqt6sql6-sqlite libqt6sql6-odbc fonts-dejavu-core
  unixodbc-dev odbcinst libsqliteodbc odbc-postgresql postgresql
  mdbtools-dev libsqlite3-dev sqlite3
  libgtest-dev libgmock-dev
  desktop-file-utils appstream lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Some packages are missing; run this script as root (or with sudo)." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
