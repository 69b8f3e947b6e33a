#!/usr/bin/env bash
# Input benchmark: the same synthetic scan read as keyword-header images, TIFF files (one per
# projection, one stack; uncompressed, and Deflate-compressed tiles for comparison) and HDF5
# (DataExchange, contiguous; chunked and gzip-compressed for comparison), with the sinograms
# assembled in several passes (each pass reads a block of rows of every projection) and no
# reconstruction (OUTPUT_RECONSTRUCTION = NO): what is timed is reading and assembling. Prints the
# best elapsed and processor time of each over REPEAT rounds (one thread; the inputs take turns
# within a round) and their ratio to the keyword-header images'. bench_readers times the readers
# alone.
#
#   bench/formats_read.sh [--build DIR] [--work DIR] [--repeat N] [--bins N] [--projections N]
#                         [--slices N] [--passes N]
#
# Needs the Python test clients (python3-numpy, python3-tifffile, python3-h5py) to write the
# TIFF and HDF5 files.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
work=""
repeat=5
bins=1024
projections=720
slices=64
passes=8
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    --bins) bins=$2; shift 2 ;;
    --projections) projections=$2; shift 2 ;;
    --slices) slices=$2; shift 2 ;;
    --passes) passes=$2; shift 2 ;;
    *) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
  esac
done

if [ ! -x "$build/rav_vuzav" ] || [ ! -x "$build/rav_phantom" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target rav_vuzav rav_phantom
fi
build=$(cd "$build" && pwd)
client=$(pwd)/tests/e2e/formats_client.py
if [ -z "$work" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"
scan=$work/scan

echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load: $(cut -d' ' -f1-3 /proc/loadavg)"
step=$(awk -v p="$projections" 'BEGIN { print 180 / p }')
"$build/rav_phantom" --out "$scan" --relative --bins "$bins" --projections "$projections" \
  --slices "$slices" >/dev/null
(cd "$scan" && /usr/bin/python3 "$client" tiff . &&
  /usr/bin/python3 "$client" tiff . --stack stack.tif &&
  /usr/bin/python3 "$client" tiff . --stack stack_deflate.tif --tiled --compress &&
  /usr/bin/python3 "$client" hdf5 . scan.h5 --theta-step "$step" &&
  /usr/bin/python3 "$client" hdf5 . scan_gzip.h5 --chunked --theta-step "$step")

# Sinograms of SLICES_PER_PASS slices of 4-byte floats per pass: the budget that gives PASSES.
sinogram_mb=$(( (bins * projections * 4 * slices / passes + 1048575) / 1048576 ))
last=$((projections - 1))
# The parameter file NAME: the scan's, read only, with LINES added.
par() {
  local name=$1
  shift
  { grep -v -e '^OUTPUT_RECONSTRUCTION' -e '^SINOGRAM_MEGABYTES' "$scan/phantom.par"
    echo "OUTPUT_RECONSTRUCTION = NO"
    echo "SINOGRAM_MEGABYTES = $sinogram_mb"
    printf '%s\n' "$@"; } > "$scan/$name.par"
}
stack=("NUM_FIRST_IMAGE = 0" "NUM_LAST_IMAGE = $last")
par keyword
par tiff_files "FILE_POSTFIX = .tif" "BACKGROUND_FILE = background.tif" "FLATFIELD_FILE = flat.tif"
par tiff_stack "${stack[@]}" "STACK_FILE = stack.tif"
par tiff_deflate_tiles "${stack[@]}" "STACK_FILE = stack_deflate.tif"
par hdf5 "${stack[@]}" "STACK_FILE = scan.h5"
par hdf5_gzip_chunks "${stack[@]}" "STACK_FILE = scan_gzip.h5"

# One run of NAME.par on one thread: "elapsed-seconds cpu-seconds" (user + system).
timed() {
  local out seconds user system
  out=$(cd "$scan" && OMP_NUM_THREADS=1 /usr/bin/time -f "%e %U %S" \
          "$build/rav_vuzav" "$1.par" --quiet 2>&1 >/dev/null | tail -1)
  read -r seconds user system <<< "$out"
  echo "$seconds $(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')"
}

# The inputs take turns, REPEAT rounds, so that a busy moment of the machine falls on all of
# them alike; each keeps its best time.
names=(keyword tiff_files tiff_stack hdf5 tiff_deflate_tiles hdf5_gzip_chunks)
declare -A best best_cpu
for _ in $(seq "$repeat"); do
  for name in "${names[@]}"; do
    read -r s cpu < <(timed "$name")
    if [ -z "${best[$name]:-}" ] || awk "BEGIN{exit !($s < ${best[$name]})}"; then best[$name]=$s; fi
    if [ -z "${best_cpu[$name]:-}" ] || awk "BEGIN{exit !($cpu < ${best_cpu[$name]})}"; then
      best_cpu[$name]=$cpu
    fi
  done
done

echo
echo "Scan: $bins bins x $slices rows, $projections projections (16-bit), $passes passes of"
echo "$((slices / passes)) rows; reading and assembling only; best of $repeat rounds, warm cache"
printf '%-20s %10s %8s %10s %8s\n' input "elapsed s" ratio "cpu s" ratio
for name in "${names[@]}"; do
  awk -v n="$name" -v s="${best[$name]}" -v c="${best_cpu[$name]}" -v rs="${best[keyword]}" \
      -v rc="${best_cpu[keyword]}" 'BEGIN {
    printf "%-20s %10.3f %7.2fx %10.3f %7.2fx\n", n, s, s / rs, c, c / rc }'
done
