#!/usr/bin/env bash
# Fuzzes every parser with libFuzzer: builds the fuzz targets with clang
# (AddressSanitizer, UndefinedBehaviorSanitizer) in build/fuzz, then runs each
# target for the given number of seconds (default 60), one after another,
# starting from its committed seed corpus (tests/fuzz/corpus/<target>). New
# inputs go to build/fuzz/corpus/<target> (not committed); crashes, leaks,
# timeouts and out-of-memory inputs to build/fuzz/findings/<target>, listed at
# the end (a target is started again after a finding until its time is used).
# Further arguments name the targets to run (default: all).
# Exits non-zero when anything was found.
#   tools/fuzz.sh [seconds] [target...]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# One function, read whole before it runs, and the exit on the line that runs
# it, so editing the script mid-run is safe.
main() {
  build=$root/build/fuzz
  local seconds=${1:-60}
  shift $(( $# > 0 ? 1 : 0 ))
  set -e
  "$root/tools/install-packages.sh"
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLUMETRA_SANITIZE=ON -DLUMETRA_FUZZ=ON -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
    -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
  if [ $# -gt 0 ]; then
    targets=("$@")
  else
    mapfile -t targets < <(grep -v '^$' "$build/fuzz-targets.txt")
  fi
  cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"
  set +e

  mkdir -p "$build/logs"
  # As in the replay of the seed corpus: an allocation above 1 GiB fails, as it
  # would in the 32-bit program, and the code under test must cope with that.
  export ASAN_OPTIONS="allocator_may_return_null=1:max_allocation_size_mb=1024${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
  findings=()
  printf '%-22s %12s %8s %8s %8s\n' target executions cov ft seconds
  for t in "${targets[@]}"; do
    corpus=$build/corpus/$t
    found=$build/findings/$t
    mkdir -p "$corpus" "$found"
    log=$build/logs/$t.log
    : >"$log"
    touch "$log.start"
    start=$(date +%s)
    # A target may come with a dictionary of its format's words.
    local dict=()
    [ -f "$root/tests/fuzz/$t.dict" ] && dict=(-dict="$root/tests/fuzz/$t.dict")
    # libFuzzer stops at a finding; the target is started again, with what it
    # has learnt, until its time is used (at most 20 starts, so an input found
    # at once does not spin).
    local runs=0 left=$seconds starts=0
    while [ "$left" -gt 0 ] && [ $starts -lt 20 ]; do
      # The writable corpus first: libFuzzer adds its new inputs to the first folder.
      "$build/tests/fuzz/fuzz_$t" "$corpus" "$root/tests/fuzz/corpus/$t" "${dict[@]}" \
        -max_total_time="$left" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$found/" >"$log.run" 2>&1
      cat "$log.run" >>"$log"
      executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log.run" | tail -1)
      runs=$(( runs + ${executed:-0} ))
      left=$(( seconds - ($(date +%s) - start) ))
      starts=$(( starts + 1 ))
    done
    rm -f "$log.run"
    took=$(( $(date +%s) - start ))
    last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    printf '%-22s %12s %8s %8s %8s\n' "$t" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$took"
    # Slow units are libFuzzer's notes on speed, not failures.
    while IFS= read -r f; do findings+=("$f"); done < <(find "$found" -type f -newer "$log.start" ! -name 'slow-unit-*')
    rm -f "$log.start"
  done

  if [ ${#findings[@]} -gt 0 ]; then
    echo "Findings (replay one with build/fuzz/tests/fuzz/fuzz_<target> <file>; logs in $build/logs):"
    printf '  %s\n' "${findings[@]}"
    exit 1
  fi
  echo "No findings."
}

main "$@"; exit $?
