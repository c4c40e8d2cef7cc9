#!/usr/bin/env bash
# Installs what is needed, builds, and runs tests headless.
#
#   tools/test.sh                the whole suite (in build/)
#   tools/test.sh --sanitize     the engine, security and logon tests, built with AddressSanitizer
#                                and UndefinedBehaviorSanitizer (in build-sanitize/)
#   tools/test.sh --fuzz [SECS]  every libFuzzer target for SECS seconds (default 60), starting
#                                from its seed corpus in tests/fuzz/corpus/ (in build-fuzz/)
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-}"
tools/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen

case "$mode" in
"")
  tools/build.sh
  ctest --test-dir build --output-on-failure -j"$jobs"
  ;;
--sanitize)
  cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_SANITIZE=ON \
    -DVESK_BUILD_BENCH=OFF > /dev/null
  cmake --build build-sanitize -j"$jobs" --target vesk_engine_tests
  # Any finding fails the test that made it; leaks are findings too.
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs" -L engine
  ;;
--fuzz)
  seconds="${2:-60}"
  CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVESK_BUILD_FUZZERS=ON > /dev/null
  cmake --build build-fuzz -j"$jobs"
  status=0
  while read -r name; do
    [ -n "$name" ] || continue
    work="build-fuzz/corpus/$name"
    artifacts="build-fuzz/artifacts/$name"
    log="build-fuzz/fuzz-$name.log"
    mkdir -p "$work" "$artifacts"
    options=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/")
    if [ -f "tests/fuzz/$name.dict" ]; then
      options+=(-dict="tests/fuzz/$name.dict")
    fi
    if "build-fuzz/tests/fuzz/fuzz_$name" "${options[@]}" "$work" "tests/fuzz/corpus/$name" \
      > "$log" 2>&1; then
      result="nothing found"
    else
      result="FAILED, see $log and $artifacts/"
      tail -n 40 "$log"
      status=1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz_$name: ${runs:-?} executions in $seconds s, $result"
  done < build-fuzz/tests/fuzz/fuzzers.txt
  exit "$status"
  ;;
*)
  echo "usage: tools/test.sh [--sanitize | --fuzz [SECONDS]]" >&2
  exit 2
  ;;
esac
