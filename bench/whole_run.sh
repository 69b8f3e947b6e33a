#!/usr/bin/env bash
# Whole-run benchmark of the program on a synthetic scan of 1024 bins x 900 projections x 16 slices
# (32-bit float projections, read through the page cache), linear back-projection, one line per
# number:
#   - the whole run on every core, in giga-updates per second (GUPS: slices x projections x
#     pi/4 x bins^2 updates over the elapsed time);
#   - a run of one slice on two threads against one thread (the slice shared by the threads);
#   - with --reference, the whole run of the reference build (-DRAV_REFERENCE=ON, the plain
#     loops; configured and built in DIR when missing) and the ratio, and whether the volumes
#     are identical.
# Times are the best of several runs, elapsed (wall clock); the machine's load is printed first,
# since on a busy machine elapsed times are longer than the program needs.
#
#   bench/whole_run.sh [--fast DIR] [--reference [DIR]] [--work DIR] [--repeat N] [--bins B]
#                      [--projections P] [--slices S]
set -euo pipefail
cd "$(dirname "$0")/.."

fast=build
ref=""
work=""
repeat=5
bins=1024
projections=900
slices=16
while [ $# -gt 0 ]; do
  case "$1" in
    --fast) fast=$2; shift 2 ;;
    --reference)
      if [ $# -gt 1 ] && [ "${2#--}" = "$2" ]; then ref=$2; shift 2; else ref=build-ref; shift; fi ;;
    --work) work=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    --bins) bins=$2; shift 2 ;;
    --projections) projections=$2; shift 2 ;;
    --slices) slices=$2; shift 2 ;;
    *) echo "usage: $0 [--fast DIR] [--reference [DIR]] [--work DIR] [--repeat N] [--bins B] [--projections P] [--slices S]" >&2
       exit 2 ;;
  esac
done

if [ ! -x "$fast/rav_vuzav" ] || [ ! -x "$fast/rav_phantom" ]; then
  cmake -S . -B "$fast" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$fast" --target rav_vuzav rav_phantom
fi
if [ -n "$ref" ] && [ ! -x "$ref/rav_vuzav" ]; then
  cmake -S . -B "$ref" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRAV_REFERENCE=ON >/dev/null
  cmake --build "$ref" --target rav_vuzav
fi
fast=$(cd "$fast" && pwd)
[ -n "$ref" ] && ref=$(cd "$ref" && pwd)
if [ -z "$work" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"
scan="$work/scan"
if [ ! -f "$scan/phantom.par" ]; then
  "$fast/rav_phantom" --out "$scan" --bins "$bins" --projections "$projections" \
    --slices "$slices" --float --subsamples 1 >/dev/null
fi

# Parameter file NAME.par of the scan: linear, its own output, slices 1 .. LAST.
par() {
  local name=$1 last=$2
  sed -e "s/^OVERSAMPLING_FACTOR = .*/OVERSAMPLING_FACTOR = 0/" \
      -e "s|^OUTPUT_FILE = .*|OUTPUT_FILE = $scan/$name.raw|" \
      -e "s/^END_VOXEL_3 = .*/END_VOXEL_3 = $last/" "$scan/phantom.par" > "$scan/$name.par"
  echo "$scan/$name.par"
}

# The best elapsed seconds of REPEAT runs of PROGRAM on PAR with THREADS threads.
best_time() {
  local program=$1 file=$2 threads=$3 best=""
  for _ in $(seq "$repeat"); do
    local seconds
    seconds=$(cd "$scan" && OMP_NUM_THREADS=$threads /usr/bin/time -f "%e" \
                "$program" "$file" 2>&1 >/dev/null | tail -1)
    if [ -z "$best" ] || awk "BEGIN{exit !($seconds < $best)}"; then best=$seconds; fi
  done
  echo "$best"
}

gups() {  # SECONDS SLICES
  awk -v s="$1" -v n="$2" -v b="$bins" -v p="$projections" \
    'BEGIN { printf "%.1f", n * p * 3.14159265 / 4 * b * b / s * 1e-9 }'
}

cores=$(nproc)
echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $cores cores; load: $(cut -d' ' -f1-3 /proc/loadavg); best of $repeat runs"
whole=$(par whole "$slices")
t=$(best_time "$fast/rav_vuzav" "$whole" "$cores")
echo "Whole run, $bins bins x $projections projections x $slices slices, linear, $cores threads: $(gups "$t" "$slices") GUPS ($t s)"
one=$(par one 1)
t1=$(best_time "$fast/rav_vuzav" "$one" 1)
t2=$(best_time "$fast/rav_vuzav" "$one" 2)
echo "One-slice run, $bins bins x $projections projections, linear: $(awk -v a="$t1" -v b="$t2" 'BEGIN { printf "%.2f", a / b }')x faster on 2 threads than on 1 ($t2 s against $t1 s)"
if [ -n "$ref" ]; then
  cp "$scan/whole.raw" "$scan/fast.raw"
  tr=$(best_time "$ref/rav_vuzav" "$whole" "$cores")
  same=$(cmp -s "$scan/whole.raw" "$scan/fast.raw" && echo identical || echo DIFFERENT)
  echo "Reference build, the same whole run: $(gups "$tr" "$slices") GUPS ($tr s); the program $(awk -v a="$tr" -v b="$t" 'BEGIN { printf "%.2f", a / b }')x faster; volumes $same"
fi
