#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), then
# configures and builds in BUILD_DIR (default build/release).
# Usage: scripts/setup.sh [BUILD_DIR] [extra cmake args...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# sqlite3 and time (GNU time: peak memory) serve bench/run; postgresql is the
# server the PostgreSQL backend's tests start a throwaway cluster of; python3
# runs the Python binding's test.
packages=(build-essential cmake pkg-config libsqlite3-dev libssl-dev libpq-dev sqlite3 postgresql libcli11-dev libfmt-dev
          nlohmann-json3-dev help2man bash-completion libgtest-dev libgmock-dev time python3)
"$root/scripts/install_packages.sh" "${packages[@]}"

build=${1:-$root/build/release}
shift || true
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
