"""The wheel builds from python/ and works installed in a venv, from any folder."""

import os
import pathlib
import subprocess
import sys
import zipfile

PACKAGE = pathlib.Path(__file__).resolve().parents[1]


def test_wheel_installs_into_a_venv(tmp_path):
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    subprocess.run([sys.executable, "-m", "build", "--no-isolation", "--wheel", "--outdir", tmp_path / "dist", PACKAGE],
                   check=True, capture_output=True, env=env)
    wheel = next((tmp_path / "dist").glob("quillvex-*.whl"))
    names = set(zipfile.ZipFile(wheel).namelist())
    assert {"quillvex/py.typed", "quillvex/__init__.pyi", "quillvex/dask.pyi", "quillvex/dask.py"} <= names
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", tmp_path / "venv"], check=True)
    python = tmp_path / "venv" / "bin" / "python"
    subprocess.run([python, "-m", "pip", "install", "-q", "--no-index", "--no-build-isolation", wheel], check=True,
                   capture_output=True, env=env)
    done = subprocess.run([python, "-c", "import quillvex; print(quillvex.methods()[0].name, quillvex.__file__)"],
                          check=True, capture_output=True, text=True, cwd=tmp_path, env=env)
    name, where = done.stdout.split()
    assert name == "letter" and where.startswith(str(tmp_path / "venv"))
