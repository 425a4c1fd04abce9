#!/usr/bin/env python3
"""Mutation testing: plants the faults of scripts/mutants.txt one at a time in a copy of the
tree, rebuilds that copy incrementally, runs the tests and reports the faults no test caught.

The working tree is never written: the copy lives in the work folder (build-mutate/ by
default) and is reused between runs, so only what changed is rebuilt. Every mutated file is
restored in the copy before the next fault, also on Ctrl-C. See the README, "Mutation testing".
"""

import argparse
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class Mutant:
    def __init__(self, path, description, original, replacement, line):
        self.path = path
        self.description = description
        self.original = original
        self.replacement = replacement
        self.line = line  # where the mutants file defines it

    def name(self):
        return f"{self.path}: {self.description}"


def fail(message):
    print(f"mutate: {message}", file=sys.stderr)
    sys.exit(2)


def parse_mutants(path):
    """Blocks of 'FILE | description', '- original' lines and '+ replacement' lines."""
    mutants = []
    current = None

    def finish():
        if current is None:
            return
        header, minus, plus, line = current
        if not minus:
            fail(f"{path}:{line}: no '- ' line for the original text")
        file, description = (part.strip() for part in header.split("|", 1))
        mutants.append(Mutant(file, description, "\n".join(minus),
                              "\n".join(plus), line))

    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            text = raw.rstrip("\n")
            if not text.strip() or text.startswith("#"):
                finish()
                current = None
                continue
            if text.startswith("- ") or text == "-":
                if current is None:
                    fail(f"{path}:{number}: '-' line outside a mutant")
                current[1].append(text[2:])
            elif text.startswith("+ ") or text == "+":
                if current is None:
                    fail(f"{path}:{number}: '+' line outside a mutant")
                if text != "+":
                    current[2].append(text[2:])
            elif "|" in text:
                finish()
                current = (text, [], [], number)
            else:
                fail(f"{path}:{number}: expected 'FILE | description', '- ' or '+ ': {text!r}")
    finish()
    return mutants


def check_mutants(mutants, tree):
    """Every original must occur exactly once, or a refactoring silently dropped a mutant."""
    problems = []
    for m in mutants:
        file = os.path.join(tree, m.path)
        if not os.path.isfile(file):
            problems.append(f"line {m.line}: {m.path} does not exist")
            continue
        with open(file, encoding="utf-8") as f:
            count = f.read().count(m.original)
        if count != 1:
            problems.append(f"line {m.line}: the original of '{m.description}' occurs {count} "
                            f"times in {m.path}, not once")
        if m.original == m.replacement:
            problems.append(f"line {m.line}: '{m.description}' changes nothing")
    if problems:
        fail("mutants that cannot be applied:\n  " + "\n  ".join(problems))


def restore(file, original):
    """Writes the unmutated text back with a fresh time stamp, so that make rebuilds it."""
    with open(file, "w", encoding="utf-8") as f:
        f.write(original)
    os.utime(file)


def project_files():
    listed = subprocess.run(
        ["git", "ls-files", "--cached", "--others", "--exclude-standard", "-z"],
        cwd=ROOT, check=True, capture_output=True).stdout.decode().split("\0")
    return [p for p in listed if p and os.path.isfile(os.path.join(ROOT, p))]


