#!/usr/bin/python3
"""Runs idcardshow on a private virtual X server (Xvfb), reads an ID card by clicking its
button, and takes a screenshot of the window. Used by scripts/run without a display and by
the end-to-end test. Needs Debian's python3-xlib, Xvfb and xdotool."""

import argparse
import os
import subprocess
import sys
import tempfile
import time
import zlib
import struct

from Xlib import X, display as xdisplay, protocol

SCREEN = (1024, 768)
# Where btn_reread sits, from the window's bottom-left corner: the first of five buttons
# sharing the bottom row.
READ_BUTTON_FROM_BOTTOM_LEFT = (50, 22)
PORTRAIT_BACKGROUND = (0x6F, 0xA8, 0xDC)


class XServer:
    """A virtual X server on a display number it picks itself."""

    def __init__(self):
        reader, writer = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(writer), "-screen", "0", "%dx%dx24" % SCREEN, "-nolisten", "tcp"],
            pass_fds=[writer], stderr=subprocess.DEVNULL)
        os.close(writer)
        with os.fdopen(reader) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number
        self.display = xdisplay.Display(self.name)

    def close(self):
        self.display.close()
        self.process.terminate()
        self.process.wait()


def window_title(server, window):
    for atom in ("_NET_WM_NAME", "WM_NAME"):
        prop = window.get_full_property(server.display.intern_atom(atom), X.AnyPropertyType)
        if prop:
            value = prop.value
            return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)
    return None


def find_window(server, title, timeout=60):
    """The viewable top-level window with this title."""
    root = server.display.screen().root
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        for window in root.query_tree().children:
            if window.get_attributes().map_state == X.IsViewable and window_title(server, window) == title:
                return window
        time.sleep(0.1)
    raise RuntimeError("no window titled %r appeared" % title)


def geometry(window):
    g = window.get_geometry()
    return g.x, g.y, g.width, g.height


def pixels(window):
    """The window's pixels as rows of (r, g, b) tuples."""
    _, _, width, height = geometry(window)
    data = window.get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF).data
    return [[(data[i + 2], data[i + 1], data[i]) for i in range(y * width * 4, (y + 1) * width * 4, 4)]
            for y in range(height)]


def count_colour(rows, colour):
    return sum(row.count(colour) for row in rows)


def write_png(rows, path):
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 2, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def click(server, x, y):
    env = dict(os.environ, DISPLAY=server.name)
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], env=env, check=True)


def click_read_button(server, window):
    x, y, _, height = geometry(window)
    dx, dy = READ_BUTTON_FROM_BOTTOM_LEFT
    click(server, x + dx, y + height - dy)


def wait_for_portrait(window, timeout=10):
    """The window's pixels once the simulated portrait shows in it."""
    deadline = time.monotonic() + timeout
    while True:
        rows = pixels(window)
        if count_colour(rows, PORTRAIT_BACKGROUND) > 2000 or time.monotonic() > deadline:
            return rows
        time.sleep(0.2)


def close_window(server, window):
    """Asks the window to close as a title bar's close control does: WM_DELETE_WINDOW."""
    d = server.display
    event = protocol.event.ClientMessage(
        window=window, client_type=d.intern_atom("WM_PROTOCOLS"),
        data=(32, [d.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
    window.send_event(event)
    d.flush()


def start_program(server, command, runtime_dir, extra_env=None, stderr=None):
    """Starts the program (a command list: an emulator may come first) on the server."""
    env = {name: value for name, value in os.environ.items() if not name.startswith("QT_")}
    env.update(DISPLAY=server.name, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=runtime_dir, **(extra_env or {}))
    env.pop("WAYLAND_DISPLAY", None)
    return subprocess.Popen(command, env=env, stderr=stderr)


def screenshot_after_read(program, out):
    """Reads the simulated card in a headless window and saves a screenshot; the exit code."""
    server = XServer()
    try:
        with tempfile.TemporaryDirectory() as runtime_dir:
            os.chmod(runtime_dir, 0o700)
            app = start_program(server, [program], runtime_dir)
            window = find_window(server, "Form")
            click_read_button(server, window)
            write_png(wait_for_portrait(window), out)
            close_window(server, window)
            return app.wait(timeout=10)
    finally:
        server.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("program")
    parser.add_argument("screenshot")
    args = parser.parse_args()
    code = screenshot_after_read(args.program, args.screenshot)
    print(os.path.abspath(args.screenshot))
    return code


if __name__ == "__main__":
    sys.exit(main())
