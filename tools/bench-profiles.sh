#!/usr/bin/env bash
# Speed of the dialog's profile scan against its references, side by side:
#   host (Release, Google Benchmark, in build/bench): the scan as the dialog
#     does it (open, description, vcgt test, close) over 1,176 copies of the
#     real profiles under /usr/share/color, against lcms2 doing the same and
#     against the least file work the scan needs;
#   Wine (a timing harness in the test bed build/timing-scan): the time until
#     the dialog is visible with 1,000 extra monitor profiles installed, less
#     the time without them, per profile, against the same difference for the
#     floor program (the system's profile enumeration and the least file work).
# Prints one line per row (tools/bench_table.py): the median of ours and of
# the reference, each with the min and max of its repetitions, and the ratio
# of the medians beside the row's target. Both sides of a row come from one
# run, interleaved.
#   tools/bench-profiles.sh [repetitions] [host|wine]   (default 10, both)
# The results stay in build/bench/results as profiles.json and dialog.json
# (Google Benchmark's JSON layout; LUMETRA_BENCH_RESULTS names another
# folder), which is how tools/bench.sh takes these rows into its table.
# As with tools/bench.sh, LUMETRA_BENCH_PROGRAMS names a copy of another
# build's build/bench, whose programs (the benchmark and the lumetra.exe left
# there) are then run as they are, unbuilt. Run it on a quiet machine (see
# uptime); repeat when min and max lie far apart.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tools=$root/tools
build=$root/build
programs=${LUMETRA_BENCH_PROGRAMS:-$build/bench}
results=${LUMETRA_BENCH_RESULTS:-$programs/results}
repetitions=${1:-10}
only=${2:-}
mkdir -p "$results"
"$tools/install-packages.sh"

rows=()  # label | ours (file:benchmark) | reference (file:benchmark) | target ratio, or -

run_host() {
  if [ -z "${LUMETRA_BENCH_PROGRAMS:-}" ]; then
    cmake -S "$root" -B "$programs" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$programs" -j "$(nproc)" --target profile_scan_benchmark >/dev/null
  fi
  "$programs/icc/profile_scan_benchmark" --benchmark_repetitions="$repetitions" \
    --benchmark_enable_random_interleaving=true --benchmark_format=console \
    --benchmark_out_format=json --benchmark_out="$results/profiles.json" >"$results/profiles.log" 2>&1 || {
    cat "$results/profiles.log" >&2
    return 1
  }
  rows+=(
    "Profile scan, 1,176 real profiles, vs lcms2 the same|profiles:BM_ProfileScanOurs|profiles:BM_ProfileScanLcms2|1.00"
    "The same scan vs the least file work|profiles:BM_ProfileScanOurs|profiles:BM_ProfileScanLeastIo|1.15"
  )
}

