#!/usr/bin/env bash
# Whole-run benchmark: the program against its reference build (-DRAV_REFERENCE=ON, the plain
# loops) on one synthetic scan, one thread each, for linear and nearest back-projection; prints
# the times, their ratio, the peak memory, and whether the volumes are identical. Then the time
# per slice of the optimised program for several detector widths.
#
#   bench/whole_run.sh [--fast DIR] [--ref DIR] [--work DIR] [--repeat N] [--no-scaling]
#
# DIR defaults: build (the Release build of scripts/build) and build-ref (configured and built
# here when missing). The scans go to --work (a temporary directory by default).
set -euo pipefail
cd "$(dirname "$0")/.."

fast=build
ref=build-ref
work=""
repeat=3
scaling=1
while [ $# -gt 0 ]; do
  case "$1" in
    --fast) fast=$2; shift 2 ;;
    --ref) ref=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    --no-scaling) scaling=0; shift ;;
    *) echo "usage: $0 [--fast DIR] [--ref DIR] [--work DIR] [--repeat N] [--no-scaling]" >&2; exit 2 ;;
  esac
done

if [ ! -x "$fast/rav_vuzav" ] || [ ! -x "$fast/rav_phantom" ]; then
  cmake -S . -B "$fast" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$fast" --target rav_vuzav rav_phantom
fi
if [ ! -x "$ref/rav_vuzav" ]; then
  cmake -S . -B "$ref" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRAV_REFERENCE=ON >/dev/null
  cmake --build "$ref" --target rav_vuzav
fi
fast=$(cd "$fast" && pwd)
ref=$(cd "$ref" && pwd)
if [ -z "$work" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"

echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load: $(cut -d' ' -f1-3 /proc/loadavg)"

# Writes a scan of BINS bins, PROJECTIONS projections and SLICES slices into DIR.
make_scan() {
  local dir=$1 bins=$2 projections=$3 slices=$4
  [ -f "$dir/phantom.par" ] && return
  "$fast/rav_phantom" --out "$dir" --bins "$bins" --projections "$projections" \
    --slices "$slices" --float --subsamples 1 >/dev/null
}

# Parameter file DIR/method_M.par: the scan's, with OVERSAMPLING_FACTOR M and its own output.
method_par() {
  local dir=$1 method=$2 tag=$3
  sed -e "s/^OVERSAMPLING_FACTOR = .*/OVERSAMPLING_FACTOR = $method/" \
      -e "s|^OUTPUT_FILE = .*|OUTPUT_FILE = $dir/recon_${tag}_$method.raw|" \
      "$dir/phantom.par" > "$dir/${tag}_$method.par"
  echo "$dir/${tag}_$method.par"
}

# Runs PROGRAM on PAR on one thread, REPEAT times; prints "best-elapsed-seconds
# best-cpu-seconds peak-kilobytes" (CPU = user + system: the fairer measure on a busy machine).
timed_run() {
  local program=$1 par=$2 best="" best_cpu="" peak=0
  for _ in $(seq "$repeat"); do
    local out seconds user system kb cpu
    out=$(cd "$(dirname "$par")" && OMP_NUM_THREADS=1 /usr/bin/time -f "%e %U %S %M" \
            "$program" "$par" 2>&1 >/dev/null | tail -1)
    read -r seconds user system kb <<< "$out"
    cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')
    if [ -z "$best" ] || awk "BEGIN{exit !($seconds < $best)}"; then best=$seconds; fi
    if [ -z "$best_cpu" ] || awk "BEGIN{exit !($cpu < $best_cpu)}"; then best_cpu=$cpu; fi
    [ "$kb" -gt "$peak" ] && peak=$kb
  done
  echo "$best $best_cpu $peak"
}

scan="$work/scan512"
make_scan "$scan" 512 720 16
echo
echo "Scan: 512 bins, 720 projections, 16 slices, 32-bit float projections; one thread;"
echo "best of $repeat runs"
printf '%-8s %10s %10s %7s %10s %10s %7s %9s %9s %s\n' method "ref s" "fast s" ratio \
  "ref cpu s" "fast cpu s" ratio "ref MB" "fast MB" volumes
for method in 0 1; do
  name=$([ "$method" = 0 ] && echo linear || echo nearest)
  read -r ref_s ref_cpu ref_kb < <(timed_run "$ref/rav_vuzav" "$(method_par "$scan" "$method" ref)")
  read -r fast_s fast_cpu fast_kb < <(timed_run "$fast/rav_vuzav" \
                                        "$(method_par "$scan" "$method" fast)")
  same=$(cmp -s "$scan/recon_ref_$method.raw" "$scan/recon_fast_$method.raw" && echo identical ||
         echo DIFFERENT)
  awk -v n="$name" -v r="$ref_s" -v f="$fast_s" -v rc="$ref_cpu" -v fc="$fast_cpu" \
      -v rk="$ref_kb" -v fk="$fast_kb" -v s="$same" 'BEGIN {
    printf "%-8s %10.2f %10.2f %6.2fx %10.2f %10.2f %6.2fx %9.1f %9.1f %s\n",
           n, r, f, r / f, rc, fc, rc / fc, rk / 1024, fk / 1024, s }'
done

if [ "$scaling" = 1 ]; then
  echo
  echo "Time per slice of the fast build (linear, 720 projections, 4 slices, one thread);"
  echo "ns per update = time / (slices x projections x pi/4 x bins^2)"
  printf '%6s %12s %14s %16s\n' bins "s per slice" "ns per update" "cpu ns/update"
  for bins in 256 512 1024 2048; do
    dir="$work/scaling$bins"
    make_scan "$dir" "$bins" 720 4
    read -r s cpu _ < <(timed_run "$fast/rav_vuzav" "$(method_par "$dir" 0 fast)")
    awk -v b="$bins" -v s="$s" -v c="$cpu" 'BEGIN { per = s / 4; u = 720 * 3.14159265 / 4 * b * b;
      printf "%6d %12.4f %14.3f %16.3f\n", b, per, per / u * 1e9, c / 4 / u * 1e9 }'
  done
fi
