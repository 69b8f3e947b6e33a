"""Reconstructs scikit-image's Shepp-Logan phantom from its radon() sinogram with rav_vuzav and
with iradon(), and prints the time and the RMS error of each inside the reconstruction circle.

    PYTHONPATH=build/python /usr/bin/python3 examples/radon_vs_iradon.py
"""
import time

import numpy as np
from skimage.data import shepp_logan_phantom
from skimage.transform import iradon, radon

import rav_vuzav

image = shepp_logan_phantom()                            # 400 x 400
theta = np.linspace(0.0, 180.0, 400, endpoint=False)     # degrees
sinogram = radon(image, theta=theta)                     # bins x angles

start = time.perf_counter()
# Angles x bins; the rotation centre of radon() is the centre of pixel 200 (N // 2), which is
# detector coordinate 200.5; the sum over angles is scaled to attenuation per pixel.
ours = rav_vuzav.reconstruct(sinogram.T * (np.pi / (2 * len(theta))), np.deg2rad(theta),
                             axis=image.shape[0] // 2 + 0.5)
ours_seconds = time.perf_counter() - start

start = time.perf_counter()
theirs = iradon(sinogram, theta=theta)
theirs_seconds = time.perf_counter() - start

inside = ours != 0                                       # the reconstruction circle
for name, result, seconds in (("rav_vuzav", ours, ours_seconds), ("iradon", theirs, theirs_seconds)):
    error = np.sqrt(np.mean((result - image)[inside] ** 2))
    print(f"{name:10} {seconds:7.3f} s   RMS error {error:.4f}")
