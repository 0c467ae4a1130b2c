#!/usr/bin/python3
"""idcardshow-check against the simulated reader and stand-ins for vendor libraries: each failing
stage gives its message and exit code, each library that does not load has its cause named,
each library that crashes, ends the process, hangs or closes a descriptor has it named with
the call, wrong arguments point to --help, personal data is masked, the output follows the
locale, and captures replay, stay private and redact."""

import concurrent.futures
import fcntl
import os
import re
import resource
import shlex
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile
import termios
import time
import unicodedata
import unittest

COMMAND = []       # the tool, an emulator maybe before it
SIMULATOR = ""     # the folder of the simulated driver libraries
STANDIN = ""       # stand-ins that misbehave as STANDIN says (standin.cpp), with their helper library
NEEDS_USB = ""     # a card library whose helper libvendorusb.so.0 is not beside it
NO_SONAME = ""     # a card library shipped as libKestrelCardDriver.so, without a SONAME
GB18030_LOCALE = None  # localedef making a GB18030 locale in a folder of its own (setUpModule)
INTERRUPTER = ""   # preloaded, sends INTERRUPT_SIGNAL while a capture file is written (interruptwrite.cpp)
HOLDER = ["王小明", "北京市东城区示例路88号", "110101199003071233", "北京市公安局东城分局"]
# Where each text field of the 3920-byte record starts.
OFFSETS = {"name": 4, "sex": 36, "nation": 44, "birth": 64, "address": 76, "id": 148, "agency": 168,
           "from": 200, "to": 212}
# What a terminal would act on: C0 but newline, DEL, C1 and the bidirectional controls; and
# the line and paragraph separators, where a reader may split lines.
CONTROLS = set(range(0x20)) - {0x0a} | {0x7f} | set(range(0x80, 0xa0)) | \
    {0x61c, 0x200e, 0x200f, 0x2028, 0x2029} | set(range(0x202a, 0x202f)) | set(range(0x2066, 0x206a))


def disguising(text):
    """The characters of text that would move the cursor, retitle a terminal, hide or reorder a line."""
    return {c for c in text if ord(c) in CONTROLS or unicodedata.category(c) == "Cf"
            or unicodedata.bidirectional(c) in ("R", "AL", "AN")}


def tiny_bmp():
    """A 1 x 1 24-bit BMP: a photo the tool reads and shows."""
    pixels = b"\x80\x80\x80\x00"
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, 1, 1, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def check_character(first17):
    weights = [7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2]
    return "10X98765432"[sum(int(d) * w for d, w in zip(first17, weights)) % 11]


def setUpModule():
    """A GB18030 locale of the tests' own, made while other tests run: it takes half a minute emulated."""
    global GB18030_LOCALE
    locales = tempfile.mkdtemp()
    GB18030_LOCALE = subprocess.Popen(["localedef", "-i", "zh_CN", "-f", "GB18030", os.path.join(locales, "zh_CN.GB18030")],
                                      stdout=subprocess.DEVNULL)
    unittest.addModuleCleanup(shutil.rmtree, locales)



def emulated():
    """Whether the tool runs emulated: through the emulator a cross build names, or in a whole
    system of another architecture whose programs the kernel hands to qemu-user (binfmt_misc).
    qemu-user sets no seccomp filter and traces nothing for the program it runs."""
    if len(COMMAND) > 1:
        return True
    machines = {62: "x86_64", 183: "aarch64"}
    with open(COMMAND[-1], "rb") as tool:
        machine = machines.get(struct.unpack_from("<H", tool.read(20), 18)[0])
    try:
        with open("/proc/sys/kernel/arch") as arch:  # the kernel's own, which qemu-user does not change
            return machine is not None and arch.read().strip() != machine
    except OSError:
        return False

