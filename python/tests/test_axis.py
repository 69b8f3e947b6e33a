"""find_axis: the program's axis finder on arrays."""
import numpy as np
import pytest

import rav_vuzav as rav


@pytest.mark.parametrize("turn, method", [(360, "mirrored_pairs"), (180, "centroids")])
def test_the_phantoms_axis_is_found(turn, method):
    scan = rav.phantom(bins=128, projections=240, slices=2, axis_offset=3.5, turn=turn)
    found = rav.find_axis(scan["sinograms"], scan["angles"])
    assert found["method"] == method, found
    assert found["axis"] == pytest.approx(scan["axis"], abs=0.1), found
    assert found["reason"] == "" and 0.0 < found["confidence"] <= 1.0
    # One sinogram, and the angles one by one, find the same axis.
    start, step = scan["angles"]
    angles = np.float64(start) + np.arange(240) * np.float64(step)
    one = rav.find_axis(scan["sinograms"][0], angles)
    assert one["axis"] == pytest.approx(scan["axis"], abs=0.1), one


def test_an_undecided_axis_says_why():
    rng = np.random.default_rng(3)
    found = rav.find_axis(rng.standard_normal((180, 64)).astype(np.float32), (0.0, np.pi / 180))
    assert found["axis"] is None and found["method"] == "none" and found["reason"], found
    with pytest.raises(ValueError, match="angles holds 3 angles"):
        rav.find_axis(np.ones((180, 64), np.float32), [0.0, 0.1, 0.2])
