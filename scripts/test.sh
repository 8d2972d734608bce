#!/usr/bin/env bash
# Set-up, then every test twice: in the Release build (gcc) and in one build
# with clang, AddressSanitizer and UndefinedBehaviorSanitizer (any report fails
# the run), whose code is also instrumented for libFuzzer. Both builds treat
# warnings as errors. Then every fuzz target of that second build runs for 20
# seconds, as many at once as there are cores (scripts/fuzz.sh), so every
# change meets the readers' fuzzing. Each phase's time is shown as it ends and
# all of them at the end (tests/README.md says what they take).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
. "$root/scripts/lib/toolchain.sh"

phases=()
# Runs COMMAND as the phase NAME and records how long it took.
phase() {
  local name=$1 start=$SECONDS
  shift
  echo "== $name"
  "$@"
  phases+=("$(printf '%-28s %5d s' "$name" $((SECONDS - start)))")
  echo "== $name: $((SECONDS - start)) s"
}

# Every package of both builds and the tests in one apt run.
phase "packages" "$root/scripts/install_packages.sh" "${kestrel_library_packages[@]}" "${kestrel_test_packages[@]}" \
  "${kestrel_clang_packages[@]}"
# Both builds start from nothing here, so the command line and the tests are
# compiled in batches of files (KESTREL_UNITY): the header-only libraries they
# share are compiled once a batch rather than once a file.
phase "release build" "$root/scripts/setup.sh" "$root/build/release" -DKESTREL_WERROR=ON -DKESTREL_UNITY=ON
phase "release tests" ctest --test-dir "$root/build/release" --output-on-failure --no-tests=error -j"$jobs"
if [ -d "$root/build/release/web-screenshots" ]; then
  echo "Screenshots of every page of the web wizard's walk-through: $root/build/release/web-screenshots"
fi

phase "instrumented build" "$root/scripts/setup.sh" "$root/build/sanitize" "${kestrel_instrumented_cmake_args[@]}" \
  -DKESTREL_UNITY=ON
# A sanitizer report aborts the test process, so ctest counts it as a failure.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
phase "instrumented tests" ctest --test-dir "$root/build/sanitize" --output-on-failure --no-tests=error -j"$jobs"
phase "fuzzing" "$root/scripts/fuzz.sh" 20 "$root/build/sanitize"

echo "Time of each phase:"
printf '  %s\n' "${phases[@]}"
echo "  total                        $(printf '%5d' "$SECONDS") s"
echo "All tests passed in both builds, and no fuzz target found a fault."
