#!/usr/bin/env bash
# Rates of the back-projection kernels of every target this processor runs, one line each, in
# giga-updates per second (GUPS) of processor time, best of several repetitions: the reference
# loops and each vector target, one slice or a pair per kernel call, on one thread and on two
# (two threads: both together). Then the ratios the targets are held to, and the kernel alone on
# both cores as the slice loops call it (pairs). Every vector target's slices are compared with
# the reference loops' (on one thread); a difference is reported as "DIFFERENT".
#
#   bench/kernel_rates.sh [--build DIR] [--repeat N] [--bins B]
#
# DIR defaults to build (configured and bench_kernels built there when missing).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
repeat=5
bins=1024
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    --bins) bins=$2; shift 2 ;;
    *) echo "usage: $0 [--build DIR] [--repeat N] [--bins B]" >&2; exit 2 ;;
  esac
done

if [ ! -x "$build/bench/bench_kernels" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target bench_kernels
fi
json=$(mktemp)
trap 'rm -f "$json"' EXIT

echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load: $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bench/bench_kernels" --benchmark_filter="BM_Backproject.*/bins:$bins/|BM_ReconstructSlice|BM_FilterSinogram" \
  --benchmark_repetitions="$repeat" --benchmark_format=json --benchmark_out="$json" \
  --benchmark_out_format=json >/dev/null 2>&1

/usr/bin/python3 - "$json" "$bins" "$repeat" <<'EOF'
import json, re, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
best, label, failed, other = {}, {}, {}, {}
for r in runs:
    if r.get("run_type") != "iteration":
        continue
    for name, counter in (("BM_ReconstructSlice", "slices"), ("BM_FilterSinogram", "projections")):
        if r["run_name"].startswith(name):
            other[r["run_name"]] = max(other.get(r["run_name"], 0.0), r[counter])
    m = re.match(r"BM_Backproject(\w+)/bins:\d+/target:(\d+)/threads:(\d)", r["run_name"])
    if not m:
        continue
    kind, target, threads = m.group(1), int(m.group(2)), int(m.group(3))
    key = (kind, target, threads)
    if r.get("error_occurred"):
        failed[(kind, target)] = r.get("error_message", "")
        continue
    label[target] = r.get("label", str(target))
    best[key] = max(best.get(key, 0.0), r["GUPS"])

kinds = [("1Linear", "linear, one slice"), ("Linear", "linear, pairs"),
         ("1Nearest", "nearest, one slice"), ("Nearest", "nearest, pairs"),
         ("Oversampled", "oversampled by 4, one slice")]
print(f"Kernel rates: {sys.argv[2]} bins x 900 projections, GUPS of processor time, best of {sys.argv[3]}")
for kind, name in kinds:
    for target in sorted(label):
        one, two = best.get((kind, target, 1)), best.get((kind, target, 2))
        if one is None and (kind, target) not in failed:
            continue
        same = "DIFFERENT" if (kind, target) in failed else "identical"
        if label[target] == "reference":
            same = "the reference"
        print(f"{name:28s} {label[target]:9s}: 1 thread {one or 0:6.2f}, 2 threads {two or 0:6.2f} ({same})")

def rate(kind, name, threads=1):
    for target, l in label.items():
        if l == name:
            return best.get((kind, target, threads))
    return None

for kind, name in kinds[:4]:
    avx512, avx2, ref = rate(kind, "avx512"), rate(kind, "avx2"), rate(kind, "reference")
    if avx2 and avx512:
        print(f"AVX2 against AVX-512, {name}: {avx2 / avx512:.2f} (asked: at least 0.60)")
    if avx2 and ref:
        print(f"AVX2 against the reference loops, {name}: {avx2 / ref:.1f}x (asked: at least 3x)")
one = {re.search(r"threads:(\d+)", k).group(1): v
       for k, v in other.items() if "ReconstructSlice" in k}
if "1" in one and "2" in one:
    print(f"One slice reconstructed (filter and back-projection, linear, elapsed time): "
          f"{one['2'] / one['1']:.2f}x faster on 2 threads than on 1 (asked: at least 1.8x)")
for k, v in other.items():
    if "FilterSinogram" in k:
        print(f"Filter: {v / 1e3:.0f} thousand projections per second on one thread")
best_target = min(t for t in label if label[t] != "reference") if len(label) > 1 else 0
for kind, name, asked in (("Linear", "linear", 14), ("Nearest", "nearest", 20)):
    two = best.get((kind, best_target, 2), 0.0)
    same = "DIFFERENT" if (kind, best_target) in failed else "identical"
    print(f"Kernel alone on both cores ({label.get(best_target)}, pairs as in a run), {name}: "
          f"{two:.1f} GUPS (asked: at least {asked}), {same} to the reference loops")
EOF
