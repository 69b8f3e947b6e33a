"""reconstruct, backproject and filter_sinogram against the program, bit for bit."""
import threading
import time

import numpy as np
import pytest

import rav_vuzav as rav
from conftest import SCAN, assert_bitwise, program_volume, same_call, sinogram_scan

# Each method by name, with the program's OVERSAMPLING_FACTOR for it.
METHODS = [("linear", None, 0), ("nearest", None, 1), ("oversampled", 2, 2),
           ("oversampled", 3, 3), ("oversampled", 5, 5)]


@pytest.mark.parametrize("method, oversampling, factor", METHODS)
@pytest.mark.parametrize("threads", [1, 2])
def test_stack_equals_program(program_results, sinograms, method, oversampling, factor,
                              threads):
    volume, p = program_results(factor)
    call = same_call(p)
    call.update(method=method, oversampling=oversampling)
    assert_bitwise(rav.reconstruct(sinograms, threads=threads, **call), volume)
    # The parameter file's factor names the same method.
    assert_bitwise(rav.reconstruct(sinograms, **same_call(p)), volume)


def test_one_sinogram_gives_one_slice(program_results, sinograms):
    volume, p = program_results(0)
    slice_2 = rav.reconstruct(sinograms[1], **same_call(p))
    assert slice_2.shape == volume.shape[1:]
    assert_bitwise(slice_2, volume[1])


def test_default_region_is_the_detector_square(tmp_path, sinograms):
    bins = SCAN["bins"]
    volume, p = program_volume(sinogram_scan(tmp_path, sinograms[:1], 1, region=(1, bins, 1, bins)))
    call = same_call(p)
    del call["region"]
    assert_bitwise(rav.reconstruct(sinograms[:1], **call), volume)


def test_angle_list_of_the_running_sum_equals_start_and_step(program_results, sinograms):
    # The linear and nearest methods sum the angles in double precision from single-precision
    # start and step: the same angles as a list give the same slices.
    for factor in (0, 1):
        volume, p = program_results(factor)
        call = same_call(p)
        start, step = (np.float64(np.float32(a)) for a in call["angles"])
        call["angles"] = start + np.concatenate(([0.0], np.cumsum(np.full(SCAN["projections"] - 1, step))))
        assert_bitwise(rav.reconstruct(sinograms, **call), volume)


@pytest.mark.parametrize("method, oversampling, factor", METHODS[:3])
def test_filter_then_backproject_is_reconstruct(program_results, sinograms, method, oversampling,
                                                factor):
    volume, p = program_results(factor)
    call = same_call(p)
    call.update(method=method, oversampling=oversampling)
    filtered = rav.filter_sinogram(sinograms)
    assert filtered.shape == sinograms.shape and filtered.dtype == np.float32
    assert_bitwise(rav.backproject(filtered, **call), volume)
    assert_bitwise(rav.reconstruct(filtered, filter="none", **call), volume)
    assert_bitwise(rav.filter_sinogram(sinograms[2]), filtered[2])
    assert_bitwise(rav.filter_sinogram(sinograms, filter="none"), sinograms)


def test_inputs_are_never_modified(program_results, sinograms):
    volume, p = program_results(0)
    call = same_call(p)
    # float32 C order (used in place), float64, Fortran order, a strided view: same slices.
    wide = np.zeros((SCAN["slices"], SCAN["projections"], 2 * SCAN["bins"]), np.float32)
    wide[:, :, ::2] = sinograms
    forms = [sinograms.copy(), sinograms.astype(np.float64), np.asfortranarray(sinograms),
             wide[:, :, ::2]]
    for form in forms:
        before = form.copy()
        for method in ("linear", "nearest", "oversampled"):
            result = rav.reconstruct(form, **dict(call, method=method))
            if method == "linear":
                assert_bitwise(result, volume)
        rav.filter_sinogram(form)
        assert np.array_equal(form, before)


def test_values_that_are_not_finite_count_as_zero(program_results, sinograms):
    volume, p = program_results(2)
    spoiled = sinograms.copy()
    spoiled[0, 5, 7], spoiled[2, 9, 40] = np.nan, -np.inf
    zeroed = np.nan_to_num(spoiled, nan=0.0, neginf=0.0)
    for method in ("linear", "oversampled"):
        with pytest.warns(RuntimeWarning, match="2 sinogram values were not finite"):
            result = rav.reconstruct(spoiled, **dict(same_call(p), method=method))
        assert_bitwise(result, rav.reconstruct(zeroed, **dict(same_call(p), method=method)))
    assert np.isnan(spoiled[0, 5, 7])


def test_stack_of_no_slices(sinograms):
    result = rav.reconstruct(sinograms[:0], (0.0, 0.1), 33.5)
    assert result.shape == (0, SCAN["bins"], SCAN["bins"])


def test_radon_sinogram_as_the_readme_reconstructs_it():
    # scikit-image's radon: detector along axis 0, rotation centre at the pixel centre of index
    # N // 2, i.e. detector coordinate N // 2 + 0.5; values per pixel of path.
    transform = pytest.importorskip("skimage.transform")
    from skimage.data import shepp_logan_phantom
    image = transform.rescale(shepp_logan_phantom(), 0.32, anti_aliasing=False)
    n = image.shape[0]
    theta = np.linspace(0.0, 180.0, 2 * n, endpoint=False)
    sinogram = transform.radon(image, theta=theta, circle=True)
    scale = np.pi / (2 * len(theta))
    ours = rav.reconstruct(sinogram.T * scale, np.deg2rad(theta), n // 2 + 0.5)
    theirs = transform.iradon(sinogram, theta=theta, circle=True)
    inside = ours != 0
    error_ours = np.sqrt(np.mean((ours - image)[inside] ** 2))
    error_theirs = np.sqrt(np.mean((theirs - image)[inside] ** 2))
    assert inside.sum() > 0.7 * np.pi / 4 * n * n
    assert error_ours < 1.5 * error_theirs


def test_other_threads_run_while_it_computes():
    sinogram = np.random.default_rng(1).random((900, 1024), dtype=np.float32)
    done = threading.Event()
    worker = threading.Thread(target=lambda: (
        rav.reconstruct(sinogram, (0.0, np.pi / 900), 512.0, threads=1), done.set()))
    ticks = [time.perf_counter()]
    worker.start()
    while not done.is_set():
        time.sleep(0.001)
        ticks.append(time.perf_counter())
    worker.join()
    # With the GIL held for the whole call this thread would stand still for all of it.
    longest_pause = np.diff(ticks).max()
    assert longest_pause < 0.5 * (ticks[-1] - ticks[0])
