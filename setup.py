"""Builds the Python package `kestro` through the project's CMake.

pip calls this (see pyproject.toml). The compiled module kestro._core and the
shared library it needs come from a CMake build of only those two targets
(no tests, runner, examples or MPI) in setuptools' build_temp folder, and are
installed next to each other in the package, the module finding the library
through its $ORIGIN run path. The version is the one of the project() line of
CMakeLists.txt, the project's only version number.
"""
import os
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = os.path.dirname(os.path.abspath(__file__))


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        m = re.search(r"project\(\s*kestro\s+VERSION\s+([0-9][0-9.]*)", f.read())
    if not m:
        sys.exit("setup.py: no project(kestro VERSION ...) line in CMakeLists.txt")
    return m.group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = os.path.abspath(os.path.join(self.build_temp, "cmake"))
        stage = os.path.abspath(os.path.join(self.build_temp, "stage"))
        package = os.path.dirname(os.path.abspath(self.get_ext_fullpath(ext.name)))
        configure = ["cmake", "-S", ROOT, "-B", build,
                     "-DCMAKE_BUILD_TYPE=Release",
                     "-DKESTRO_BUILD_TESTS=OFF", "-DKESTRO_BUILD_EXAMPLES=OFF",
                     "-DKESTRO_BUILD_RUNNER=OFF", "-DKESTRO_MPI=OFF",
                     "-DKESTRO_BUILD_PYTHON=ON", "-DKESTRO_REQUIRE_PYTHON=ON",
                     f"-DPython3_EXECUTABLE={sys.executable}"]
        try:  # pybind11 from pip (build isolation); else CMake finds the system's
            import pybind11
            configure.append(f"-Dpybind11_DIR={pybind11.get_cmake_dir()}")
        except ImportError:
            pass
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        shutil.rmtree(stage, ignore_errors=True)
        for command in (configure,
                        ["cmake", "--build", build, "-j", jobs, "--target", "kestro_python"],
                        ["cmake", "--install", build, "--component", "python",
                         "--prefix", stage]):
            print(" ".join(command), flush=True)
            subprocess.run(command, check=True)
        os.makedirs(package, exist_ok=True)
        staged = os.path.join(stage, "kestro")
        for name in os.listdir(staged):
            shutil.copy2(os.path.join(staged, name), os.path.join(package, name))


setup(version=project_version(),
      options={"egg_info": {"egg_base": "build"}},  # not in the source tree
      ext_modules=[Extension("kestro._core", sources=[])],
      cmdclass={"build_ext": CMakeBuild})
