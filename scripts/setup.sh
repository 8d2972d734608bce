#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), then
# configures and builds in BUILD_DIR (default build/release).
# Usage: scripts/setup.sh [BUILD_DIR] [extra cmake args...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# sqlite3 and time (GNU time: peak memory) serve bench/run.
packages=(build-essential cmake pkg-config libsqlite3-dev libssl-dev sqlite3 libcli11-dev libfmt-dev libgtest-dev libgmock-dev time)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

build=${1:-$root/build/release}
shift || true
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
