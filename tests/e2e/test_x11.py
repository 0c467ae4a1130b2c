#!/usr/bin/python3
"""End to end on a real X server: the real idcardshow against the simulated reader, under
Xvfb with the xcb platform. The window opens centred, a click on its read button shows the
ID card page with the portrait, the program writes no core dump and loads no GL driver, and
a close from the window system ends it with exit code 0. Against stand-in libraries that take
it down during a call, it leaves one line naming the call on standard error; against one that
closed its standard error while loading, it stays usable."""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import xsession  # noqa: E402

SKIP = 77
FORM_SIZE = (513, 397)


def check(condition, message):
    if not condition:
        raise AssertionError(message)
    print("ok:", message)


# STANDIN for the stand-in libraries, the line the window leaves on standard error (None: it
# leaves none), the exit code it ends with, and whether it stays usable and is closed as usual.
MISBEHAVING = [
    ("ICC_Reader_Open=segv", "the driver library crashed in ICC_Reader_Open: signal 11 (SIGSEGV)", -11, False),
    ("ICC_ReadBaseMsgData=abort", "the driver library crashed in ICC_ReadBaseMsgData: signal 6 (SIGABRT)", -6, False),
    ("ICC_ReadBaseMsgData=exit:2", "the driver library ended the process in ICC_ReadBaseMsgData: exit status 2", 2, False),
    ("ICC_Reader_Open=raise:5", "the driver library crashed in ICC_Reader_Open: signal 5 (SIGTRAP)", -5, False),
    ("ICC_Reader_Open=raise:13", "the driver library ended the process in ICC_Reader_Open: signal 13 (SIGPIPE)", -13, False),
    # The library's own crash handler still ends the process, as it would have.
    ("load=own-segv-handler,ICC_Reader_Open=segv", "the driver library crashed in ICC_Reader_Open: signal 11 (SIGSEGV)", 0, False),
    # The failed open's debug message goes to /dev/null, not into the X connection that took fd 2.
    ("load=close:2,ICC_Reader_Open=eacces", None, 0, True),
    # A copy forked in a call ends there, silent, and leaves the window's X connection alone.
    ("ICC_Reader_Open=fork", None, 0, True),
    # An overrun within the guard fails the read; one past it ends the window after its line.
    ("ICC_ReadBaseMsgData=overrun:4000",
     "the driver library wrote past the end of its record buffer (3920 bytes) in ICC_ReadBaseMsgData: at least 80 bytes", 0, True),
    ("ICC_GetSAMIDToStr=overrun:20000",
     "the driver library wrote past the end of its samId buffer (100 bytes) in ICC_GetSAMIDToStr: more than 16383 bytes", 1, False),
]


def check_last_words(server, command, standin, runtime_dir):
    # A sanitizer's own crash handlers and leak check would turn the library's crash or exit into another.
    sanitizer = os.environ.get("ASAN_OPTIONS", "") + ":detect_leaks=0:handle_segv=0:handle_sigbus=0:handle_sigfpe=0"
    for setting, line, code, usable in MISBEHAVING:
        env = {"LD_LIBRARY_PATH": standin, "STANDIN": setting, "ASAN_OPTIONS": sanitizer}
        app = xsession.start_program(server, command, runtime_dir, env, stderr=subprocess.PIPE)
        window = xsession.find_window(server, "Form")
        xsession.click_read_button(server, window)
        if usable:
            xsession.click_read_button(server, window)
            xsession.close_window(server, window)
        errors = app.communicate(timeout=60)[1].decode("utf-8", "replace")
        said = "idcardshow: " + line in errors if line else "idcardshow: " not in errors
        check(said and app.returncode == code, "%s: exit code %d, %s" % (setting, app.returncode, line or "no line"))


def main(command, standin):
    if not shutil.which("Xvfb") or not shutil.which("xdotool"):
        print("skip: Xvfb or xdotool is not installed")
        return SKIP
    server = xsession.XServer()
    try:
        with tempfile.TemporaryDirectory() as runtime_dir:
            os.chmod(runtime_dir, 0o700)
            app = xsession.start_program(server, command, runtime_dir)
            window = xsession.find_window(server, "Form")
            with open("/proc/%d/limits" % app.pid) as limits:
                core = [line.split()[4:6] for line in limits if line.startswith("Max core file size")][0]
            check(core == ["0", "0"], "no core dumps: core size limit %s" % "/".join(core))
            with open("/proc/%d/maps" % app.pid) as maps:
                gl = sorted({line.split()[-1] for line in maps if "libGLX_" in line or "_dri.so" in line})
            check(not gl, "no GL driver loaded: %s" % (gl or "none"))
            wm_class = window.get_wm_class()
            check(wm_class == ("idcardshow", "idcardshow"), "WM_CLASS %s, as the desktop entry's StartupWMClass" % (wm_class,))
            x, y, _, _ = xsession.geometry(window)
            screen_w, screen_h = xsession.SCREEN
            check((x, y) == ((screen_w - FORM_SIZE[0]) // 2, (screen_h - FORM_SIZE[1]) // 2),
                  "window centred on a %dx%d screen at %d,%d" % (screen_w, screen_h, x, y))
            before = xsession.pixels(window)
            check(xsession.count_colour(before, xsession.PORTRAIT_BACKGROUND) == 0, "no portrait on the read tip page")

            xsession.click_read_button(server, window)
            after = xsession.wait_for_portrait(window, timeout=60)
            shown = xsession.count_colour(after, xsession.PORTRAIT_BACKGROUND)
            check(shown > 2000, "portrait shows after the read (%d background pixels)" % shown)
            check(after != before, "the ID card page replaced the read tip page")

            xsession.close_window(server, window)
            code = app.wait(timeout=60)
            check(code == 0, "exit code %d after WM_DELETE_WINDOW" % code)
            check_last_words(server, command, standin, runtime_dir)
    finally:
        server.close()
    return 0


if __name__ == "__main__":
    # The program's command (an emulator may come before it), then the stand-ins' folder.
    sys.exit(main(sys.argv[1:-1], sys.argv[-1]))
