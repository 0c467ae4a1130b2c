#!/usr/bin/python3
"""idcardshow-check against the simulated reader and stand-ins for vendor libraries: each failing
stage gives its message and exit code, each library that does not load has its cause named,
wrong arguments point to --help, personal data is masked, the output follows the locale, and
captures replay, stay private and redact."""

import os
import stat
import struct
import subprocess
import sys
import tempfile
import unittest

COMMAND = []       # the tool, an emulator maybe before it
SIMULATOR = ""     # the folder of the simulated driver libraries
NEEDS_USB = ""     # a card library whose helper libvendorusb.so.0 is not beside it
NO_SONAME = ""     # a card library shipped as libKestrelCardDriver.so, without a SONAME
HOLDER = ["王小明", "北京市东城区示例路88号", "110101199003071233", "北京市公安局东城分局"]


def check_character(first17):
    weights = [7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2]
    return "10X98765432"[sum(int(d) * w for d, w in zip(first17, weights)) % 11]


class CheckTool(unittest.TestCase):
    def setUp(self):
        self.runtime = tempfile.TemporaryDirectory()
        os.chmod(self.runtime.name, 0o700)

    def tearDown(self):
        self.runtime.cleanup()

    def run_tool(self, *args, scenario="card", libraries=None, lang="C.UTF-8", stream="stdout"):
        env = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k != "LANGUAGE"}
        env.update(LANG=lang, KESTREL_SIM=scenario, XDG_RUNTIME_DIR=self.runtime.name,
                   LD_LIBRARY_PATH=libraries or SIMULATOR)
        result = subprocess.run(COMMAND + list(args), env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, timeout=120)
        return result.returncode, getattr(result, stream).decode("utf-8")

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
        cases = [
            (self.card_library_copy(18, other_machine), 1,
             "libKestrelCardDriver.so.1 is built for", "libKestrelCardDriver.so.1 是为"),
            (self.card_library_copy(4, b"\x01"), 1, "is a 32-bit library", "是 32 位的库"),
            (NO_SONAME, 1, "libKestrelCardDriver.so has no SONAME", "libKestrelCardDriver.so 没有 SONAME"),
            (NEEDS_USB, 1, "needs libvendorusb.so.0, which the loader did not find",
             "依赖的 libvendorusb.so.0 未被动态链接器找到"),
            (wrong_function, 1, "libKestrelSE32.so.1 has no function iReadCardBas_noPasam: it is another version",
             "libKestrelSE32.so.1 中没有函数 iReadCardBas_noPasam：这个驱动库的版本"),
            (SIMULATOR, 0, "libKestrelSE32.so.1: the project's simulated reader", "libKestrelSE32.so.1：这是本项目的模拟读卡器"),
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
            (["--help-all"], "Unknown option 'help-all'.", "未知选项“help-all”。"),
            (["--show-personal-data=1"], "Unexpected value after '--show-personal-data'.",
             "“--show-personal-data”后面不能带值。"),
            (["--capture"], "Missing value after '--capture'.", "“--capture”后缺少值。"),
            (["--redact"], "--redact works only with --capture FOLDER.", "--redact 只能与 --capture <目录> 一起使用。"),
        ]
        for args, english, chinese in cases:
            for lang, message, help in (("C.UTF-8", english, "Run `idcardshow-check --help`"),
                                        ("zh_CN.UTF-8", chinese, "运行 `idcardshow-check --help`")):
                with self.subTest(args=args, lang=lang):
                    code, err = self.run_tool(*args, lang=lang, stream="stderr")
                    self.assertEqual(code, 64)
                    self.assertEqual(err.splitlines()[0], message)
                    self.assertIn(help, err)

    def test_stages(self):
        with tempfile.TemporaryDirectory() as no_photo:
            with open(os.path.join(no_photo, "record.bin"), "wb") as record:
                record.write(b"\0" * 3920)
            cases = [
                ("card", 0, "Result: everything was read (exit code 0)."),
                ("no-reader", 2, 'ICC_Reader_Open("") = -1: the reader did not open'),
                ("no-card", 3, "ICC_ReadBaseMsgData(0, 0, photoPath, record) = -2: no ID card was read"),
                ("replay:" + no_photo, 4, "Photo file: (the library named none)"),
                ("no-social-card", 5, "iReadCardBas_noPasam(1, 100, data) = -1: no social security card was read"),
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
        for value in HOLDER[:3]:
            self.assertNotIn(value, masked)
        _, shown = self.run_tool("--show-personal-data")
        for value in HOLDER:
            self.assertIn(value, shown)

    def test_chinese_locale(self):
        code, out = self.run_tool(scenario="no-reader", lang="zh_CN.UTF-8")
        self.assertEqual(code, 2)
        self.assertIn("读卡器未能打开", out)
        self.assertIn("结果：打开读卡器失败（退出码 2）。", out)
        self.assertIn("本次检查以", out)

    def capture(self, *extra):
        folder = os.path.join(self.runtime.name, "capture")
        code, out = self.run_tool("--capture", folder, *extra)
        self.assertEqual(code, 0, out)
        return folder

    def replayed_fields(self, scenario):
        code, out = self.run_tool("--show-personal-data", scenario=scenario)
        self.assertEqual(code, 0, out)
        return [line for line in out.splitlines() if line.startswith("  ") and "Photo file" not in line]

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
        fields = self.replayed_fields("replay:" + folder)
        self.assertIn("  Name: 甲乙丙", fields)
        self.assertIn("  Citizen identity number: " + number, fields)

if __name__ == "__main__":
    SIMULATOR = sys.argv.pop()
    NO_SONAME = sys.argv.pop()
    NEEDS_USB = sys.argv.pop()
    COMMAND = sys.argv[1:]
    del sys.argv[1:]
    unittest.main(verbosity=2)
