#!/usr/bin/env python3
"""Runs clang-tidy (checks in .clang-tidy) over our own code in a build's
compilation database, one file per core at a time:

    tidy.py BUILD_DIR [JOBS]

Findings in our own headers count too; the framework's and the tests' do not.
A file found clean is remembered under a key made of all its result depends
on: clang-tidy's version, the checks, the file's compile command, and the
contents of every file the build last included for it. A later run, in this
checkout or another, checks again only what changed. The cache lives with the
plug-in's other caches (PELLION_CACHE, else ~/.cache/pellion)."""

import concurrent.futures
import hashlib
import json
import os
import re
import shlex
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
FOLDERS = ("Source", "Platform", "Emulation", "Tools")
TIDY = "clang-tidy-14"

DIAGNOSTIC = re.compile(r"^\S.*:\d+:\d+: (warning|error): ")
LOCATION = re.compile(r"^([^:\s]+)(:\d+:\d+: (warning|error|note): )")
SUMMARY = re.compile(r"^\d+ warnings? generated\.$")


def dependencies(build):
    """Every object's included files at the last build, as ninja recorded them."""
    text = subprocess.run(["ninja", "-C", str(build), "-t", "deps"], check=True, capture_output=True, text=True).stdout
    deps, current = {}, None
    for line in text.splitlines():
        if line and not line[0].isspace():
            current = deps.setdefault(line.split(":", 1)[0], [])
        elif line.strip() and current is not None:
            current.append(line.strip())
    return deps


def readable(line):
    """A header's place in the source tree, not in the build's include roots."""
    def relative(match):
        path = os.path.realpath(match.group(1))
        return (os.path.relpath(path, ROOT) if path.startswith(f"{ROOT}/") else path) + match.group(2)
    return LOCATION.sub(relative, line)


def findings_of(output):
    """clang-tidy's output as one block per finding, its notes included."""
    blocks = []
    for line in output.splitlines():
        if SUMMARY.match(line):
            continue
        if DIAGNOSTIC.match(line) or not blocks:
            blocks.append([])
        blocks[-1].append(readable(line))
    return ["\n".join(block) for block in blocks]


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    build = Path(sys.argv[1]).resolve()
    jobs = int(sys.argv[2]) if len(sys.argv) == 3 else len(os.sched_getaffinity(0))
    started = time.monotonic()

    ours = f"^{re.escape(str(ROOT))}/({'|'.join(FOLDERS)})/"
    # Our headers are reached through the layers' include roots in the build folder too.
    header_filter = f"{ours}|^{re.escape(str(build))}/include/pellion_[a-z]+/"
    entries = [e for e in json.loads((build / "compile_commands.json").read_text()) if re.match(ours, e["file"])]
    deps = dependencies(build)

    version = subprocess.run([TIDY, "--version"], check=True, capture_output=True, text=True).stdout
    common = hashlib.sha256()
    for part in (version, (ROOT / ".clang-tidy").read_text(), header_filter):
        common.update(part.replace(str(ROOT), "@").encode() + b"\0")

    hashes = {}

    def content(path):
        if path not in hashes:
            try:
                hashes[path] = hashlib.sha256(Path(path).read_bytes()).hexdigest()
            except OSError:
                hashes[path] = "missing"
        return hashes[path]

    def key(entry):
        words = shlex.split(entry["command"])
        output = words[words.index("-o") + 1]
        if output not in deps:
            return None  # never built, so what it includes is unknown: always checked
        h = common.copy()
        h.update(entry["command"].replace(str(ROOT), "@").encode() + b"\0")
        for dep in [entry["file"]] + deps[output]:
            path = os.path.normpath(os.path.join(entry["directory"], dep))
            h.update(f"{path.replace(str(ROOT), '@')}={content(path)}\0".encode())
        return h.hexdigest()

    cache = Path(os.environ.get("PELLION_CACHE") or Path.home() / ".cache" / "pellion") / "clang-tidy"
    cache.mkdir(parents=True, exist_ok=True)
    to_check = [(entry, k) for entry, k in ((entry, key(entry)) for entry in entries)
                if k is None or not (cache / k).exists()]

    def check(item):
        entry, k = item
        run = subprocess.run([TIDY, "-p", str(build), "--quiet", f"--header-filter={header_filter}", entry["file"]],
                             capture_output=True, text=True)
        if run.returncode != 0:
            return findings_of(run.stdout + run.stderr)
        if k is not None:
            (cache / k).touch()
        return []

    # A finding in a header shows in every file that includes it: each is printed once.
    failed, shown = 0, set()
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        for findings in pool.map(check, to_check):
            failed += 1 if findings else 0
            for finding in findings:
                if finding not in shown:
                    shown.add(finding)
                    print(finding, flush=True)

    print(f"clang-tidy: {len(entries)} files, {len(entries) - len(to_check)} unchanged since found clean, "
          f"{len(to_check)} checked with {jobs} jobs, {failed} with findings ({time.monotonic() - started:.0f} s)")
    if failed:
        print("clang-tidy: fix each finding, or keep it with // NOLINT(check) and the reason beside it")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
