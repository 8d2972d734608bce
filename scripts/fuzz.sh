#!/usr/bin/env bash
# Runs each fuzz target of fuzz/ on its seed corpus (fuzz/corpus/<target>/)
# for SECONDS (default 20), as many at once as there are cores (FUZZ_JOBS
# overrides), each for its full time. The targets are built with clang,
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer in BUILD_DIR:
# by default build/fuzz, configured and built here; scripts/test.sh passes
# its instrumented build, which holds them already. Any crash, leak, hang or
# sanitizer report fails the run; the input that caused it is left in
# BUILD_DIR/findings/<target>/ (keep it in the corpus once the reader is
# fixed), and the end of the target's log is shown.
# The seed is fixed (FUZZ_SEED overrides it), so that a short run replays the
# beginning of a longer one with the same seed: a build that survived a long
# run here does not fail a short one for luck alone.
# Usage: scripts/fuzz.sh [SECONDS [BUILD_DIR]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
seed=${FUZZ_SEED:-2026}
jobs=${FUZZ_JOBS:-$(nproc)}
. "$root/scripts/lib/toolchain.sh"

"$root/scripts/install_packages.sh" "${kestrel_library_packages[@]}" "${kestrel_clang_packages[@]}"

if [ -n "${2:-}" ]; then
  build=$(cd "$2" && pwd)
  if ! grep -q '^KESTREL_FUZZ:BOOL=ON$' "$build/CMakeCache.txt" 2>/dev/null; then
    echo "fuzz.sh: $build is not a build configured with -DKESTREL_FUZZ=ON" >&2
    exit 2
  fi
else
  build="$root/build/fuzz"
  cmake -S "$root" -B "$build" "${kestrel_instrumented_cmake_args[@]}" -DKESTREL_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target kestrel_fuzz -j"$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Runs TARGET and leaves its exit status in BUILD_DIR/TARGET.status.
run_target() {
  local target=$1 status=0
  local corpus="$root/fuzz/corpus/$target" findings="$build/findings/$target"
  local work="$build/work/$target"  # new inputs of this run; the kept corpus is not touched
  rm -rf "$work" && mkdir -p "$work" "$findings"
  (cd "$findings" && "$build/$target" -max_total_time="$seconds" -seed="$seed" -timeout=10 -rss_limit_mb=2048 \
     -max_len=8192 -print_final_stats=0 "$work" "$corpus" >"$build/$target.log" 2>&1) || status=$?
  echo "$status" >"$build/$target.status"
}

targets=()
for source in "$root"/fuzz/*.cpp; do
  targets+=("$(basename "$source" .cpp)")
done
echo "Fuzzing ${#targets[@]} targets for ${seconds}s each, $jobs at a time"
running=0
for target in "${targets[@]}"; do
  rm -f "$build/$target.status"
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
  run_target "$target" &
  running=$((running + 1))
done
wait

failed=()
for target in "${targets[@]}"; do
  if [ "$(cat "$build/$target.status" 2>/dev/null)" != 0 ]; then
    failed+=("$target")
    echo "== $target: failed"
    tail -n 40 "$build/$target.log"
  else
    echo "== $target: $(grep -E '^Done [0-9]+ runs' "$build/$target.log" || tail -n 1 "$build/$target.log")"
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]} (inputs in $build/findings/)"
  exit 1
fi
echo "Every fuzz target ran ${seconds}s without a finding."
