#!/usr/bin/env bash
# Installs the Debian packages the build and its tests need (only those
# missing, scripts/lib/toolchain.sh names them), then configures and builds in
# BUILD_DIR (default build/release).
# Usage: scripts/setup.sh [BUILD_DIR] [extra cmake args...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/toolchain.sh"

"$root/scripts/install_packages.sh" "${kestrel_library_packages[@]}" "${kestrel_test_packages[@]}"
# The browser tests' one npm package, as the lock file pins it; it drives
# Debian's chromium and downloads no browser of its own.
if [ ! -d "$root/tests/web/node_modules/puppeteer-core" ]; then
  (cd "$root/tests/web" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
fi

build=${1:-$root/build/release}
shift || true
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
