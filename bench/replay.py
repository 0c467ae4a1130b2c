#!/usr/bin/python3
"""Measures what a hostile replay folder costs: idcardshow-check, which reads both cards through
the simulated reader as the window does, runs once against each crafted folder below; prints
its wall time and peak memory against the targets (0.5 s, 100 MB). A read that blocks is
killed after a few seconds and shown as blocked. Devices are made only when run as root."""

import argparse
import os
import stat
import subprocess
import tempfile
import time

TARGET_SECONDS = 0.5
TARGET_MB = 100
BLOCKED_AFTER = 5


def regular_capture(folder):
    with open(os.path.join(folder, "record.bin"), "wb") as file:
        file.write(bytes(3920))
    with open(os.path.join(folder, "social.txt"), "wb") as file:
        file.write(b"x")


def make_device(path):
    os.mknod(path, 0o600 | stat.S_IFCHR, os.makedev(1, 5))  # as /dev/zero


def make_sparse(path):
    with open(path, "wb") as file:
        file.truncate(4 << 30)


def make_many_photos(path):
    for i in range(20000):
        open("%s.%06d" % (path, i), "wb").close()


# What takes the place of which file of a regular capture.
CASES = [
    ("regular files (for comparison)", None, None),
    ("record.bin a FIFO", "record.bin", os.mkfifo),
    ("social.txt a FIFO", "social.txt", os.mkfifo),
    ("photo.bmp a FIFO", "photo.bmp", os.mkfifo),
    ("record.bin a link to /dev/zero", "record.bin", lambda path: os.symlink("/dev/zero", path)),
    ("photo.bmp a link to /dev/zero", "photo.bmp", lambda path: os.symlink("/dev/zero", path)),
    ("photo.bmp a link to /etc/passwd", "photo.bmp", lambda path: os.symlink("/etc/passwd", path)),
    ("record.bin a device (as /dev/zero)", "record.bin", make_device),
    ("photo.bmp a device (as /dev/zero)", "photo.bmp", make_device),
    ("photo.bmp a sparse file of 4 GiB", "photo.bmp", make_sparse),
    ("20,000 files named photo.*", "photo", make_many_photos),
]


def measure(command, env):
    """Seconds, peak resident MB and exit code of one run; None seconds when it blocked."""
    start = time.monotonic()
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = start + BLOCKED_AFTER
    while True:
        pid, status, usage = os.wait4(process.pid, os.WNOHANG)
        if pid:
            return time.monotonic() - start, usage.ru_maxrss / 1024, os.waitstatus_to_exitcode(status)
        if time.monotonic() > deadline:
            process.kill()
            _, _, usage = os.wait4(process.pid, 0)
            return None, usage.ru_maxrss / 1024, None
        time.sleep(0.005)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", default="build")
    args = parser.parse_args()
    command = [os.path.join(args.build, "check", "idcardshow-check")]
    root = os.geteuid() == 0
    with tempfile.TemporaryDirectory() as runtime_dir:
        os.chmod(runtime_dir, 0o700)
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime_dir, LANG="C.UTF-8",
                   LD_LIBRARY_PATH=os.path.join(args.build, "simdriver"))
        print("%-36s %6s %10s %10s  %s" % ("replay folder", "exit", "seconds", "peak MB", "targets"))
        for label, name, make in CASES:
            if make is make_device and not root:
                print("%-36s (not root: no device made)" % label)
                continue
            with tempfile.TemporaryDirectory(dir=runtime_dir) as folder:
                regular_capture(folder)
                if make:
                    path = os.path.join(folder, name)
                    if os.path.exists(path):
                        os.remove(path)
                    make(path)
                env["KESTREL_SIM"] = "replay:" + folder
                seconds, megabytes, code = measure(command, env)
            met = seconds is not None and seconds < TARGET_SECONDS and megabytes < TARGET_MB
            print("%-36s %6s %10s %10.1f  %s" % (label, "-" if code is None else code,
                                                "blocked" if seconds is None else "%.3f" % seconds, megabytes,
                                                "met" if met else "MISSED"))


if __name__ == "__main__":
    main()
