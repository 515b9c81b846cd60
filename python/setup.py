"""Builds the module _quillvex with the project's CMake build (the core, the command's
readers and writers, libvips), then packages it with the Python files beside it.

QVX_BUILD_DIR chooses the CMake build folder (default: build/release of the project,
the release build ./run and ./test make)."""

import os
import pathlib
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent.parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(os.environ.get("QVX_BUILD_DIR", ROOT / "build" / "release"))
        if not (build / "CMakeCache.txt").exists():
            compilers = ["-DCMAKE_C_COMPILER=clang", "-DCMAKE_CXX_COMPILER=clang++"] if shutil.which("clang++") else []
            subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                            "-DQVX_SANITIZE=OFF", f"-DPYTHON_EXECUTABLE={sys.executable}", *compilers], check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "quillvex_python", "-j", str(os.cpu_count() or 2)],
                       check=True)
        built = sorted((build / "python" / "quillvex").glob("_quillvex*.so"))
        if not built:
            sys.exit(f"the module was not built in {build}: are pybind11-dev and python3-dev installed?")
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(built[0], target)


setup(ext_modules=[Extension("quillvex._quillvex", sources=[])], cmdclass={"build_ext": CMakeBuild})
