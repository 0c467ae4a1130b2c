#!/usr/bin/python3
"""What a normal read through idcardshow-check costs: the tool run against the simulated reader
with its fictional card, whole process from exec to exit, for several runs; with --baseline,
alternating with another build of the tool (one before a change) and printing the median
difference, pair by pair, against the target."""

import argparse
import os
import statistics
import subprocess
import tempfile
import time

TARGET_MS = 50.0


def one_run(command, env):
    """Milliseconds from exec to exit of one whole check; it must read everything."""
    start = time.monotonic_ns()
    done = subprocess.run(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = (time.monotonic_ns() - start) / 1e6
    if done.returncode != 0:
        raise RuntimeError("%s ended with exit code %d" % (command[0], done.returncode))
    return elapsed


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", default="build")
    parser.add_argument("--baseline", help="another idcardshow-check to compare with")
    parser.add_argument("--runs", type=int, default=30)
    args = parser.parse_args()
    tools = {"this build": [os.path.join(args.build, "check", "idcardshow-check")]}
    if args.baseline:
        tools["baseline"] = [args.baseline]
    with tempfile.TemporaryDirectory() as runtime_dir:
        os.chmod(runtime_dir, 0o700)
        env = dict(os.environ, KESTREL_SIM="card", XDG_RUNTIME_DIR=runtime_dir, LANG="C.UTF-8",
                   LD_LIBRARY_PATH=os.path.join(args.build, "simdriver"))
        for tool in tools.values():  # warm the page cache
            one_run(tool, env)
        runs = {name: [] for name in tools}
        for _ in range(args.runs):
            for name, tool in tools.items():
                runs[name].append(one_run(tool, env))

    print("%d runs each%s; exec to exit, ms" % (args.runs, ", alternating" if args.baseline else ""))
    for name in tools:
        print("%-12s median %7.1f   min %7.1f   max %7.1f"
              % (name, statistics.median(runs[name]), min(runs[name]), max(runs[name])))
    if args.baseline:
        extra = statistics.median(a - b for a, b in zip(runs["this build"], runs["baseline"]))
        print("this build - baseline, pair by pair: median %+.1f ms (target under %+.0f ms: %s)"
              % (extra, TARGET_MS, "met" if extra < TARGET_MS else "MISSED"))


if __name__ == "__main__":
    main()
