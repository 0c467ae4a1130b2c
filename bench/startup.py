#!/usr/bin/python3
"""Times whole processes: the real idcardshow against a bare Qt window of the same size, from
exec to the first painted frame and to exit, alternating them for several runs; prints the
medians and the median of the pair-by-pair ratios. Then counts instructions to exit with
valgrind's callgrind, a figure that does not drift with the machine's load, also for the
window's form alone: what the window's own code adds to it.

All programs run offscreen with a preloaded hook that ends them right after their first
frame (bench/quitafterframe.cpp)."""

import argparse
import os
import re
import statistics
import subprocess
import tempfile
import time

TARGET_RATIO = 1.10
# What the window's own code may add to its form, in instructions to exit.
FORM_TARGET_RATIO = 1.02


def environment(build, runtime_dir):
    return dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=runtime_dir,
                LD_PRELOAD=os.path.join(build, "bench", "libquitafterframe.so"))


def one_run(command, env):
    """Milliseconds from exec to the first frame, and to exit."""
    start = time.monotonic_ns()
    done = subprocess.run(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=True)
    end = time.monotonic_ns()
    frame = int(re.search(r"first-frame (\d+)", done.stderr).group(1))
    return (frame - start) / 1e6, (end - start) / 1e6


def instructions(command, env):
    done = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"] + command,
                          env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=True)
    return int(re.search(r"Collected : (\d+)", done.stderr).group(1))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", default="build")
    parser.add_argument("--runs", type=int, default=15)
    args = parser.parse_args()
    bare = os.path.join(args.build, "bench", "barewindow")
    programs = {"bare window": [bare],
                "bare + text": [bare, "text"],
                "form alone": [bare, "form"],
                "idcardshow": [os.path.join(args.build, "app", "idcardshow")]}
    with tempfile.TemporaryDirectory() as runtime_dir:
        os.chmod(runtime_dir, 0o700)
        env = environment(args.build, runtime_dir)
        for program in programs.values():  # warm the page cache and fontconfig's caches
            one_run(program, env)
        runs = {name: [] for name in programs}
        for _ in range(args.runs):
            for name, program in programs.items():
                runs[name].append(one_run(program, env))
        counts = {name: instructions(program, env) for name, program in programs.items()}

    print("%d runs each, alternating; medians in ms" % args.runs)
    print("%-14s %14s %10s %22s" % ("", "first frame", "exit", "instructions to exit"))
    for name in programs:
        frames = statistics.median(r[0] for r in runs[name])
        exits = statistics.median(r[1] for r in runs[name])
        print("%-14s %14.1f %10.1f %22d" % (name, frames, exits, counts[name]))
    for floor in ("bare window", "bare + text"):
        pairs = list(zip(runs["idcardshow"], runs[floor]))
        frame_ratio = statistics.median(a[0] / b[0] for a, b in pairs)
        exit_ratio = statistics.median(a[1] / b[1] for a, b in pairs)
        verdict = "met" if frame_ratio <= TARGET_RATIO else "MISSED"
        print("idcardshow / %-12s pair by pair: first frame %.3f (target at most %.2f: %s), exit %.3f, instructions %.3f"
              % (floor, frame_ratio, TARGET_RATIO, verdict, exit_ratio, counts["idcardshow"] / counts[floor]))
    form_ratio = counts["idcardshow"] / counts["form alone"]
    print("idcardshow / form alone   instructions to exit %.4f (target at most %.2f: %s)"
          % (form_ratio, FORM_TARGET_RATIO, "met" if form_ratio <= FORM_TARGET_RATIO else "MISSED"))


if __name__ == "__main__":
    main()