# Copies of the shipped monitor-class profiles (the system lists no others),
# round-robin under distinct .icm names.
make_colour_set() {
  local folder=$1 count=$2 monitors=() i=0 f
  for f in /usr/share/color/icc/colord/*.icc /usr/share/color/icc/*.icc /usr/share/color/icc/*.ICM \
           /usr/share/color/argyll/ref/*.icm; do
    [ -f "$f" ] && [ "$(dd if="$f" bs=1 skip=12 count=4 2>/dev/null)" = mntr ] && monitors+=("$f")
  done
  while [ $i -lt "$count" ]; do
    f=${monitors[$((i % ${#monitors[@]}))]}
    cp -f "$f" "$folder/$(printf %04d $i)-$(basename "${f%.*}").icm"
    i=$((i + 1))
  done
}

run_wine() {
  local extra=1000 testbed=$build/timing-scan helper present
  "$tools/build-win32-deps.sh" "$build"
  if [ -z "${LUMETRA_BENCH_PROGRAMS:-}" ]; then
    cmake -S "$root" -B "$build/win32" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" \
      -DLUMETRA_DEPS_PREFIX="$build/deps/prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build/win32" -j "$(nproc)" --target lumetra >/dev/null
    mkdir -p "$programs"
    cp -f "$build/win32/app/lumetra.exe" "$programs/lumetra.exe"
  fi
  if [ ! -f "$programs/lumetra.exe" ]; then
    echo "bench-profiles: no lumetra.exe in $programs" >&2
    return 1
  fi
  # The measuring programs are always this tree's.
  mkdir -p "$testbed/program"
  for helper in profile-scan-timing profile-scan-floor; do
    if [ ! -f "$testbed/$helper.exe" ] || [ "$tools/$helper.cpp" -nt "$testbed/$helper.exe" ] ||
       [ "$root/icc/benchmarks/least_io_scan.h" -nt "$testbed/$helper.exe" ]; then
      i686-w64-mingw32-g++-posix -std=c++17 -O2 -static -I"$root" -o "$testbed/$helper.exe" "$tools/$helper.cpp"
    fi
  done
  cp -f "$programs/lumetra.exe" "$root/data/EnglishLanguage" "$testbed/program/"

  "$tools/wine-testbed.sh" start "$testbed" >/dev/null
  trap "\"$tools/wine-testbed.sh\" stop \"$testbed\" >/dev/null" EXIT
  . "$tools/wine-env.sh"
  local colors=$WINEPREFIX/drive_c/windows/system32/spool/drivers/color
  # A run cut short may have left the extra profiles installed.
  if [ ! -d "$colors.with" ] && [ -d "$colors.without" ]; then
    mv "$colors" "$colors.with" && mv "$colors.without" "$colors"
  fi
  present=$( (ls "$colors.with" 2>/dev/null || true) | grep -c '^[0-9]\{4\}-.*\.icm$' || true)
  if [ "$present" -ne "$extra" ]; then
    rm -rf "$colors.with"
    cp -a "$colors" "$colors.with"
    make_colour_set "$colors.with" "$extra"
  fi

  winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
  "$tools/wine-run.sh" "$testbed" "$testbed/profile-scan-timing.exe" "$repetitions" \
    'C:\windows\system32\spool\drivers\color' "$(winpath "$testbed/program/lumetra.exe")" \
    "$(winpath "$testbed/profile-scan-floor.exe")" </dev/null 2>"$results/dialog.log" \
    | tr -d '\r' >"$results/dialog.txt" || {
    cat "$results/dialog.log" >&2
    return 1
  }
  "$tools/wine-testbed.sh" stop "$testbed" >/dev/null
  trap - EXIT
  # Per run, what the extra profiles added to each side, in the JSON layout
  # of Google Benchmark.
  python3 - "$results/dialog.txt" "$results/dialog.json" "$extra" <<'EOF'
import json, sys
lines, out, extra = sys.argv[1], sys.argv[2], int(sys.argv[3])
seen = {}
for line in open(lines):
    side, state, ms, count = line.split()
    seen.setdefault((side, state), []).append((float(ms), int(count)))
entries = []
def add(name, values):
    entries.extend({"name": name, "run_name": name, "run_type": "iteration",
                    "real_time": v, "time_unit": "ms"} for v in values)
for side, name in (("dialog", "Dialog"), ("floor", "Floor")):
    with_, without = seen[(side, "with")], seen[(side, "without")]
    if any(w[1] - o[1] != extra for w, o in zip(with_, without)):
        sys.exit(f"{side}: the extra profiles did not all show ({with_[0][1]} against {without[0][1]})")
    add(f"{name}With{extra}", [w[0] for w in with_])
    add(f"{name}Without", [o[0] for o in without])
    add(f"{name}PerProfile", [(w[0] - o[0]) / extra for w, o in zip(with_, without)])
json.dump({"context": {"profiles_added": extra, "runs": len(seen[("dialog", "with")])},
           "benchmarks": entries}, open(out, "w"), indent=1)
EOF
  rows+=(
    "Wine: dialog visible, 1,000 profiles added, in all, vs the floor|dialog:DialogWith$extra|dialog:FloorWith$extra|-"
    "Wine: the same, per added profile, vs the floor|dialog:DialogPerProfile|dialog:FloorPerProfile|1.10"
  )
}

echo "load before: $(uptime)"
[ "$only" = wine ] || run_host
[ "$only" = host ] || run_wine
echo "load after:  $(uptime)"
printf '%s\n' "${rows[@]}" | python3 "$tools/bench_table.py" "$results"
