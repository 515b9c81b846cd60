"""The conversion of many files spread over a Dask cluster.

    from distributed import Client
    import quillvex.dask
    outcomes = quillvex.dask.convert_files(paths, "out/", client=Client("tcp://host:8786"),
                                           method="floyd-steinberg")

Each file is converted by one task, exactly as ``quillvex-cli FILE -d FOLDER``
converts it, into a temporary file renamed only once whole: a task that fails or
a worker that dies leaves no partial output, and Dask runs a lost task again.

From the shell: ``python3 -m quillvex.dask INPUT... -d FOLDER [--scheduler ADDRESS]
[options]``, with the options of quillvex-cli.
"""

import os
import sys
from typing import List, NamedTuple, Optional

import quillvex
from quillvex import _core

__all__ = ["convert_files", "Outcome"]


class Outcome(NamedTuple):
    """Per input: the output written, or why there is none."""
    input: str
    output: Optional[str]
    error: Optional[str]


def _convert_one(source, target, words):
    """Converts source into target; returns (target, None) or (None, reason)."""
    try:
        _core.convert_file(source, target, _core.parse_options(words + ["-o", target, "--", source]))
        return target, None
    except (OSError, ValueError, MemoryError) as e:
        return None, str(e)


def _convert_some(pairs, words):
    """One task: a few files, each converted on its own."""
    return [_convert_one(source, target, words) for source, target in pairs]


def _chunk_sizes(count, threads):
    """Files per task: up to 8 while many remain, so that the scheduler's work per task
    stays small beside the conversions, then fewer and fewer, so that the last tasks are
    short and no thread idles long while another finishes a big one."""
    sizes, left = [], count
    while left > 0:
        size = max(1, min(8, left // (2 * max(threads, 1))))
        sizes.append(size)
        left -= size
    return sizes


def _plan(inputs, folder, words):
    """The target of each input, and why an input can't be converted in this batch."""
    options = _core.parse_options(words + ["-d", folder, "--"] + inputs)
    targets = [_core.output_path(options, source) for source in inputs]
    return targets, _core.batch_refusals(inputs, targets)


def _run(inputs, folder, words, client):
    inputs = [os.fsdecode(os.fspath(p)) for p in inputs]
    folder = os.fsdecode(os.fspath(folder))
    os.makedirs(folder, exist_ok=True)
    targets, refusals = _plan(inputs, folder, words)
    tasks = [i for i, refusal in enumerate(refusals) if not refusal]
    threads = sum(client.nthreads().values()) if client is not None else (os.cpu_count() or 1)
    chunks, at = [], 0
    for size in _chunk_sizes(len(tasks), threads):
        chunks.append([(inputs[i], targets[i]) for i in tasks[at:at + size]])
        at += size
    if client is not None:
        futures = client.map(_convert_some, chunks, words=words, pure=False)
        results = [r for chunk in client.gather(futures) for r in chunk]
    else:
        import dask
        done = dask.compute(*[dask.delayed(_convert_some, pure=False)(chunk, words) for chunk in chunks],
                            scheduler="threads")
        results = [r for chunk in done for r in chunk]
    outcomes = [Outcome(source, None, refusal or None) for source, refusal in zip(inputs, refusals)]
    for i, (written, error) in zip(tasks, results):
        outcomes[i] = Outcome(inputs[i], written, error)
    return outcomes


def convert_files(inputs, output_folder, *, client=None, format=None, method="letter", density=127,
                  invert=False, max_pixels=None, autorotate=True, **parameters) -> List[Outcome]:
    """Converts every input file into output_folder (made when missing), one Dask task a
    file, named as ``quillvex-cli -d`` names them; returns an Outcome per input, in order.

    client: a distributed.Client; without one, Dask's local threads. The options are
    convert's (method, density, invert, the method's parameters), format and the device
    formats' options (layout, on, name, band). A bad file fails alone; bad options raise
    ValueError before anything runs.
    """
    device = {name: parameters.pop(name) for name in list(parameters) if name in quillvex._DEVICE_OPTIONS}
    words = quillvex._conversion_words(method, density, invert, max_pixels, autorotate, parameters)
    words += (["-f", format] if format is not None else []) + quillvex._device_words(device)
    return _run(list(inputs), output_folder, words, client)


def _split_command(args):
    """The option words of a command line, its inputs, its folder and its scheduler."""
    takes_value, names_output = {}, set()
    for short, long, value, output in _core.option_spellings():
        for name in (short, long):
            if name:
                takes_value[name] = value
                if output:
                    names_output.add(name)
    words, inputs, folder, scheduler = [], [], None, None
    only_inputs = False
    i = 0
    while i < len(args):
        word = args[i]
        i += 1
        if word == "--scheduler" or word.startswith("--scheduler="):
            if "=" in word:
                scheduler = word.split("=", 1)[1]
            elif i < len(args):
                scheduler, i = args[i], i + 1
            else:
                raise ValueError("option --scheduler needs a value")
            continue
        if word == "--" and not only_inputs:
            only_inputs = True
            continue
        if only_inputs and word not in names_output or word == "-" or not word.startswith("-"):
            inputs.append(word)
            continue
        name, glued = (word.split("=", 1)[0], "=" in word) if word.startswith("--") else (word[:2], len(word) > 2)
        value = None
        if takes_value.get(name) and not glued:
            if i >= len(args):
                raise ValueError(f"option {name} needs a value")
            value, i = args[i], i + 1
        if name == "-d":
            if folder is not None:
                raise ValueError("-d given twice")
            folder = value if value is not None else word[len(name) + word.startswith("--"):]
        elif name in names_output:
            raise ValueError("-o names one output; give a folder with -d")
        else:
            words += [word] if value is None else [word, value]
    return words, inputs, folder, scheduler


def main(argv=None):
    args = sys.argv[1:] if argv is None else argv
    program = "python3 -m quillvex.dask"
    if args in (["-h"], ["--help"]):
        print(f"usage: {program} INPUT... -d FOLDER [--scheduler ADDRESS] [options of quillvex-cli]")
        return 0
    try:
        words, inputs, folder, scheduler = _split_command(args)
        if folder is None:
            raise ValueError("no folder named (-d FOLDER)")
        if not inputs:
            raise ValueError("no input named")
        _core.parse_options(words + ["-d", folder, "--"] + inputs)
    except ValueError as e:
        print(f"{program}: {e}\nTry '{program} --help' for more information.", file=sys.stderr)
        return 2
    client = None
    if scheduler:
        from distributed import Client
        try:
            client = Client(scheduler, timeout="30s")
        except OSError as e:
            print(f"{program}: can't reach the scheduler {scheduler}: {e}", file=sys.stderr)
            return 1
    # The tasks name their function in the module, not in __main__, for the workers to find.
    from quillvex import dask as module
    try:
        outcomes = module._run(inputs, folder, words, client)
    finally:
        if client is not None:
            client.close()
    failed = [o for o in outcomes if o.error]
    for o in failed:
        print(f"{program}: {o.input}: {o.error}", file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
