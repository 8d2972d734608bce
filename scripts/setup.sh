#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), then
# configures and builds in BUILD_DIR (default build/release).
# Usage: scripts/setup.sh [BUILD_DIR] [extra cmake args...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# sqlite3 and time (GNU time: peak memory) serve bench/run; postgresql is the
# server the PostgreSQL backend's tests start a throwaway cluster of; python3
# runs the Python binding's test, and with python3-venv, -setuptools and
# -wheel the test of `pip install ./python` offline; libarchive-dev writes and reads packs as one
# file; libcpp-httplib-dev serves the web wizard,
# which chromium and npm (puppeteer-core, in tests/web) test in a browser.
packages=(build-essential cmake pkg-config libsqlite3-dev libssl-dev libpq-dev libarchive-dev sqlite3 postgresql libcli11-dev
          libfmt-dev nlohmann-json3-dev bash-completion groff-base libgtest-dev libgmock-dev time python3 python3-venv
          python3-setuptools python3-wheel libcpp-httplib-dev libdtl-dev
          chromium)
# A machine may carry Node.js with its own npm from elsewhere, which Debian's
# npm package conflicts with: Debian's are installed only when there is none.
command -v npm >/dev/null || packages+=(nodejs npm)
"$root/scripts/install_packages.sh" "${packages[@]}"
# The browser tests' one npm package, as the lock file pins it; it drives
# Debian's chromium and downloads no browser of its own.
if [ ! -d "$root/tests/web/node_modules/puppeteer-core" ]; then
  (cd "$root/tests/web" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
fi

build=${1:-$root/build/release}
shift || true
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
