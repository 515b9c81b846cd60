"""Pictures built in the tests, and quillvex-cli to compare with.

QVX_CLI names the command (default: build/release/quillvex-cli of this tree)."""

import os
import pathlib
import subprocess

import numpy as np
import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
CLI = os.environ.get("QVX_CLI", str(ROOT / "build" / "release" / "quillvex-cli"))


def picture(height, width, bands, seed=1):
    """A gradient with noise, so that every density and method gives a mixed result."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:height, 0:width]
    base = (x * 255 // max(width - 1, 1) + y * 97 // max(height - 1, 1)) % 256
    planes = [(base + rng.integers(-60, 60, size=base.shape) + 40 * k) % 256 for k in range(bands)]
    if bands in (2, 4):
        # Alpha from transparent to opaque across the rows, 255 on the first ones.
        planes[-1] = np.clip(np.where(y < 2, 255, (y * 255) // max(height - 1, 1) + rng.integers(-30, 30, base.shape)),
                             0, 255)
    array = np.stack(planes, axis=-1).astype(np.uint8)
    return array[:, :, 0] if bands == 1 else array


def run_cli(*args, check=True):
    """Runs quillvex-cli with -q; returns the completed process."""
    done = subprocess.run([CLI, "-q", *map(str, args)], capture_output=True, text=True)
    if check and done.returncode != 0:
        raise AssertionError(f"quillvex-cli {args} failed: {done.stderr}")
    return done


@pytest.fixture(scope="session")
def cli():
    if not os.access(CLI, os.X_OK):
        pytest.fail(f"quillvex-cli not found at {CLI} (set QVX_CLI)")
    return run_cli
