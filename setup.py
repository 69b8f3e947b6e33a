"""Builds and installs the Python module rav_vuzav with CMake, offline:

    pip install --no-build-isolation .

(Debian's python3-setuptools, python3-wheel and the packages of scripts/setup; nothing is
downloaded). The module is the same one scripts/build puts into build/python/.
"""
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


class CMakeBuild(build_ext):
    """Configures the project for this interpreter and builds only the module's target."""

    def build_extension(self, ext):
        tree = Path(self.build_temp).resolve() / "cmake"
        configure = ["cmake", "-S", str(ROOT), "-B", str(tree), "-G", "Ninja",
                     "-DCMAKE_BUILD_TYPE=Release", f"-DPython_EXECUTABLE={sys.executable}",
                     "-DRAV_MPI=OFF"]
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(tree), "--target", "rav_vuzav_module"], check=True)
        built = sorted((tree / "python").glob("rav_vuzav*.so"))
        if not built:
            raise RuntimeError(f"the module was not built into {tree / 'python'}")
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(built[0], target)


setup(
    name="rav_vuzav",
    version="1.7",
    description="Filtered back-projection of parallel-beam sinograms on numpy arrays "
                "(the rav_vuzav reconstruction)",
    ext_modules=[Extension("rav_vuzav", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": "build-pip"}},
    install_requires=["numpy"],
    python_requires=">=3.9",
    zip_safe=False,
)
