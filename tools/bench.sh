#!/usr/bin/env bash
# Speed of the readers against their references, side by side: builds the
# Release benchmarks (host, in build/bench), runs every benchmark program once
# with repetitions (interleaved at random, so that the machine's drift falls on
# both sides alike) and prints one line per row: the median time of ours and
# of the reference, each with the min and max of its repetitions, and the
# ratio of the medians beside the row's target.
#   tools/bench.sh [repetitions]        (default 10)
# Run it on a quiet machine (see uptime); repeat when min and max lie far apart.
# To compare with another build, copy its build/bench somewhere and pass that
# folder as LUMETRA_BENCH_PROGRAMS: its programs are run as they are, unbuilt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${LUMETRA_BENCH_PROGRAMS:-$root/build/bench}
repetitions=${1:-10}

# The benchmark programs, by the key the rows use: the build target and the
# executable. Each is a Google Benchmark program; another kind of harness
# (a timing program under Wine, say) joins by writing the same JSON (a
# "benchmarks" list of entries with run_name, run_type "iteration",
# real_time and time_unit) from a run_<key> function below.
declare -A targets=(
  [imaging]=imaging_benchmarks
  [tiff]=tiff_benchmark
  [profiles]=profile_scan_benchmark
)
declare -A executables=(
  [imaging]=$build/imaging/imaging_benchmarks
  [tiff]=$build/tests/imaging/tiff_benchmark
  [profiles]=$build/icc/profile_scan_benchmark
)

# The rows: label | ours (program:benchmark) | reference (program:benchmark) | target ratio, or - for none.
# A row is one line here; a benchmark of a new program needs that program in
# the two tables above, or a run_<key> function that writes its JSON.
rows=(
  "JPEG LoadImageFile, 2048x1536 RGB, vs bare libjpeg-turbo from stdio|imaging:BM_JpegLoadImageFile|imaging:BM_JpegBareLibjpeg|1.00"
  "JPEG TJFIFReader, the same file, vs the same|imaging:BM_JpegTJFIFReader|imaging:BM_JpegBareLibjpeg|1.00"
  "TIFF LZW, 1600x1200 RGB, smooth, vs libtiff|tiff:Ours/1|tiff:Libtiff/1|1.00"
  "TIFF LZW + horizontal predictor vs libtiff|tiff:Ours/2|tiff:Libtiff/2|1.00"
  "TIFF LZW, 1600x1200 RGB noise (larger than raw), vs libtiff|tiff:Ours/3|tiff:Libtiff/3|1.00"
  "PNG TPngReader, 2048x1536 RGB, vs bare libpng rows|imaging:BM_PngTPngReader|imaging:BM_PngBareLibpng|1.05"
  "PNG TPngReader, 2048x1536 gray, vs bare libpng rows|imaging:BM_PngGrayTPngReader|imaging:BM_PngGrayBareLibpng|1.05"
  "Bitmap top-to-bottom flip, 2048x1536 RGB, vs one copy of the pixels|imaging:BM_BitmapFlip|imaging:BM_PixelCopy|-"
  "Profile scan, 1,176 real profiles, vs lcms2 the same|profiles:BM_ProfileScanOurs|profiles:BM_ProfileScanLcms2|1.00"
  "The same scan vs the least file work|profiles:BM_ProfileScanOurs|profiles:BM_ProfileScanLeastIo|1.15"
  "Wine: dialog visible, 1,000 profiles added, in all, vs the floor|dialog:DialogWith1000|dialog:FloorWith1000|-"
  "Wine: the same, per added profile, vs the floor|dialog:DialogPerProfile|dialog:FloorPerProfile|1.10"
)

# The dialog's start under Wine: tools/bench-profiles.sh runs its timing
# harness in a test bed of its own and leaves dialog.json beside $1.
run_dialog() {
  LUMETRA_BENCH_RESULTS=$(dirname "$1") "$root/tools/bench-profiles.sh" "$repetitions" wine >/dev/null
}

# One run of a Google Benchmark program, every benchmark in it, into $2.
run_gbench() {
  "${executables[$1]}" --benchmark_repetitions="$repetitions" \
    --benchmark_enable_random_interleaving=true --benchmark_format=console \
    --benchmark_out_format=json --benchmark_out="$2" >"$2.log" 2>&1 || {
    cat "$2.log" >&2
    return 1
  }
}

if [ -z "${LUMETRA_BENCH_PROGRAMS:-}" ]; then
  "$root/tools/install-packages.sh"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
fi

results=$build/results
mkdir -p "$results"
used=$(printf '%s\n' "${rows[@]}" | cut -d'|' -f2,3 | tr '|' '\n' | cut -d: -f1 | sort -u)
echo "load before: $(uptime)"
for key in $used; do
  if declare -F "run_$key" >/dev/null; then
    "run_$key" "$results/$key.json"
  else
    run_gbench "$key" "$results/$key.json"
  fi
done
echo "load after:  $(uptime)"

printf '%s\n' "${rows[@]}" | python3 "$root/tools/bench_table.py" "$results"
