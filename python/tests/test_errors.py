"""Bad arguments raise exceptions with the program's message; nothing crashes."""
import re

import numpy as np
import pytest

import rav_vuzav as rav

GOOD = np.ones((12, 20), np.float32)
ANGLES = (0.0, np.pi / 12)
AXIS = 10.0


def call(sinograms=GOOD, angles=ANGLES, axis=AXIS, **keywords):
    return lambda: rav.reconstruct(sinograms, angles, axis, **keywords)


@pytest.mark.parametrize("make, error, message", [
    # The sinograms.
    (call(sinograms=np.ones(20, np.float32)), ValueError, "not an array of 1 dimensions"),
    (call(sinograms=np.ones((1, 2, 12, 20), np.float32)), ValueError, "4 dimensions"),
    (call(sinograms=np.ones((12, 0), np.float32)), ValueError, "the sinogram has no bins"),
    (call(sinograms=np.ones((0, 20), np.float32)), ValueError, "has no projections"),
    (call(sinograms=GOOD.astype(np.complex64)), TypeError, "array of real numbers"),
    (call(sinograms=[["a", "b"], ["c", "d"]]), TypeError, "array of real numbers"),
    (call(sinograms=GOOD.astype(bool)), TypeError, "array of real numbers"),
    # The angles.
    (call(angles=np.linspace(0, 1, 11)), ValueError, "11 angles for 12 projections"),
    (call(angles=np.where(np.arange(12) == 3, np.nan, 0.1)), ValueError, "the angle nan is not finite"),
    (call(angles=(np.inf, 0.1)), ValueError, "the angles are not finite"),
    (call(angles=(0.0, 0.1, 0.2)), ValueError, "(start, step)"),
    (call(angles=("zero", 0.1)), TypeError, "the start angle must be a real number"),
    (call(angles=np.zeros((3, 4))), ValueError, "not an array of 2 dimensions"),
    # The axis: no reconstruction circle is left.
    (call(axis=0.3), ValueError, "the rotation axis at 0.3 leaves no reconstruction circle on 20 bins"),
    (call(axis=19.6), ValueError, "leaves no reconstruction circle"),
    (call(axis=float("nan")), ValueError, "leaves no reconstruction circle"),
    # The method.
    (call(method="cubic"), ValueError, "method must be"),
    (call(method=-1), ValueError, "OVERSAMPLING_FACTOR must be"),
    (call(method=True), TypeError, "whole number"),
    (call(method=2.5), TypeError, "whole number"),
    (call(method="oversampled", oversampling=1), ValueError, "2 or more"),
    (call(method="linear", oversampling=4), ValueError, "goes with method=\"oversampled\""),
    (call(method=3, oversampling=4), ValueError, "goes with method=\"oversampled\""),
    # Filter and padding: what the core offers today.
    (call(filter="hann"), ValueError, "filter must be \"ramp\" or \"none\""),
    (call(padding="edge"), ValueError, "padding must be None or \"none\""),
    # The region.
    (call(region=(10, 5, 1, 20)), ValueError, "the slice block has no pixels"),
    (call(region=(1, 20, 1)), TypeError, "region must be"),
    (call(region=(1.0, 20, 1, 20)), TypeError, "whole number"),
    (call(region=(1, 2**40, 1, 20)), ValueError, "out of range"),
    (call(threads=-1), ValueError, "threads must be"),
])
def test_bad_arguments(make, error, message):
    with pytest.raises(error, match=re.escape(message)):
        make()


def test_every_function_checks_its_sinograms():
    with pytest.raises(ValueError, match="dimensions"):
        rav.filter_sinogram(np.ones(5, np.float32))
    with pytest.raises(ValueError, match="filter must be"):
        rav.filter_sinogram(GOOD, filter="shepp")
    with pytest.raises(ValueError, match="leaves no reconstruction circle"):
        rav.backproject(GOOD, ANGLES, 30.0)


def test_a_region_far_outside_the_circle_gives_zeros():
    # Not an error: the program writes such a block as zeros.
    assert not rav.reconstruct(GOOD, ANGLES, AXIS, region=(1000, 1009, -50, -41)).any()
