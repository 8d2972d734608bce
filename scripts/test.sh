#!/usr/bin/env bash
# Set-up, then every test twice: in the Release build and in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer (any report fails the run).
# Both builds treat warnings as errors. Then every fuzz target runs for 20
# seconds (scripts/fuzz.sh), so every change meets the readers' fuzzing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

"$root/scripts/setup.sh" "$root/build/release" -DKESTREL_WERROR=ON
(cd "$root/build/release" && ctest --output-on-failure --no-tests=error -j"$jobs")
if [ -d "$root/build/release/web-screenshots" ]; then
  echo "Screenshots of every page of the web wizard's walk-through: $root/build/release/web-screenshots"
fi

"$root/scripts/setup.sh" "$root/build/asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_SANITIZE=ON -DKESTREL_WERROR=ON
# A sanitizer report aborts the test process, so ctest counts it as a failure.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$root/build/asan" && ctest --output-on-failure --no-tests=error -j"$jobs")
"$root/scripts/fuzz.sh" 20
echo "All tests passed in both builds, and no fuzz target found a fault."
