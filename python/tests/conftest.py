"""Shared fixtures of the module's tests: the programs of the build tree, scans of stored
sinograms that the program reconstructs, and bitwise comparison.

The module is imported from PYTHONPATH (ctest sets it to build/python); RAV_BUILD_DIR names the
build tree whose programs the results are compared with (build/ next to the sources by default).
"""
import os
import re
import subprocess
from pathlib import Path

import numpy as np
import pytest

import rav_vuzav as rav

BUILD = Path(os.environ.get("RAV_BUILD_DIR", Path(__file__).resolve().parents[2] / "build"))


def program(name):
    path = BUILD / name
    assert path.exists(), f"{path} is missing: build the programs first (scripts/build)"
    return str(path)


def run_program(parameter_file, cwd):
    """Runs build/rav_vuzav on PARAMETER_FILE in CWD; returns (exit code, standard output)."""
    done = subprocess.run([program("rav_vuzav"), str(parameter_file)], cwd=cwd,
                          capture_output=True, text=True, timeout=300)
    return done.returncode, done.stdout


def masked(transcript):
    """A transcript with its times (minutes with decimals) and their padding masked: a share of
    99.9 % in one run and 100.0 % in the other is the same line."""
    return re.sub(r" *\d+\.\d+", " #", transcript)


def read_volume(path, num_x, num_y):
    return np.fromfile(path, dtype=np.float32).reshape(-1, num_y, num_x)


def assert_bitwise(actual, expected):
    assert actual.shape == expected.shape
    if actual.tobytes() != expected.tobytes():
        differ = np.count_nonzero(actual != expected)
        worst = np.nanmax(np.abs(actual.astype(np.float64) - expected))
        pytest.fail(f"{differ} of {actual.size} values differ, by up to {worst:g}")


# A scan of stored sinograms: odd sizes, the axis off the detector's centre, angles that do not
# divide the half turn, a region that is not the whole slice.
SCAN = {"bins": 67, "projections": 41, "slices": 3, "offset": "7.5", "step": "4.4",
        "axis": "31.3", "region": (4, 61, 3, 58)}


def sinogram_scan(directory, sinograms, factor, region=SCAN["region"], axis=SCAN["axis"],
                  extra=()):
    """Writes SINOGRAMS (slices x angles x bins) as sino_NNNN.zlf into DIRECTORY with a
    parameter file that reconstructs them with OVERSAMPLING_FACTOR FACTOR into recon.raw
    (and the EXTRA lines)."""
    directory = Path(directory)
    directory.mkdir(parents=True, exist_ok=True)
    for n, sinogram in enumerate(sinograms, 1):
        rav.write_image(str(directory / f"sino_{n:04d}.zlf"), sinogram)
    slices, projections, bins = sinograms.shape
    lines = ["! RAV_VUZAV PARAMETER FILE", "RECONSTRUCT_FROM_SINOGRAMS = YES",
             "SINOGRAM_PREFIX = sino_", "SINOGRAM_POSTFIX = .zlf", "NUM_FIRST_SINOGRAM = 1",
             f"NUM_LAST_SINOGRAM = {slices}", "SINOGRAM_INTERVAL = 1",
             "LENGTH_OF_NUMERICAL_PART = 4", f"NUM_IMAGE_1 = {bins}",
             f"NUM_IMAGE_2 = {projections}", f"ANGLE_OFFSET = {SCAN['offset']}",
             f"ANGLE_BETWEEN_PROJECTIONS = {SCAN['step']}", f"ROTATION_AXIS_POSITION = {axis}",
             f"OVERSAMPLING_FACTOR = {factor}", "OUTPUT_FILE = recon.raw",
             f"START_VOXEL_1 = {region[0]}", f"END_VOXEL_1 = {region[1]}",
             f"START_VOXEL_2 = {region[2]}", f"END_VOXEL_2 = {region[3]}", *extra]
    parameter_file = directory / "sino.par"
    parameter_file.write_text("\n".join(lines) + "\n")
    return parameter_file


def program_volume(parameter_file):
    """The program's volume for a parameter file of sinogram_scan, and its parameters."""
    code, out = run_program(parameter_file.name, parameter_file.parent)
    assert code == 0, out
    p = rav.read_parameters(str(parameter_file))
    num_x = p["END_VOXEL_1"] - p["START_VOXEL_1"] + 1
    num_y = p["END_VOXEL_2"] - p["START_VOXEL_2"] + 1
    return read_volume(parameter_file.parent / "recon.raw", num_x, num_y), p


def same_call(p):
    """The keyword arguments of reconstruct that do what parameter set P asks."""
    return {"angles": (p["ANGLE_OFFSET"], p["ANGLE_BETWEEN_PROJECTIONS"]),
            "axis": p["ROTATION_AXIS_POSITION"], "method": p["OVERSAMPLING_FACTOR"],
            "region": (p["START_VOXEL_1"], p["END_VOXEL_1"], p["START_VOXEL_2"], p["END_VOXEL_2"])}


@pytest.fixture(scope="session")
def sinograms():
    """Random sinograms of the size of SCAN, with smooth and rough parts."""
    rng = np.random.default_rng(20)
    shape = (SCAN["slices"], SCAN["projections"], SCAN["bins"])
    bins = np.arange(SCAN["bins"])
    smooth = np.exp(-((bins - 30.0) / 12.0) ** 2)
    return (smooth + 0.3 * rng.standard_normal(shape)).astype(np.float32)


@pytest.fixture(scope="session")
def program_results(tmp_path_factory, sinograms):
    """The program's volume and parameters for every OVERSAMPLING_FACTOR used, once per session."""
    cache = {}

    def result(factor):
        if factor not in cache:
            directory = tmp_path_factory.mktemp(f"factor_{factor}")
            cache[factor] = program_volume(sinogram_scan(directory, sinograms, factor))
        return cache[factor]

    return result
