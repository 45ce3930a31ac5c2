#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan) in
# build-fuzz/ and runs each for a while.
#   scripts/fuzz.sh [seconds] [target ...]    default: 60 s, every target
# GLIMRA_FUZZ_FLAGS adds libFuzzer options, e.g. "-runs=10000000" to stop
# after that many executions instead (whichever comes first);
# GLIMRA_FUZZ_BUILD_DIR names another build folder, for a second run beside.
# Each target starts from its seeds (fuzz/corpus/<target>) and grows its own
# corpus in build-fuzz/corpus/<target>, which is kept between runs and not
# committed. A crash, hang or memory blow-up stops the target and leaves the
# input in build-fuzz/crashes/<target>/; fix it, then add the input to
# fuzz/crashes/<target>/ so the test suite replays it.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=($(sed -n 's/^glimra_add_fuzz_target(\([a-z]*\).*/\1/p' fuzz/CMakeLists.txt))
fi

./scripts/install-deps.sh --fuzz
cxx=$(command -v clang++-14 || command -v clang++)
cc=$(command -v clang-14 || command -v clang)

build=${GLIMRA_FUZZ_BUILD_DIR:-build-fuzz}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
  -DGLIMRA_FUZZ=ON -DGLIMRA_BUILD_TESTS=OFF -DGLIMRA_BUILD_BENCH=OFF >/dev/null
nice cmake --build "$build" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  crashes=$build/crashes/$target
  log=$build/logs/$target.log
  mkdir -p "$corpus" "$crashes" "$(dirname "$log")"
  dict=()
  [ -f "fuzz/dict/$target.dict" ] && dict=(-dict="fuzz/dict/$target.dict")
  echo "== $target: $seconds s"
  # -timeout and -rss_limit_mb turn hangs and memory blow-ups into findings.
  if ! nice -n 19 "$build/fuzz/fuzz_$target" "$corpus" "fuzz/corpus/$target" "${dict[@]}" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$crashes/" ${GLIMRA_FUZZ_FLAGS:-} >"$log" 2>&1; then
    echo "   BEFUND: siehe $log und $crashes/"
    status=1
  fi
  # The last status line carries coverage (cov) and features (ft).
  grep -E '^#[0-9]+' "$log" | tail -1 | sed 's/^/   /'
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$log" | sed 's/^/   /'
done
exit $status
