#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   ./test.sh              the normal build (build/)
#   ./test.sh --sanitize   AddressSanitizer + UBSan (build-sanitize/)
# Extra arguments after "--" go to ctest, e.g. ./test.sh -- -R engine
set -euo pipefail
cd "$(dirname "$0")"

build_dir=build
cmake_args=()
ctest_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize) build_dir=build-sanitize; cmake_args+=(-DGLIMRA_SANITIZE=ON) ;;
    --) shift; ctest_args=("$@"); break ;;
    *) echo "Unbekannte Option: $1" >&2; exit 2 ;;
  esac
  shift
done

./scripts/install-deps.sh
cmake -S . -B "$build_dir" -G Ninja "${cmake_args[@]}" >/dev/null
cmake --build "$build_dir"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build_dir"
ctest --output-on-failure -j2 "${ctest_args[@]}"
