#!/usr/bin/env bash
# Set-up, then every test twice: in the Release build and in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer (any report fails the run).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

"$root/scripts/setup.sh" "$root/build/release"
(cd "$root/build/release" && ctest --output-on-failure -j"$jobs")

"$root/scripts/setup.sh" "$root/build/asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_SANITIZE=ON
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$root/build/asan" && ctest --output-on-failure -j"$jobs")
