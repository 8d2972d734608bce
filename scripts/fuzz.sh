#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in build/fuzz, then runs each on its seed corpus
# (fuzz/corpus/<target>/) for SECONDS (default 20). Any crash, leak, hang or
# sanitizer report fails the run; the input that caused it is left in
# build/fuzz/findings/<target>/ (keep it in the corpus once the reader is fixed).
# The seed is fixed (FUZZ_SEED overrides it), so that a short run replays the
# beginning of a longer one with the same seed: a build that survived a long
# run here does not fail a short one for luck alone.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
seed=${FUZZ_SEED:-2026}

# clang and its runtime libraries (libFuzzer, the sanitizers) from Debian.
packages=(clang libclang-rt-dev cmake pkg-config libsqlite3-dev libssl-dev libpq-dev libarchive-dev libfmt-dev libcli11-dev
          nlohmann-json3-dev libdtl-dev
          libcpp-httplib-dev)
"$root/scripts/install_packages.sh" "${packages[@]}"

build="$root/build/fuzz"
# -O1 keeps the instrumented code quick to build and still fast to run; the
# assertions stay in.
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DKESTREL_FUZZ=ON -DKESTREL_TESTS=OFF -DKESTREL_WERROR=ON >/dev/null
cmake --build "$build" --target kestrel_fuzz -j"$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for source in "$root"/fuzz/*.cpp; do
  target=$(basename "$source" .cpp)
  corpus="$root/fuzz/corpus/$target"
  findings="$build/findings/$target"
  work="$build/work/$target"  # new inputs of this run; the kept corpus is not touched
  rm -rf "$work" && mkdir -p "$work" "$findings"
  echo "== $target: ${seconds}s"
  if ! (cd "$findings" && "$build/$target" -max_total_time="$seconds" -seed="$seed" -timeout=10 -rss_limit_mb=2048 \
        -max_len=8192 -print_final_stats=0 "$work" "$corpus" >"$build/$target.log" 2>&1); then
    failed+=("$target")
    tail -n 40 "$build/$target.log"
  else
    grep -E '^Done [0-9]+ runs' "$build/$target.log" || tail -n 1 "$build/$target.log"
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]} (inputs in $build/findings/)"
  exit 1
fi
echo "Every fuzz target ran ${seconds}s without a finding."
