#!/usr/bin/python3
"""The Python module's reconstruct() on one 1024 x 900 sinogram against the program's own time
for that slice (build/bench/bench_slice: the program's steps for a stored sinogram, timed around
exactly them), for the linear, nearest and oversampled (x4) methods. Both are timed by the wall
clock around the work, one call per repetition, and the best repetition of each counts; the two
alternate round by round so that a change in the machine's load touches both. Both are also
timed by the processor time of the calling thread (one slice is computed on it alone), which
other processes on a busy machine disturb less than the wall clock. For scale, the
whole program is also timed as a process on the same sinogram stored as an image (start, read,
reconstruct, write).

    /usr/bin/python3 bench/python_slice.py [--build build] [--rounds 4] [--repetitions 3]
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

BINS, PROJECTIONS = 1024, 900
METHODS = [("linear", 0), ("nearest", 1), ("oversampled x4", 4)]


def program_slice_times(build, factor, repetitions):
    done = subprocess.run([str(build / "bench" / "bench_slice"),
                           f"--benchmark_filter=BM_program_slice/{factor}/",
                           f"--benchmark_repetitions={repetitions}", "--benchmark_format=json"],
                          capture_output=True, text=True, check=True)
    runs = json.loads(done.stdout)["benchmarks"]
    return [(run["real_time"] / 1000.0, run["thread_cpu_s"]) for run in runs
            if run.get("run_type") == "iteration"]


def python_times(rav, sinogram, factor, repetitions):
    times = []
    for _ in range(repetitions):
        cpu_start, start = time.thread_time(), time.perf_counter()
        rav.reconstruct(sinogram, (0.0, np.float32(np.pi) / PROJECTIONS), 512.0, method=factor)
        times.append((time.perf_counter() - start, time.thread_time() - cpu_start))
    return times


def process_time(build, rav, sinogram, factor, repetitions):
    """Best wall time of the program as a process on the sinogram stored as an image."""
    with tempfile.TemporaryDirectory() as work:
        work = Path(work)
        rav.write_image(str(work / "sino_0001.zlf"), sinogram)
        (work / "one.par").write_text("\n".join([
            "! RAV_VUZAV PARAMETER FILE", "RECONSTRUCT_FROM_SINOGRAMS = YES",
            "SINOGRAM_PREFIX = sino_", "SINOGRAM_POSTFIX = .zlf", "NUM_FIRST_SINOGRAM = 1",
            "NUM_LAST_SINOGRAM = 1", "SINOGRAM_INTERVAL = 1", "LENGTH_OF_NUMERICAL_PART = 4",
            f"NUM_IMAGE_1 = {BINS}", f"NUM_IMAGE_2 = {PROJECTIONS}", "ANGLE_OFFSET = 0",
            f"ANGLE_BETWEEN_PROJECTIONS = {180 / PROJECTIONS}", "ROTATION_AXIS_POSITION = 512",
            f"OVERSAMPLING_FACTOR = {factor}", "OUTPUT_FILE = one.raw", "START_VOXEL_1 = 1",
            f"END_VOXEL_1 = {BINS}", "START_VOXEL_2 = 1", f"END_VOXEL_2 = {BINS}", ""]))
        best = float("inf")
        for _ in range(repetitions):
            start = time.perf_counter()
            subprocess.run([str(build / "rav_vuzav"), "one.par"], cwd=work, check=True,
                           stdout=subprocess.DEVNULL)
            best = min(best, time.perf_counter() - start)
        return best


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(Path(__file__).resolve().parents[1] / "build"))
    parser.add_argument("--rounds", type=int, default=4)
    parser.add_argument("--repetitions", type=int, default=3)
    args = parser.parse_args()
    build = Path(args.build).resolve()
    sys.path.insert(0, str(build / "python"))
    import rav_vuzav as rav

    sinogram = np.random.default_rng(20).random((PROJECTIONS, BINS), dtype=np.float32)
    print(f"Machine: {os.cpu_count()} cores, load {os.getloadavg()[0]:.1f} "
          f"{os.getloadavg()[1]:.1f} {os.getloadavg()[2]:.1f} (shared: other processes run too)")
    print(f"One {BINS} x {PROJECTIONS} sinogram, {args.rounds} rounds x {args.repetitions} "
          "repetitions, best of each, seconds")
    print(f"{'':16}{'wall clock':^29}{'thread processor time':^29}")
    print(f"{'method':16}" + f"{'program':>10}{'python':>10}{'ratio':>9}" * 2 + f"{'process':>10}")
    for name, factor in METHODS:
        ours, theirs = [], []
        for _ in range(args.rounds):
            theirs += program_slice_times(build, factor, args.repetitions)
            ours += python_times(rav, sinogram, factor, args.repetitions)
        process = process_time(build, rav, sinogram, factor, args.repetitions)
        line = f"{name:16}"
        for kind in (0, 1):
            best_program = min(t[kind] for t in theirs)
            best_python = min(t[kind] for t in ours)
            line += f"{best_program:10.3f}{best_python:10.3f}{best_python / best_program:9.3f}"
        print(line + f"{process:10.3f}")
    print(f"Load afterwards: {os.getloadavg()[0]:.1f}")


if __name__ == "__main__":
    main()
