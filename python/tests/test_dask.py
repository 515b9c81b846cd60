"""quillvex.dask on a local cluster of two worker processes: the command's files, a
damaged picture failing alone, and a worker killed while tasks run."""

import os
import signal
import subprocess
import sys
import threading
import time

import pytest
from PIL import Image

import quillvex.dask
from conftest import picture

distributed = pytest.importorskip("distributed")


@pytest.fixture(scope="module")
def client():
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=":0")
    with distributed.Client(cluster) as c:
        yield c
    cluster.close()


def test_sixty_pictures_one_damaged(cli, client, tmp_path):
    inputs = tmp_path / "in"
    inputs.mkdir()
    names = []
    for i in range(60):
        array = picture(30 + i % 7, 40 + i % 5, 3 if i % 3 else 4, seed=i)
        name = inputs / f"p{i:02}.{'png' if i % 2 else 'bmp'}"
        Image.fromarray(array).save(name)
        names.append(name)
    names[17].write_bytes(names[17].read_bytes()[:150])
    (tmp_path / "expected").mkdir()
    said = cli("-m", "floyd-steinberg", "--serpentine", *names, "-d", tmp_path / "expected", check=False).stderr

    outcomes = quillvex.dask.convert_files(names, tmp_path / "out", client=client, method="floyd-steinberg",
                                           serpentine=True)

    assert [o.input for o in outcomes] == [str(n) for n in names]
    written = sorted(os.listdir(tmp_path / "out"))
    assert written == sorted(os.listdir(tmp_path / "expected")) and len(written) == 59
    for i, o in enumerate(outcomes):
        if i == 17:
            assert o.output is None and said == f"quillvex-cli: {names[17]}: {o.error}\n"
            continue
        assert o.error is None
        assert open(o.output, "rb").read() == (tmp_path / "expected" / os.path.basename(o.output)).read_bytes()


def test_a_killed_worker_loses_nothing(cli, client, tmp_path):
    # Sixty names of one picture large enough that the run outlasts the kill.
    Image.fromarray(picture(1200, 1600, 3)).save(tmp_path / "big.bmp")
    cli("-m", "jarvis", tmp_path / "big.bmp", "-o", tmp_path / "expected.bmp")
    names = []
    for i in range(60):
        names.append(tmp_path / f"n{i:02}.bmp")
        os.symlink(tmp_path / "big.bmp", names[-1])
    out = tmp_path / "out"
    outcomes = []
    run = threading.Thread(target=lambda: outcomes.extend(
        quillvex.dask.convert_files(names, out, client=client, method="jarvis")))
    run.start()
    while not (out.exists() and len(os.listdir(out)) >= 4):
        time.sleep(0.005)
    done_at_kill = len(os.listdir(out))
    victim = next(iter(client.run(os.getpid).values()))
    os.kill(victim, signal.SIGKILL)
    run.join(120)

    assert done_at_kill < 60 and not run.is_alive()
    assert all(o.error is None for o in outcomes) and len(outcomes) == 60
    expected = (tmp_path / "expected.bmp").read_bytes()
    assert sorted(os.listdir(out)) == [f"n{i:02}.bmp" for i in range(60)]
    assert all((out / f"n{i:02}.bmp").read_bytes() == expected for i in range(60))


def test_the_command(client, tmp_path):
    Image.fromarray(picture(20, 30, 3)).save(tmp_path / "a.png")
    (tmp_path / "b.png").write_bytes(b"\x89PNG\r\n\x1a\n")
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    done = subprocess.run([sys.executable, "-m", "quillvex.dask", tmp_path / "a.png", "-m", "bayer4", tmp_path / "b.png",
                           "-d", tmp_path / "out", "--scheduler", client.scheduler.address, "-f", "pbm"],
                          capture_output=True, text=True, env=env, timeout=60)
    assert done.returncode == 1
    assert done.stderr.startswith(f"python3 -m quillvex.dask: {tmp_path / 'b.png'}: ")
    assert os.listdir(tmp_path / "out") == ["a.pbm"]
    assert (tmp_path / "out" / "a.pbm").read_bytes() == quillvex.encode(
        quillvex.convert(tmp_path / "a.png", method="bayer4"), "pbm")
    bad = subprocess.run([sys.executable, "-m", "quillvex.dask", "x.png", "-d", tmp_path, "-t", "300"],
                         capture_output=True, text=True, env=env, timeout=60)
    assert bad.returncode == 2 and "0 to 254" in bad.stderr
