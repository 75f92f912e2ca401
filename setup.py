"""The extension module of `pip install --no-build-isolation .`, built by the
project's own CMake build (target linesynth_python) into build/pip, so that
the module is the same C++ as the commands'. Metadata: pyproject.toml; the
version: the project's, in CMakeLists.txt."""

import os
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))


def project_version():
    with open(os.path.join(HERE, "CMakeLists.txt"), encoding="utf-8") as file:
        return re.search(r"project\(linesynth VERSION ([0-9.]+)", file.read()).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, extension):
        build = os.path.join(HERE, "build", "pip")
        subprocess.run(["cmake", "-S", HERE, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                        "-DLINESYNTH_PYTHON=ON", f"-DPython3_EXECUTABLE={sys.executable}",
                        "-DLINESYNTH_BUILD_TESTS=OFF", "-DLINESYNTH_BUILD_BENCH=OFF"],
                       check=True)
        subprocess.run(["cmake", "--build", build, "--target", "linesynth_python",
                        "-j", str(os.cpu_count() or 1)], check=True)
        built = os.path.join(build, "python", "linesynth", os.path.basename(self.get_ext_filename(extension.name)))
        target = self.get_ext_fullpath(extension.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built, target)


setup(
    version=project_version(),
    ext_modules=[Extension("linesynth._linesynth", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
)
