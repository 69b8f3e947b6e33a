"""run, read_parameters and the phantom: whole runs in the process against the program run as a
process, and the phantom's arrays against the scan it writes."""
import os

import numpy as np
import pytest

import rav_vuzav as rav
from conftest import assert_bitwise, masked, read_volume, run_program, same_call

BINS, PROJECTIONS, SLICES = 48, 40, 5


@pytest.fixture(scope="module")
def scan(tmp_path_factory):
    """A small float scan written by write_phantom, its parameter file set to also write the
    sinograms (sino_NNNN.zlf in the directory the run starts in)."""
    directory = tmp_path_factory.mktemp("scan")
    par = rav.write_phantom(str(directory), bins=BINS, projections=PROJECTIONS, slices=SLICES,
                            float=True, subsamples=2, relative=True)
    text = open(par).read().replace("OUTPUT_SINOGRAMS = NO", "OUTPUT_SINOGRAMS = YES")
    open(par, "w").write(text)
    return directory


@pytest.fixture(scope="module")
def program_run(scan, tmp_path_factory):
    """The program's own run of the scan, as a process, in a copy of the scan directory."""
    directory = tmp_path_factory.mktemp("process")
    for name in os.listdir(scan):
        os.symlink(scan / name, directory / name)
    code, out = run_program("phantom.par", directory)
    assert code == 0, out
    return out, read_volume(directory / "recon.raw", BINS, BINS)


def test_run_in_the_process_is_the_program(scan, program_run, monkeypatch):
    monkeypatch.chdir(scan)
    code, transcript = rav.run("phantom.par")
    assert code == 0
    assert masked(transcript) == masked(program_run[0])
    assert "INFO: RAV_VUZAV V1.7  FINISHED" in transcript
    assert_bitwise(read_volume(scan / "recon.raw", BINS, BINS), program_run[1])


def test_the_program_sinograms_reconstruct_to_its_volume(scan, program_run):
    # The run from projections: its stored sinograms through the module give its slices.
    p = rav.read_parameters(str(scan / "phantom.par"))
    sinograms = np.stack([rav.read_image(str(scan / f"sino_{s:04d}.zlf"))
                          for s in range(1, SLICES + 1)])
    assert sinograms.shape == (SLICES, PROJECTIONS, BINS)
    for method in (0, 1, 3):
        call = dict(same_call(p), method=method)
        if method == 0:
            assert_bitwise(rav.reconstruct(sinograms, **call), program_run[1])
        else:
            # The program itself with this method, from the same sinograms.
            text = open(scan / "phantom.par").read().replace("OVERSAMPLING_FACTOR = 0",
                                                             f"OVERSAMPLING_FACTOR = {method}")
            text = text.replace("OUTPUT_SINOGRAMS = YES", "OUTPUT_SINOGRAMS = NO")
            text = text.replace("OUTPUT_FILE = recon.raw", f"OUTPUT_FILE = recon_{method}.raw")
            open(scan / f"method_{method}.par", "w").write(text)
            code, out = run_program(f"method_{method}.par", scan)
            assert code == 0, out
            expected = read_volume(scan / f"recon_{method}.raw", BINS, BINS)
            assert_bitwise(rav.reconstruct(sinograms, **call), expected)


def test_the_phantom_arrays_are_the_scan(scan):
    arrays = rav.phantom(bins=BINS, projections=PROJECTIONS, slices=SLICES, subsamples=2)
    truth = np.fromfile(scan / "truth.raw", dtype="<f4").reshape(SLICES, BINS, BINS)
    assert_bitwise(arrays["truth"], truth)
    p = rav.read_parameters(str(scan / "phantom.par"))
    assert arrays["angles"] == (p["ANGLE_OFFSET"], p["ANGLE_BETWEEN_PROJECTIONS"])
    assert arrays["axis"] == p["ROTATION_AXIS_POSITION"]
    # The program's corrected sinograms of the float scan, up to the rounding of its images.
    stored = np.stack([rav.read_image(str(scan / f"sino_{s:04d}.zlf")) for s in range(1, 6)])
    assert np.allclose(arrays["sinograms"], stored, rtol=0, atol=2e-5 * stored.max())
    slices = rav.reconstruct(arrays["sinograms"], arrays["angles"], arrays["axis"])
    inside = truth > 0
    assert abs(slices[inside].mean() / truth[inside].mean() - 1) < 0.08


def test_a_fatal_error_ends_the_run_not_the_process(scan, tmp_path, monkeypatch):
    monkeypatch.chdir(scan)
    text = open("phantom.par").read().replace("OUTPUT_FILE = recon.raw",
                                              f"OUTPUT_FILE = {tmp_path}/missing/recon.raw")
    (tmp_path / "fatal.par").write_text(text.replace("OUTPUT_SINOGRAMS = YES",
                                                     "OUTPUT_SINOGRAMS = NO"))
    code, transcript = rav.run(str(tmp_path / "fatal.par"))
    # The fatal error's message ends the transcript, as it ends the program's output.
    assert code == 1
    assert "ERROR: Problem openning output file" in transcript and "FINISHED" not in transcript
    # The status system and the files start afresh: the next run is whole.
    code, transcript = rav.run("phantom.par")
    assert code == 0 and "INFO: RAV_VUZAV V1.7  FINISHED" in transcript


def test_runs_that_cannot_start(tmp_path):
    code, transcript = rav.run(str(tmp_path / "missing.par"))
    assert code == 1 and "ERROR: Parameter file not found" in transcript
    (tmp_path / "bad.par").write_text("! RAV_VUZAV PARAMETER FILE\nNUM_IMAGE_1 = many\n")
    code, transcript = rav.run(str(tmp_path / "bad.par"))
    assert code == 1
    with pytest.raises(ValueError, match="NUM_IMAGE_1"):
        rav.read_parameters(str(tmp_path / "bad.par"))
    (tmp_path / "headless.par").write_text("NUM_IMAGE_1 = 5\n")
    with pytest.raises(ValueError, match="first line"):
        rav.read_parameters(str(tmp_path / "headless.par"))


def test_read_parameters_gives_the_program_values(tmp_path):
    (tmp_path / "p.par").write_text("! RAV_VUZAV PARAMETER FILE\nANGLE_OFFSET = 90\n"
                                    "ANGLE_BETWEEN_PROJECTIONS = 0.2\nIMAGE_PIXEL_SIZE_1 = 6.5\n"
                                    "OUTPUT_FILE = out.raw\nDISPLAY_GRAPHICS = YES\n")
    p = rav.read_parameters(str(tmp_path / "p.par"))
    assert p["ANGLE_OFFSET"] == np.float32(90) * np.float32(0.017453292)
    assert p["ANGLE_BETWEEN_PROJECTIONS"] == np.float32(0.2) * np.float32(0.017453292)
    assert p["IMAGE_PIXEL_SIZE_1"] == np.float32(6.5) * np.float32(1e-6)
    assert p["OUTPUT_FILE"] == "out.raw" and p["DISPLAY_GRAPHICS"] is True
    assert p["OVERSAMPLING_FACTOR"] == -1000000  # not given


def test_phantom_options_are_checked(tmp_path):
    with pytest.raises(ValueError, match="--bins needs a whole number from 16"):
        rav.phantom(bins=3)
    with pytest.raises(TypeError, match="phantom\\(\\) has no option noise"):
        rav.phantom(noise=100)
    with pytest.raises(ValueError, match="Unknown option: --colour"):
        rav.write_phantom(str(tmp_path), colour="red")