def sync_copy(tree):
    """Brings the copy up to the working tree, writing only files whose contents differ, so
    that the build in the copy stays incremental."""
    for relative in project_files():
        source = os.path.join(ROOT, relative)
        target = os.path.join(tree, relative)
        with open(source, "rb") as f:
            data = f.read()
        if os.path.isfile(target):
            with open(target, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(data)


def run(command, cwd, log, timeout=None):
    """Runs a command in a process group of its own, so that on a timeout or an interrupt the
    whole build (make and every compiler it started) stops before a file is restored: a
    compiler still running could otherwise write a mutated object after the restore."""
    with open(log, "w") as out:
        process = subprocess.Popen(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                   start_new_session=True)
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None
        finally:
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()


def build(build_dir, jobs, log):
    return run(["cmake", "--build", build_dir, f"-j{jobs}"], ROOT, log) == 0


def run_tests(build_dir, jobs, log, stop_on_failure):
    command = ["ctest", f"-j{jobs}", "--timeout", "120", "--output-on-failure"]
    if stop_on_failure:
        command.append("--stop-on-failure")
    code = run(command, build_dir, log, timeout=1800)
    with open(log, errors="replace") as f:
        text = f.read()
    failed = re.findall(r"^\s*\d+ - (\S+) \(", text, re.MULTILINE)
    return code == 0, failed


def configure(tree, build_dir, ui, log):
    command = ["cmake", "-S", tree, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release",
               f"-DVOBRIX_UI={'ON' if ui else 'OFF'}", "-DVOBRIX_BENCH=OFF"]
    if run(command, ROOT, log) != 0:
        fail(f"configuring the copy failed, see {log}")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--mutants", default=os.path.join(ROOT, "scripts", "mutants.txt"),
                        help="the mutants file (default scripts/mutants.txt)")
    parser.add_argument("--work", default=os.path.join(ROOT, "build-mutate"),
                        help="folder of the copy and its build (default build-mutate/)")
    parser.add_argument("--ui", action="store_true",
                        help="also build the window and run its tests (slower)")
    parser.add_argument("--only", metavar="REGEX",
                        help="only the mutants whose 'file: description' matches")
    parser.add_argument("--jobs", type=int, default=2, help="build and test jobs (default 2)")
    parser.add_argument("--list", action="store_true", help="check and list the mutants, no run")
    parser.add_argument("--matrix", metavar="FILE",
                        help="run every test on each mutant (slower) and write which tests "
                             "caught it to FILE, as JSON: a test that is never a mutant's only "
                             "catcher is a candidate for merging or removal")
    args = parser.parse_args()

    mutants = parse_mutants(args.mutants)
    if args.only:
        mutants = [m for m in mutants if re.search(args.only, m.name())]
    check_mutants(mutants, ROOT)
    if args.list:
        for m in mutants:
            print(m.name())
        print(f"{len(mutants)} mutants")
        return 0
    # Without --ui the window is not built, so its faults would only look like survivors.
    window = [m for m in mutants if m.path.startswith("src/ui/")]
    if window and not args.ui:
        mutants = [m for m in mutants if not m.path.startswith("src/ui/")]
        print(f"Leaving out {len(window)} faults in the window (src/ui/): they need --ui",
              flush=True)
    if not mutants:
        fail("no mutant selected")

    tree = os.path.join(args.work, "tree")
    # The window's build sits inside the copy, as a checkout's does, so that the window finds
    # the copy's sample data folder above its programs (and not the working tree's).
    build_dir = os.path.join(tree, "build-ui") if args.ui else os.path.join(args.work, "build")
    logs = os.path.join(args.work, "logs")
    os.makedirs(tree, exist_ok=True)
    os.makedirs(logs, exist_ok=True)
    # A stop by the terminal or by kill is a KeyboardInterrupt, so the copy is restored.
    signal.signal(signal.SIGTERM, signal.default_int_handler)
    signal.signal(signal.SIGINT, signal.default_int_handler)
    os.environ["QT_QPA_PLATFORM"] = "offscreen"

    start = time.monotonic()
    sync_copy(tree)
    # A run stopped half way may have left objects built from a mutant: the file it names is
    # rebuilt whatever its time stamp says.
    marker = os.path.join(args.work, "mutated-file")
    if os.path.isfile(marker):
        with open(marker) as f:
            stale = os.path.join(tree, f.read().strip())
        if os.path.isfile(stale):
            os.utime(stale)
    check_mutants(mutants, tree)
    configure(tree, build_dir, args.ui, os.path.join(logs, "configure.log"))
    print("Building and testing the unmutated copy ...", flush=True)
    if not build(build_dir, args.jobs, os.path.join(logs, "baseline-build.log")):
        fail(f"the unmutated copy does not build, see {logs}/baseline-build.log")
    passed, failed = run_tests(build_dir, args.jobs, os.path.join(logs, "baseline-test.log"),
                               False)
    if not passed:
        fail(f"the unmutated copy fails tests {failed}, see {logs}/baseline-test.log")

    killed, survived, broken = [], [], []
    catchers = {}
    for index, m in enumerate(mutants, 1):
        file = os.path.join(tree, m.path)
        with open(file, encoding="utf-8") as f:
            original = f.read()
        log = os.path.join(logs, f"mutant-{index:02d}")
        began = time.monotonic()
        try:
            with open(marker, "w") as f:
                f.write(m.path)
            with open(file, "w", encoding="utf-8") as f:
                f.write(original.replace(m.original, m.replacement, 1))
            if not build(build_dir, args.jobs, log + "-build.log"):
                verdict = "DOES NOT BUILD"
                broken.append(m)
            else:
                passed, failed = run_tests(build_dir, args.jobs, log + "-test.log",
                                           not args.matrix)
                catchers[m.name()] = failed
                if passed:
                    verdict = "SURVIVED"
                    survived.append(m)
                else:
                    verdict = "killed by " + (", ".join(failed[:2]) or "a failing test run")
                    killed.append(m)
        finally:
            restore(file, original)
        print(f"[{index:2d}/{len(mutants)}] {m.name()}: {verdict} "
              f"({time.monotonic() - began:.0f} s)", flush=True)

    if args.matrix:
        with open(args.matrix, "w") as f:
            json.dump(catchers, f, indent=1)
    # Leave the copy's build matching the unmutated tree for the next run.
    if build(build_dir, args.jobs, os.path.join(logs, "final-build.log")):
        os.remove(marker)
    judged = len(killed) + len(survived)
    score = 100.0 * len(killed) / judged if judged else 0.0
    print()
    if survived:
        print("Survivors (faults no test catches):")
        for m in survived:
            print(f"  {m.name()}")
    if broken:
        print("Mutants that do not build (fix their definition):")
        for m in broken:
            print(f"  {m.name()}")
    print(f"Mutation score: {len(killed)}/{judged} killed ({score:.0f}%), "
          f"{len(survived)} survived, {len(broken)} did not build, "
          f"{(time.monotonic() - start) / 60:.1f} min")
    return 1 if broken else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        print("\nmutate: interrupted; the copy was restored", file=sys.stderr)
        sys.exit(130)