class CheckTool(unittest.TestCase):
    def setUp(self):
        self.runtime = tempfile.TemporaryDirectory()
        os.chmod(self.runtime.name, 0o700)
        self.addCleanup(self.runtime.cleanup)  # after any unmount a test adds
        self.photo = os.path.join(self.runtime.name, "standin.bmp")
        with open(self.photo, "wb") as file:
            file.write(tiny_bmp())

    def run_tool(self, *args, scenario="card", libraries=None, lang="C.UTF-8", encoding="utf-8", **variables):
        env = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k != "LANGUAGE"}
        env.update(LANG=lang, KESTREL_SIM=scenario, XDG_RUNTIME_DIR=self.runtime.name,
                   LD_LIBRARY_PATH=libraries or SIMULATOR, **variables)
        result = subprocess.run(COMMAND + list(args), env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                timeout=120)
        self.errors = result.stderr.decode(encoding)
        return result.returncode, result.stdout.decode(encoding)

    def standin_env(self, setting, lang):
        env = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k != "LANGUAGE"}
        # A sanitizer's own crash handlers and leak check would turn the library's crash or exit into another.
        asan = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0:handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0"
        # Marks every process of the run, wherever it goes, to find any left running.
        env.update(LANG=lang, STANDIN=setting, STANDIN_PHOTO=self.photo, LD_LIBRARY_PATH=STANDIN, ASAN_OPTIONS=asan,
                   XDG_RUNTIME_DIR=self.runtime.name, STANDIN_RUN=self.runtime.name)
        return env

    def left_running(self):
        """The processes of the run that are still there."""
        marker = b"\0STANDIN_RUN=%s\0" % self.runtime.name.encode()
        left = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/environ" % pid, "rb") as environ:
                    if marker in b"\0" + environ.read():
                        left.append(int(pid))
            except OSError:
                pass
        return left

    def assert_nothing_left(self):
        """No process of the run is left; any that is gets killed, so that it spoils no other case."""
        left = self.left_running()
        for pid in left:
            os.kill(pid, signal.SIGKILL)
        self.assertEqual(left, [], "left running")

    def run_standin(self, setting, *args, lang="C.UTF-8", timeout=15, encoding="utf-8", **variables):
        """The tool against the stand-ins, STANDIN set, from a working folder of its own; it must end by itself and
        leave nothing running."""
        env = dict(self.standin_env(setting, lang), **variables)
        result = subprocess.run(COMMAND + list(args), env=env, cwd=self.runtime.name, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, timeout=timeout)
        self.assert_nothing_left()
        return result.returncode, result.stdout.decode(encoding)

    def card_library_copy(self, offset, value):
        """A folder holding the simulated card library with header bytes changed."""
        with open(os.path.join(SIMULATOR, "libKestrelCardDriver.so.1"), "rb") as file:
            library = bytearray(file.read())
        library[offset:offset + len(value)] = value
        folder = tempfile.mkdtemp(dir=self.runtime.name)
        with open(os.path.join(folder, "libKestrelCardDriver.so.1"), "wb") as file:
            file.write(library)
        return folder

    def test_library_causes(self):
        with open(os.path.join(SIMULATOR, "libKestrelCardDriver.so.1"), "rb") as file:
            arm64 = struct.unpack_from("<H", file.read(20), 18)[0] == 183
        other_machine = struct.pack("<H", 62 if arm64 else 183)  # x86-64 or AArch64
        wrong_function = tempfile.mkdtemp(dir=self.runtime.name)
        for soname in ("libKestrelCardDriver.so.1", "libKestrelSE32.so.1"):
            os.symlink(os.path.join(SIMULATOR, "libKestrelCardDriver.so.1"), os.path.join(wrong_function, soname))
        dangling, folder_named = (tempfile.mkdtemp(dir=self.runtime.name) for _ in range(2))
        os.symlink("/nonexistent/libKestrelCardDriver.so.1", os.path.join(dangling, "libKestrelCardDriver.so.1"))
        os.mkdir(os.path.join(folder_named, "libKestrelCardDriver.so.1"))
        cases = [
            (dangling, 1, "libKestrelCardDriver.so.1 is a link to /nonexistent/libKestrelCardDriver.so.1, which does not",
             "libKestrelCardDriver.so.1 是指向 /nonexistent/libKestrelCardDriver.so.1 的链接"),
            (folder_named, 1, "libKestrelCardDriver.so.1 is a folder, not a library", "libKestrelCardDriver.so.1 是一个目录"),
            (self.card_library_copy(18, other_machine), 1,
             "libKestrelCardDriver.so.1 is built for", "libKestrelCardDriver.so.1 是为"),
            (self.card_library_copy(4, b"\x01"), 1, "is a 32-bit library", "是 32 位的库"),
            (self.card_library_copy(4, b"\x00"), 1, "libKestrelCardDriver.so.1 is not a shared library",
             "libKestrelCardDriver.so.1 不是共享库"),
            (NO_SONAME, 1, "libKestrelCardDriver.so has no SONAME", "libKestrelCardDriver.so 没有 SONAME"),
            (NEEDS_USB, 1, "needs libvendorusb.so.0, which the loader did not find",
             "依赖的 libvendorusb.so.0 未被动态链接器找到"),
            (wrong_function, 1, "libKestrelSE32.so.1 has no function iReadCardBas_noPasam: it is another version",
             "libKestrelSE32.so.1 中没有函数 iReadCardBas_noPasam：这个驱动库的版本"),
            (SIMULATOR, 0, "libKestrelSE32.so.1: the project's simulated reader",
             "libKestrelCardDriver.so.1、libKestrelSE32.so.1：这是本项目的模拟读卡器"),
        ]
        for folder, code, english, chinese in cases:
            for lang, cause in (("C.UTF-8", english), ("zh_CN.UTF-8", chinese)):
                with self.subTest(cause=cause):
                    got, out = self.run_tool(libraries=folder, lang=lang)
                    self.assertEqual(got, code, out)
                    self.assertIn(cause, out)
                    if folder in (wrong_function, SIMULATOR):
                        self.assertNotIn(folder + ",", out)  # no folder list when every library loaded

    def test_wrong_arguments(self):
        cases = [
            (["foo"], "Unexpected argument: foo.", "多余的参数：foo。"),
            (["--help-all"], "Unknown option '--help-all'.", "未知选项“--help-all”。"),
            (["-x", "--bogus=1"], "Unknown options: -x, --bogus.", "未知选项：-x、--bogus。"),
            (["--show-personal-data=1"], "Unexpected value after '--show-personal-data'.",
             "“--show-personal-data”后面不能带值。"),
            (["--capture"], "Missing value after '--capture'.", "“--capture”后缺少值。"),
            (["--redact"], "--redact works only with --capture FOLDER.", "--redact 只能与 --capture <目录> 一起使用。"),
        ]
        for args, english, chinese in cases:
            for lang, message, help in (("C.UTF-8", english, "Run `idcardshow-check --help`"),
                                        ("zh_CN.UTF-8", chinese, "运行 `idcardshow-check --help`")):
                with self.subTest(args=args, lang=lang):
                    code, _ = self.run_tool(*args, lang=lang)
                    self.assertEqual(code, 64)
                    self.assertEqual(self.errors.splitlines()[0], message)
                    self.assertIn(help, self.errors)

    def test_help_fits_80_columns(self):
        """Counted in terminal cells, a Chinese character taking two."""
        for lang, line in (("C.UTF-8", "Show the version."), ("zh_CN.UTF-8", "显示版本信息。")):
            with self.subTest(lang=lang):
                code, out = self.run_tool("--help", lang=lang)
                self.assertEqual(code, 0)
                self.assertIn(line, out)
                cells = {text: sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)
                         for text in out.splitlines()}
                self.assertEqual({text: width for text, width in cells.items() if width > 80}, {})

    def replay_folder(self, fields=None, social=None, photo=None):
        """A crafted capture: the record's text fields as given, the rest zero."""
        folder = tempfile.mkdtemp(dir=self.runtime.name)
        record = bytearray(3920)
        for field, value in (fields or {}).items():
            record[OFFSETS[field]:OFFSETS[field] + len(value)] = value
        with open(os.path.join(folder, "record.bin"), "wb") as file:
            file.write(record)
        if social is not None:
            with open(os.path.join(folder, "social.txt"), "wb") as file:
                file.write(social)
        if photo is not None:
            with open(os.path.join(folder, photo[0]), "wb") as file:
                file.write(photo[1])
        return folder

    def test_stages(self):
        with tempfile.TemporaryDirectory() as no_photo:
            with open(os.path.join(no_photo, "record.bin"), "wb") as record:
                record.write(b"\0" * 3920)
            cases = [
                ("card", 0, "Result: everything was read (exit code 0)."),
                ("no-reader", 2, 'ICC_Reader_Open("") = -1: the reader did not open'),
                ("no-card", 3, "ICC_ReadBaseMsgData(0, 0, photoPath, record) = -2: no ID card was read"),
                ("no-card", 3, "  SAM ID: 05.01-20201201-0000000001-2147483647\n"),
                ("replay:" + no_photo, 4, "Photo file: (the library named none)"),
                ("no-social-card", 5, "iReadCardBas_noPasam(1, 100, data) = -1: no social security card was read"),
                ("replay:" + self.replay_folder(photo=("photo.bin", bytes(1040000))), 4,
                 "    1,015.6 KiB that the window does not show"),
            ]
            for scenario, code, line in cases:
                with self.subTest(scenario=scenario):
                    got, out = self.run_tool(scenario=scenario)
                    self.assertEqual(got, code, out)
                    self.assertIn(line, out)

    def test_missing_libraries_and_functions(self):
        with tempfile.TemporaryDirectory() as folder:
            code, out = self.run_tool(libraries=folder)
            self.assertEqual(code, 1)
            for soname in ("libKestrelCardDriver.so.1", "libKestrelSE32.so.1"):
                self.assertIn("%s was not loaded" % soname, out)
            self.assertIn("The loader looked in these folders, in this order: " + folder, out)
            # A social security library without its function: the card library under its name.
            card = os.path.join(SIMULATOR, "libKestrelCardDriver.so.1")
            for soname in ("libKestrelCardDriver.so.1", "libKestrelSE32.so.1"):
                os.symlink(card, os.path.join(folder, soname))
            code, out = self.run_tool(libraries=folder)
            self.assertEqual(code, 1)
            self.assertIn("libKestrelSE32.so.1 has no function iReadCardBas_noPasam", out)

    def test_personal_data_masked_unless_asked(self):
        _, masked = self.run_tool()
        self.assertIn("Name: 王**", masked)
        self.assertIn("Citizen identity number: 1101**********1233", masked)
        self.assertIn("Issuing authority: 北京市*******", masked)
        for value in HOLDER:
            self.assertNotIn(value, masked)
        _, shown = self.run_tool("--show-personal-data")
        for value in HOLDER:
            self.assertIn(value, shown)
        # A character beyond 16 bits is one character, kept whole or one star.
        _, masked = self.run_tool(scenario="replay:" + self.replay_folder({"name": "𠮷小明".encode()}))
        self.assertIn("Name: 𠮷**\n", masked)

    def test_chinese_locale(self):
        code, out = self.run_tool(scenario="no-reader", lang="zh_CN.UTF-8")
        self.assertEqual(code, 2)
        self.assertIn("读卡器未能打开", out)
        self.assertIn("结果：打开读卡器失败（退出码 2）。", out)
        self.assertIn("本次检查以", out)

    def test_terminal_encodings(self):
        """What a terminal in each locale shows: Chinese in the locale's encoding, the C library's error text decoded
        from it, what the encoding lacks escaped; English where it lacks simplified Chinese, in ASCII where the
        encoding cannot be served."""
        self.assertEqual(GB18030_LOCALE.wait(), 0)
        locales = os.path.dirname(GB18030_LOCALE.args[-1])
        no_social = "replay:" + self.replay_folder({"name": "王小明𠀀".encode()})
        # The C library's own words there: Chinese where its message catalogues are installed.
        in_gb18030 = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k != "LANGUAGE"}
        in_gb18030.update(LANG="zh_CN.GB18030", LOCPATH=locales)
        no_file = subprocess.run([sys.executable, "-c", "import locale, os, sys; locale.setlocale(locale.LC_ALL, ''); "
                                  "sys.stdout.buffer.write(os.strerror(2).encode('gb18030'))"], env=in_gb18030,
                                 stdout=subprocess.PIPE, check=True).stdout.decode("gb18030")
        english = ["  Name: \\u738b\\u5c0f\\u660e\\U00020000", "Result: showing the photo failed (exit code 4)."]
        cases = [
            # LANG, the terminal's encoding, lines it shows
            ("zh_CN.GB18030", "gb18030", ["  姓名：王小明𠀀", "errno 2：%s）" % no_file,
                                          "结果：显示照片失败（退出码 4）。"]),
            ("zh_CN.GBK", "gbk", ["  姓名：王小明\\U00020000", "结果：显示照片失败（退出码 4）。"]),
            ("zh_CN.BIG5", "big5", ["  Name: 王小明\\U00020000"]),  # English: Big5 lacks simplified characters
            ("zh_CN.NO-SUCH-ENCODING", "ascii", english),
            ("zh_CN.UTF-16", "ascii", english),  # ASCII as two bytes a character
            ("zh_CN.ISO-2022-CN", "ascii", english),  # Chinese between escape sequences
            ("zh_CN.ASCII//TRANSLIT", "ascii", english),  # 王 as a question mark
            ("zh_CN.ASCII//IGNORE", "ascii", english),  # 王 left out
            ("zh_CN", "ascii", english),  # not installed, and naming no encoding
        ]
        for lang, encoding, lines in cases:
            with self.subTest(lang=lang):
                _, out = self.run_tool("--show-personal-data", scenario=no_social, lang=lang, encoding=encoding,
                                       LOCPATH=locales)
                for line in lines:
                    self.assertIn(line, out)
        # What a GBK library prints reads in a GB18030 locale, and keeps its bytes elsewhere.
        for lang, encoding, line in (("zh_CN.GB18030", "gb18030", "  [驱动库 stdout] 读卡器错误"),
                                     ("C.UTF-8", "utf-8", "  [library stdout] \\xb6\\xc1\\xbf\\xa8\\xc6\\xf7\\xb4\\xed\\xce\\xf3")):
            with self.subTest(lang=lang, library="GBK"):
                _, out = self.run_standin("ICC_Reader_Open=print-gbk", lang=lang, encoding=encoding, LOCPATH=locales)
                self.assertIn(line, out)

    def capture(self, *extra):
        folder = os.path.join(self.runtime.name, "capture")
        code, out = self.run_tool("--capture", folder, *extra)
        self.assertEqual(code, 0, out)
        return folder

    def replayed_fields(self, scenario):
        code, out = self.run_tool("--show-personal-data", scenario=scenario)
        self.assertEqual(code, 0, out)
        # The card's fields and the social security text: no call's result or library's path, which tell durations.
        return [line for line in out.splitlines()
                if line.startswith("  ") and not re.search(r" = |, loaded in |Photo file", line)]

    def test_capture_replays_privately(self):
        folder = self.capture()
        self.assertEqual(sorted(os.listdir(folder)), ["photo.bmp", "record.bin", "social.txt"])
        self.assertEqual(stat.S_IMODE(os.stat(folder).st_mode), 0o700)
        for name in os.listdir(folder):
            self.assertEqual(stat.S_IMODE(os.stat(os.path.join(folder, name)).st_mode), 0o600)
        self.assertEqual(self.replayed_fields("replay:" + folder), self.replayed_fields("card"))
        code, out = self.run_tool("--capture", folder)
        self.assertEqual(code, 6)
        self.assertIn("is not empty", out)

    def test_capture_folder_named_by_its_bytes(self):
        cases = [("捕获".encode("gb18030"), "\\xb2\\xb6\\xbb\\xf1"), (b"cap\xff\xfe", "cap\\xff\\xfe")]  # 捕获 typed in GB18030
        for name, shown in cases:
            with self.subTest(shown=shown):
                folder = os.path.join(os.fsencode(self.runtime.name), name)
                code, out = self.run_tool("--capture", folder)
                self.assertEqual(code, 0, out)
                self.assertEqual(sorted(os.listdir(folder)), [b"photo.bmp", b"record.bin", b"social.txt"])
                self.assertIn(shown + ": record.bin", out)

    def test_interrupted_capture_leaves_nothing(self):
        asan = os.environ.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0"
        for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            with self.subTest(signal=number.name):
                folder = tempfile.mktemp(dir=self.runtime.name)
                code, out = self.run_tool("--capture", folder, LD_PRELOAD=INTERRUPTER, INTERRUPT_SIGNAL=str(int(number)),
                                          ASAN_OPTIONS=asan)
                self.assertEqual(code, -number, out)  # ends by the signal, so that a calling shell stops too
                self.assertIn("No capture was kept: the check was interrupted by signal %d (%s). Nothing of the card was "
                              "left: %s, which the check had made for it, was removed." % (number, number.name, folder), out)
                self.assertFalse(os.path.lexists(folder))
        # Ctrl-C during a slow read: the folder made for the capture goes too.
        folder = tempfile.mktemp(dir=self.runtime.name)
        env = dict(os.environ, LANG="C.UTF-8", KESTREL_SIM="slow:5", LD_LIBRARY_PATH=SIMULATOR,
                   XDG_RUNTIME_DIR=self.runtime.name)
        with subprocess.Popen(COMMAND + ["--capture", folder], env=env, stdout=subprocess.PIPE) as tool:
            while tool.stdout.readline() not in (b"ID card read:\n", b""):
                pass
            tool.send_signal(signal.SIGINT)
            self.assertEqual(tool.wait(timeout=15), -signal.SIGINT)
        self.assertFalse(os.path.lexists(folder))

    def test_unfinished_capture_of_a_stopped_run(self):
        cases = [
            # what the stopped run left in its temporary folder, exit code, what the tool says
            ("record.bin", 0, "held a card's data: {0}/.capture-0123456789abcdef (record.bin). The check removed it."),
            ("", 0, "The check removed {0}/.capture-0123456789abcdef, an empty temporary folder"),
            ("folder/", 6, "Delete it with `rm -r -- $'{1}/.capture-0123456789abcdef'` and run the check again"),
        ]
        for left, code, message in cases:
            with self.subTest(left=left):
                # A quote, a backslash, a line break and a byte that is no text: the command must delete the folder.
                folder = tempfile.mkdtemp(dir=self.runtime.name, prefix="it's\\\n" + os.fsdecode(b"\xff"))
                shown = folder.replace("\\", "\\\\").replace("\n", "\\x0a").replace(os.fsdecode(b"\xff"), "\\xff")
                staging = os.path.join(folder, ".capture-0123456789abcdef")
                os.makedirs(os.path.join(staging, "folder") if left.endswith("/") else staging)
                if left and not left.endswith("/"):
                    open(os.path.join(staging, left), "wb").close()
                got, out = self.run_tool("--capture", folder)
                self.assertEqual(got, code, out)
                self.assertIn(message.format(shown, shown.replace("'", "'\"'\"$'")), out)
                if code:
                    subprocess.run(["bash", "-c", re.search("`(rm .*)`", out).group(1)], check=True)
                self.assertFalse(os.path.exists(staging))

    def test_redacted_capture(self):
        # The card as a driver might write it, with data in bytes the program never reads.
        source = self.capture()
        with open(os.path.join(source, "record.bin"), "r+b") as file:
            file.seek(2356)
            file.write(HOLDER[0].encode() * 100)
        folder = os.path.join(self.runtime.name, "redacted")
        code, out = self.run_tool("--capture", folder, "--redact", scenario="replay:" + source)
        self.assertEqual(code, 0, out)
        everything = b""
        for name in os.listdir(folder):
            with open(os.path.join(folder, name), "rb") as file:
                everything += file.read()
        for value in HOLDER + ["19900307"]:
            self.assertNotIn(value.encode(), everything)
        with open(os.path.join(folder, "record.bin"), "rb") as file:
            record = file.read()
        self.assertEqual(record[1332:], bytes(3920 - 1332))
        number = record[148:166].decode()
        self.assertEqual(number[17], check_character(number[:17]))
        self.assertIn("Kept as read, as each holds only a valid code, name or date: sex, ethnic group, start of "
                      "validity, end of validity.", out)
        fields = self.replayed_fields("replay:" + folder)
        self.assertIn("  Period of validity: 2020.01.01-2040.01.01", fields)
        self.assertIn("  Name: 甲乙丙", fields)
        self.assertIn("  Citizen identity number: " + number, fields)

    def test_control_characters_are_escaped(self):
        esc_library = os.path.join(self.runtime.name, "lib\x1b[2J")
        os.mkdir(esc_library)
        cases = [
            ("esc in validity", {"to": b"2040.01.01\x1b]0;title\x07\x1b[1A\x1b[2K"}, None, None, None, "\\x1b]0;title\\x07"),
            ("c1 in name", {"name": "王\u009b小明".encode()}, None, None, None, "王\\u009b小明"),
            ("bidi override in name", {"name": "王\u202e小明\u2066".encode()}, None, None, None, "王\\u202e小明\\u2066"),
            ("right-to-left letters in the address", {"address": "北京\u05d0\U00010900".encode()}, None, None, None,
             "北京\\u05d0\\U00010900"),
            ("cr in photo path", {}, None, ("photo.\r\x1b[1Abmp", tiny_bmp()), None, "photo.\\x0d\\x1b[1Abmp"),
            ("tab and del in social text", {}, b"a\tb\x7fc\x1b[31m", None, None, "a\\x09b\\x7fc\\x1b[31m"),
            ("zero-width space and byte order mark in social text", {}, "a\u200bb\ufeffc".encode(), None, None,
             "a\\u200bb\\ufeffc"),
            ("esc in a library folder", {}, None, None, esc_library, "lib\\x1b[2J"),
            # A reader that splits lines at U+2028 would see a forged result line; a real ESC and the text \x1b differ.
            ("line separators and backslashes in social text", {},
             "a\u2028Result: everything was read (exit code 0).\u2029\x1b\\x1b".encode(), None, None,
             "a\\u2028Result: everything was read (exit code 0).\\u2029\\x1b\\\\x1b"),
        ]
        for name, fields, social, photo, libraries, escaped in cases:
            with self.subTest(name):
                folder = self.replay_folder(fields, social, photo)
                _, out = self.run_tool("--show-personal-data", scenario="replay:" + folder, libraries=libraries)
                self.assertIn(escaped, out)
                self.assertFalse(disguising(out), out)
                _, masked = self.run_tool(scenario="replay:" + folder, libraries=libraries)
                self.assertFalse(disguising(masked), masked)

    def mounted_full_disk(self, folder):
        os.mkdir(folder)
        try:
            mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=16k,mode=0700", "tmpfs", folder],
                                     stderr=subprocess.DEVNULL).returncode == 0
        except FileNotFoundError:
            mounted = False
        if not mounted:
            self.skipTest("cannot mount a 16 KiB tmpfs here (needs root and the mount command, which scripts/setup "
                          "installs): the full disk is not tried")
        self.addCleanup(subprocess.run, ["umount", folder])

    def test_capture_refusals_leave_nothing(self):
        def others_folder(folder):
            if os.geteuid() != 0:
                self.skipTest("not root: cannot give a folder to another user")
            os.mkdir(folder)
            os.chown(folder, 65534, 65534)

        target = os.path.join(self.runtime.name, "target")

        def link_with_slash(folder):
            os.makedirs(target, exist_ok=True)
            os.symlink(target, folder)

        cases = [
            # name, prepares the folder, argument after --capture, scenario, exit code, message
            ("another user's folder", others_folder, "{}", "card", 6, "belongs to another user"),
            ("link named with a slash", link_with_slash, "{}/", "card", 6, "is not a folder"),
            ("link named with a dot", link_with_slash, "{}/./", "card", 6, "is not a folder"),
            ("no reader", os.mkdir, "{}", "no-reader", 2, "No capture was written: nothing was read"),
            ("full disk", self.mounted_full_disk, "{}", "card", 6, "No space left on device"),
        ]
        for name, prepare, argument, scenario, code, message in cases:
            with self.subTest(name):
                folder = tempfile.mktemp(dir=self.runtime.name)
                prepare(folder)
                got, out = self.run_tool("--capture", argument.format(folder), scenario=scenario)
                self.assertEqual(got, code, out)
                self.assertIn(message, out)
                self.assertEqual(os.listdir(folder), [])
        self.assertEqual(os.listdir(target), [])
        code, out = self.run_tool("--capture", "")
        self.assertEqual((code, out), (64, ""))
        self.assertIn("--capture needs the name of a folder", self.errors)

    def test_redaction_keeps_nothing_planted(self):
        gbk_name = "王小明".encode("gbk")
        planted = {"name": gbk_name, "sex": b"PLNTSEX", "nation": "张三丰族".encode(), "birth": b"PLNTBIRTH",
                   "address": "地址".encode() + b"\xff\x85 PLNTADDR", "id": b"PLNTIDNUMBER918273",
                   "agency": b"PLNTAGENCY", "from": b"PLNTFROM", "to": (b"PLNTVALIDTO " * 94)[:1119]}
        social = b"PLNTSOCIAL|" + gbk_name
        source = self.replay_folder(planted, social, ("photo.PLNTPHOTO", b"PLNTPHOTOBYTES"))
        folder = os.path.join(self.runtime.name, "redacted")
        _, out = self.run_tool("--capture", folder, "--redact", "--show-personal-data", scenario="replay:" + source)
        self.assertIn("Replaced by fictional values of the same byte lengths: name, sex, ethnic group, date of birth, "
                      "address, citizen number, issuing authority, start of validity, end of validity, social "
                      "security text.", out)
        self.assertIn("Left out: the photo file", out)
        self.assertEqual(sorted(os.listdir(folder)), ["record.bin", "social.txt"])
        with open(os.path.join(folder, "record.bin"), "rb") as file:
            record = file.read()
        with open(os.path.join(folder, "social.txt"), "rb") as file:
            text = file.read()
        # 918273: digits no fictional run can hold, as a redacted path of digits may read 0123456789.
        for value in [b"PLNT", b"LNT", b"TIDNUM", b"918273", "张三丰".encode(), "地址".encode(), gbk_name, gbk_name[2:]]:
            with self.subTest(value=value):
                self.assertNotIn(value, record + text)
                self.assertNotIn(value.decode("utf-8", "replace"), out)
        name = record[4:record.index(0, 4)]
        self.assertEqual(len(name), len(gbk_name))
        self.assertRaises(UnicodeDecodeError, name.decode)
        self.assertEqual(record[76 + 6:76 + 9], b"\xff\x80 ")
        self.assertNotIn(0, record[212:212 + 1119])

    def test_redaction_changes_text_that_runs_as_its_fictional_values(self):
        planted = {"name": "甲乙丙".encode(), "address": b"ABCDEFG123", "agency": "\xc0\xf6\xc0\xfb".encode("latin-1"),
                   "to": "ééé𠀀".encode()}
        source = self.replay_folder(planted, b"1234567890")
        folder = os.path.join(self.runtime.name, "redacted")
        self.run_tool("--capture", folder, "--redact", scenario="replay:" + source)
        with open(os.path.join(folder, "record.bin"), "rb") as file:
            record = file.read()
        with open(os.path.join(folder, "social.txt"), "rb") as file:
            text = file.read()
        for value in list(planted.values()) + [b"1234567890"]:
            with self.subTest(value=value):
                self.assertNotIn(value, record + text)

    def test_redacted_photo_replays_and_holds_no_photo_byte(self):
        def bmp(width, height, bits, pixels):
            colours = 8 if bits == 1 else 0
            header = struct.pack("<2sIHHI", b"BM", 54 + colours + len(pixels), 0, 0, 54 + colours)
            info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 2835, 2835, colours // 4, 0)
            return header + info + bytes(colours) + pixels

        # A 1-bit 1024 x 1024 picture, and card photos of 102 x 126 whose rows are padded.
        photos = [bmp(1024, 1024, 1, bytes(1024 * 1024 // 8))] + [bmp(102, 126, 24, os.urandom(308 * 126)) for _ in range(2)]
        redacted = []
        for photo in photos:
            source = self.replay_folder({"name": "王".encode()}, b"x", ("photo.bmp", photo))
            folder = tempfile.mktemp(dir=self.runtime.name)
            self.run_tool("--capture", folder, "--redact", scenario="replay:" + source)
            code, out = self.run_tool(scenario="replay:" + folder)
            self.assertEqual(code, 0, out)
            with open(os.path.join(folder, "photo.bmp"), "rb") as file:
                redacted.append(file.read())
        self.assertEqual(redacted[1], redacted[2])
        offset = struct.unpack_from("<I", redacted[1], 10)[0]
        self.assertEqual(redacted[1][offset:], bytes(16 * 126))  # each pixel colour 0, each row's padding too

    def test_library_inherits_no_descriptor(self):
        """The library runs with none of the descriptors the check was started with but the standard three: one left
        open on a file would let it write there."""
        with tempfile.NamedTemporaryFile(dir=self.runtime.name, prefix="inherited-") as held:
            result = subprocess.run(COMMAND, env=self.standin_env("load=list-fds", "C.UTF-8"), cwd=self.runtime.name,
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=15, pass_fds=[held.fileno()])
        out = result.stdout.decode()
        self.assertIn("fd 0 -> ", out)
        self.assertNotIn("inherited-", out)

    def test_misbehaving_libraries(self):
        """Each way a vendor's library has failed on site: the tool ends by itself with its own code and names
        the library or call and the cause; the card's data stays masked."""
        card, social = "libKestrelCardDriver.so.1", "libKestrelSE32.so.1"
        open_call, read_call = 'ICC_Reader_Open("")', "ICC_ReadBaseMsgData(0, 0, photoPath, record)"
        social_call = "iReadCardBas_noPasam(1, 100, data)"
        where = self.runtime.name
        cases = [
            # STANDIN, options, exit code, a line in English, in Chinese
            ("load=segv", [], 7, "crashed while loading %s: signal 11 (SIGSEGV)" % card,
             "在加载 %s 时崩溃：信号 11（SIGSEGV）" % card),
            ("load=abort", [], 7, "crashed while loading %s: signal 6 (SIGABRT)" % card,
             "在加载 %s 时崩溃：信号 6（SIGABRT）" % card),
            ("load=exit:3", [], 7, "ended the process while loading %s, with exit status 3" % card,
             "在加载 %s 时结束了进程，退出状态为 3" % card),
            ("load-se32=segv", [], 7, "crashed while loading %s: signal 11" % social, "在加载 %s 时崩溃：信号 11" % social),
            ("ICC_Reader_Open=segv", [], 7, "crashed during %s: signal 11 (SIGSEGV)" % open_call,
             "在调用 %s 时崩溃：信号 11（SIGSEGV）" % open_call),
            ("ICC_Reader_Open=raise:14", [], 7, "during %s with signal 14 (SIGALRM), which is no crash" % open_call,
             "在调用 %s 时以信号 14（SIGALRM）结束了进程，这不是崩溃" % open_call),
            ("ICC_ReadBaseMsgData=abort", [], 7, "crashed during %s: signal 6 (SIGABRT)" % read_call,
             "在调用 %s 时崩溃：信号 6（SIGABRT）" % read_call),
            ("iReadCardBas_noPasam=segv", [], 7, "crashed during %s: signal 11" % social_call,
             "在调用 %s 时崩溃：信号 11" % social_call),
            ("ICC_Reader_Open=exit:0", [], 7, "ended the process during %s, with exit status 0" % open_call,
             "在调用 %s 时结束了进程，退出状态为 0" % open_call),
            ("ICC_ReadBaseMsgData=exit:2", [], 7, "ended the process during %s, with exit status 2" % read_call,
             "在调用 %s 时结束了进程，退出状态为 2" % read_call),
            ("load=own-segv-handler,ICC_ReadBaseMsgData=segv", [], 7,
             "ended the process during %s, with exit status 0" % read_call, "在调用 %s 时结束了进程，退出状态为 0" % read_call),
            ("ICC_Reader_Open=hang", ["--timeout", "1"], 8, "%s did not return within 1 s" % open_call,
             "%s 在 1 秒内没有返回" % open_call),
            ("iReadCardBas_noPasam=hang", ["--timeout", "1"], 8, "%s did not return within 1 s" % social_call,
             "%s 在 1 秒内没有返回" % social_call),
            ("load=close:1", [], 7, "closed standard output (descriptor 1) while loading " + card,
             "在加载 %s 时关闭了标准输出（描述符 1）" % card),
            ("load=close:2", [], 7, "closed standard error (descriptor 2) while loading " + card,
             "在加载 %s 时关闭了标准错误（描述符 2）" % card),
            ("ICC_ReadBaseMsgData=photo-gone", [], 4, "cannot be opened: errno 2: ", "无法打开：errno 2："),
            ("ICC_ReadBaseMsgData=photo-relative", [], 4, "a relative path, resolved against the working folder " + where,
             "这是相对路径，相对于工作目录 " + where),
            ("", [], 9, "libKestrelUsb.so.0 is found only through LD_LIBRARY_PATH", "libKestrelUsb.so.0 只能通过 LD_LIBRARY_PATH 找到"),
            ("ICC_Reader_Open=eacces", [], 2, "most likely the reader's device node (errno 13: ", "最可能是读卡器的设备节点（errno 13："),
            # What a hostile library may do to the tool itself.
            ("ICC_Reader_Open=garble", [], 7, "became garbled during %s" % open_call, "在调用 %s 时变成了乱码" % open_call),
            ("ICC_ReadBaseMsgData=print", [], 9, "  [library stdout] read 王** 1101**********1233",
             "  [驱动库 stdout] read 王** 1101**********1233"),
            ("ICC_Reader_Open=print-bytes", [], 9, "  [library stdout] nul\\x00after \\xff\\xfe",
             "  [驱动库 stdout] nul\\x00after \\xff\\xfe"),
            ("ICC_ReadBaseMsgData=hexdump", [], 9,
             "  [library stdout] name ** ** ** ** ** ** ** ** ** number ************************************",
             "  [驱动库 stdout] name ** ** ** ** ** ** ** ** ** number ************************************"),
            ("ICC_ReadBaseMsgData=photo-named-after-holder", [], 4, "  Photo file: /nonexistent/**********************.bmp",
             "  照片文件：/nonexistent/**********************.bmp"),
            ("ICC_Reader_Open=flood", [], 9, "more to its standard output, which the check does not show",
             "驱动库向标准输出又写了"),
            ("ICC_Reader_Open=close-all", [], 7, "closed the check's channel during " + open_call,
             "在调用 %s 时关闭了检查工具的通道" % open_call),
            # A process it leaves behind keeps its output pipes open: the tool ends all the same, and stops it
            # wherever it went.
            ("ICC_Reader_Open=leave-child", [], 9, "left processes running, which the check stopped: ",
             "驱动库留下了仍在运行的进程，检查工具已将其结束："),
            ("ICC_Reader_Open=leave-group", [], 9, "left processes running, which the check stopped: ",
             "驱动库留下了仍在运行的进程，检查工具已将其结束："),
            ("ICC_Reader_Open=daemonize", [], 9, "left processes running, which the check stopped: ",
             "驱动库留下了仍在运行的进程，检查工具已将其结束："),
            # Buffers written past their documented sizes.
            ("iReadCardBas_noPasam=overrun:1100", [], 7,
             "%s wrote at least 75 bytes past the end of data, whose documented size is 1025 bytes" % social_call,
             "%s 越过 data 的末尾至少写了 75 个字节（文档规定的大小为 1025 个字节）" % social_call),
            ("ICC_ReadBaseMsgData=overrun:8192", [], 7,
             "%s wrote at least 4272 bytes past the end of record, whose documented size is 3920 bytes" % read_call,
             "%s 越过 record 的末尾至少写了 4272 个字节" % read_call),
            ("ICC_GetSAMIDToStr=overrun:8192", [], 7,
             "ICC_GetSAMIDToStr(0, samId) wrote at least 8092 bytes past the end of samId",
             "ICC_GetSAMIDToStr(0, samId) 越过 samId 的末尾至少写了 8092 个字节"),
            ("ICC_Reader_PowerOn=overrun:20000", [], 7,
             "ICC_Reader_PowerOn(0, 0x31, reply) wrote more than 16383 bytes past the end of reply",
             "ICC_Reader_PowerOn(0, 0x31, reply) 越过 reply 的末尾写了超过 16383 个字节"),
            # Causes that looked like others.
            ("ICC_Reader_Open=fork", [], 7, "forked the process during %s, and the copy went on" % open_call,
             "在调用 %s 时复制（fork）了进程" % open_call),
            ("load=daemon", [], 7, "ended the process while loading %s, with exit status 0" % card,
             "在加载 %s 时结束了进程，退出状态为 0" % card),
            ("ICC_Reader_Open=exit:122", [], 7, "ended the process during %s, with exit status 122" % open_call,
             "在调用 %s 时结束了进程，退出状态为 122" % open_call),
            ("ICC_Reader_Open=stop", [], 7, "stopped the process during %s with signal 19 (SIGSTOP)" % open_call,
             "在调用 %s 时用信号 19（SIGSTOP）暂停了进程" % open_call),
            ("ICC_Reader_Open=traceme-segv", [], 7, "crashed during %s: signal 11 (SIGSEGV)" % open_call,
             "在调用 %s 时崩溃：信号 11（SIGSEGV）" % open_call),
            ("ICC_Reader_Open=half-header", ["--timeout", "1"], 7, "became garbled during %s" % open_call,
             "在调用 %s 时变成了乱码" % open_call),
            ("ICC_Reader_Open=forge", [], 7, "became garbled during %s" % open_call, "在调用 %s 时变成了乱码" % open_call),
            ("ICC_Reader_Open=steal-channel", [], 9, "libKestrelUsb.so.0 is found only through LD_LIBRARY_PATH",
             "libKestrelUsb.so.0 只能通过 LD_LIBRARY_PATH 找到"),
            ("ICC_Reader_Open=replace-channel", [], 7, "closed the check's channel during " + open_call,
             "在调用 %s 时关闭了检查工具的通道" % open_call),
            ("ICC_Authenticate=odd-errno", [], 9, "ICC_Authenticate(0) = 0: success", "ICC_Authenticate(0) = 0："),
            ("ICC_Reader_Open=print-dumpable", [], 9, "  [library stdout] dumpable 0", "  [驱动库 stdout] dumpable 0"),
            ("ICC_Reader_Open=use-up-descriptors", [], 7, "open files the process may have during " + open_call,
             "在调用 %s 时用尽了进程可打开的全部" % open_call),
            ("load=lower-descriptor-limit", [], 7, "to 3 while loading %s: nothing the process opens" % card,
             "在加载 %s 时把可打开文件数的上限从" % card),
            # A SAM ID that fills its buffer: no byte beyond it, each escaped.
            ("ICC_GetSAMIDToStr=overrun:100", [], 9, "  SAM ID: %s\n" % ("\\xee" * 100),
             "  安全模块号（SAM ID）：%s\n" % ("\\xee" * 100)),
            ("ICC_Reader_Open=load-backend", [], 9, "libKestrelBackend.so.0 is found only through LD_LIBRARY_PATH",
             "libKestrelBackend.so.0 只能通过 LD_LIBRARY_PATH 找到"),
            # Signals no handler can answer: refused, and the read goes on.
            ("ICC_Reader_Open=signal-check:9", [], 9, "libKestrelUsb.so.0 is found only through LD_LIBRARY_PATH",
             "libKestrelUsb.so.0 只能通过 LD_LIBRARY_PATH 找到"),
            ("ICC_Reader_Open=signal-check:19", [], 9, "libKestrelUsb.so.0 is found only through LD_LIBRARY_PATH",
             "libKestrelUsb.so.0 只能通过 LD_LIBRARY_PATH 找到"),
            ("ICC_Reader_Open=pidfd-signal-check:9", [], 9, "libKestrelUsb.so.0 is found only through LD_LIBRARY_PATH",
             "libKestrelUsb.so.0 只能通过 LD_LIBRARY_PATH 找到"),
            ("ICC_Reader_Open=limit-check,ICC_Authenticate=leave-child", [], 9,
             "left processes running, which the check stopped: ", "驱动库留下了仍在运行的进程，检查工具已将其结束："),
            ("ICC_Reader_Open=signal-check:10", [], 7, "sent the check signal 10 (SIGUSR1) during " + open_call,
             "在调用 %s 时向检查工具发送了信号 10（SIGUSR1）" % open_call),
        ]
        chinese_results = {7: "厂商驱动库崩溃或异常结束（退出码 7）", 8: "厂商驱动库调用超时未返回（退出码 8）",
                           9: "驱动库只能通过 LD_LIBRARY_PATH 找到（退出码 9）"}
        # An emulator installs no seccomp filter and traces nothing for the program it runs; under
        # qemu-user, a helper the library leaves outlives the run, which only emulation shows.
        emulated_away = ("ICC_Reader_Open=signal-check:9", "ICC_Reader_Open=signal-check:19",
                         "ICC_Reader_Open=pidfd-signal-check:9", "ICC_Reader_Open=limit-check,ICC_Authenticate=leave-child",
                         "ICC_Reader_Open=traceme-segv", "ICC_Reader_Open=leave-child", "ICC_Reader_Open=leave-group",
                         "ICC_Reader_Open=daemonize")
        for setting, options, code, english, chinese in cases:
            for lang, line, result in (("C.UTF-8", english, "Result: "), ("zh_CN.UTF-8", chinese, "结果：")):
                result += chinese_results.get(code, "") if lang != "C.UTF-8" else ""
                with self.subTest(setting=setting, lang=lang):
                    if setting in emulated_away and emulated():
                        self.skipTest("run through an emulator")
                    got, out = self.run_standin(setting, *options, lang=lang)
                    self.assertEqual(got, code, out)
                    self.assertIn(line, out)
                    self.assertTrue(out.splitlines()[-1].startswith(result), out)
                    self.assertNotIn("王小明", out)
                    self.assertNotIn('ICC_Reader_Open("") = 1', out if "forge" in setting else "")

    def test_signals_during_a_call(self):
        """A signal ignored at start stays ignored; the child dies with the tool even when nothing could clean up."""
        def ignoring_sighup():
            signal.signal(signal.SIGHUP, signal.SIG_IGN)

        cases = [
            # STANDIN, signal sent once the ID card read began, ignored at start, how the tool ends
            ("ICC_Reader_Open=sleep:2", signal.SIGHUP, ignoring_sighup, 9),
            ("ICC_Reader_Open=hang", signal.SIGKILL, None, -signal.SIGKILL),
        ]
        for setting, number, preexec, code in cases:
            with self.subTest(signal=number.name):
                with subprocess.Popen(COMMAND + ["--timeout", "60"], env=self.standin_env(setting, "C.UTF-8"),
                                      cwd=self.runtime.name, stdout=subprocess.PIPE, preexec_fn=preexec) as tool:
                    while tool.stdout.readline() not in (b"ID card read:\n", b""):
                        pass
                    tool.send_signal(number)
                    self.assertEqual(tool.wait(timeout=15), code)
                for _ in range(100):  # the child dies with the tool, the moment after
                    if not self.left_running():
                        break
                    time.sleep(0.01)
                self.assert_nothing_left()

    def test_library_cannot_write_to_the_terminal(self):
        """The library runs without the tool's controlling terminal: it cannot forge a line amid the report."""
        master, slave = os.openpty()

        def on_the_terminal():
            os.setsid()
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)

        with subprocess.Popen(COMMAND, env=self.standin_env("ICC_Reader_Open=tty", "C.UTF-8"), cwd=self.runtime.name,
                              stdin=slave, stdout=slave, stderr=slave, preexec_fn=on_the_terminal) as tool:
            os.close(slave)
            out = b""
            while True:
                try:
                    chunk = os.read(master, 4096)
                except OSError:  # EIO: no one has the terminal open any more
                    break
                if not chunk:
                    break
                out += chunk
            self.assertEqual(tool.wait(timeout=15), 9, out)
        os.close(master)
        self.assertNotIn(b"everything was read", out)

    def test_reader_device_nodes(self):
        """A failed open lists the reader's device nodes with who may open them, as a user who may not."""
        mountable = shutil.which("unshare") and shutil.which("setpriv") and subprocess.run(
            ["unshare", "-m", "mount", "-t", "tmpfs", "tmpfs", "/dev"], stderr=subprocess.DEVNULL).returncode == 0
        if os.geteuid() != 0 or not mountable:
            self.skipTest("needs root, unshare and setpriv to give the tool device nodes of its own")
        nodes = ("mknod -m 666 /dev/null c 1 3 && mknod -m 660 /dev/ttyUSB0 c 188 0 && mknod -m 666 /dev/hidraw0 c 240 0"
                 " && mkdir -p /dev/bus/usb/001 && mknod -m 664 /dev/bus/usb/001/002 c 189 1")
        # The tool and the stand-ins run from the new /dev, which nobody can reach wherever the build tree is.
        copies = "mkdir /dev/check && cp -P %s/* %s /dev/check && cd /dev/check" % (
            shlex.quote(STANDIN), shlex.quote(COMMAND[-1]))
        tool = " ".join(shlex.quote(part) for part in COMMAND[:-1] + ["/dev/check/" + os.path.basename(COMMAND[-1])])
        env = dict(os.environ, LANG="C.UTF-8", STANDIN="ICC_Reader_Open=eacces", STANDIN_PHOTO=self.photo,
                   LD_LIBRARY_PATH="/dev/check")
        cases = [
            # who runs it, lines it prints, lines it must not
            ("setpriv --reuid=65534 --regid=65534 --clear-groups ",
             ["/dev/ttyUSB0  crw-rw---- root root: this user may not open it for reading and writing",
              "/dev/hidraw0  crw-rw-rw- root root: this user may open it for reading and writing",
              "/dev/bus/usb/001/002  crw-rw-r-- root root: this user may not open it for reading and writing",
              "`sudo usermod -aG dialout nobody`", "/etc/udev/rules.d/70-idcard-reader.rules",
              "`sudo udevadm control --reload` and `sudo udevadm trigger`"], ["plugdev"]),
            ("", ["ran as root, so the device's permissions are not the cause"], ["usermod", "udevadm"]),
        ]
        for user, present, absent in cases:
            with self.subTest(user=user):
                script = "mount -t tmpfs tmpfs /dev && %s && %s && exec %s%s" % (nodes, copies, user, tool)
                done = subprocess.run(["unshare", "-m", "sh", "-c", script], env=env, stdout=subprocess.PIPE, timeout=15)
                out = done.stdout.decode()
                self.assertEqual(done.returncode, 2, out)
                for line in present:
                    self.assertIn(line, out)
                for line in absent:
                    self.assertNotIn(line, out)

    def test_default_deadline_and_a_slow_read(self):
        """A call that never returns is stopped at the default deadline; a read slower than usual but within it
        completes. What is asserted holds however loaded the machine: the deadline named, and a read time no
        shorter than the read took. The time allowed to end only tells a tool that stops from one that hangs."""
        with concurrent.futures.ThreadPoolExecutor() as pool:  # side by side: the two take ten seconds at least
            hang = pool.submit(self.run_standin, "ICC_Reader_Open=hang", timeout=120)
            slow = pool.submit(self.run_tool, scenario="slow:5", lang="zh_CN.UTF-8")
            (code, out), (slow_code, slow_out) = hang.result(), slow.result()
        self.assertEqual(code, 8, out)
        self.assertIn('ICC_Reader_Open("") did not return within 10 s', out)
        self.assertEqual(slow_code, 0, slow_out)
        took = re.search(r"ICC_ReadBaseMsgData\(0, 0, photoPath, record\) = 0：已读取身份证（(\d+\.\d) 秒）", slow_out)
        self.assertTrue(took, slow_out)
        self.assertGreaterEqual(float(took.group(1)), 5.0, slow_out)

    def test_core_limit_is_zero(self):
        _, hard = resource.getrlimit(resource.RLIMIT_CORE)
        if hard == 0:
            self.skipTest("the hard core limit is already 0 here")
        env = dict(os.environ, KESTREL_SIM="slow", LD_LIBRARY_PATH=SIMULATOR, XDG_RUNTIME_DIR=self.runtime.name)
        tool = subprocess.Popen(COMMAND, env=env, stdout=subprocess.PIPE,
                                preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_CORE, (hard, hard)))
        try:
            tool.stdout.readline()  # printed after the limit is set, and before the slow read ends
            with open("/proc/%d/limits" % tool.pid) as limits:
                core = [line.split()[4:6] for line in limits if line.startswith("Max core file size")]
        finally:
            tool.kill()
            tool.wait()
            tool.stdout.close()
        self.assertEqual(core, [["0", "0"]])

if __name__ == "__main__":
    SIMULATOR = sys.argv.pop()
    INTERRUPTER = sys.argv.pop()
    NO_SONAME = sys.argv.pop()
    NEEDS_USB = sys.argv.pop()
    STANDIN = sys.argv.pop()
    COMMAND = sys.argv[1:]
    del sys.argv[1:]
    unittest.main(verbosity=2)
