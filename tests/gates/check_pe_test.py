#!/usr/bin/env python3
"""The gates on shipped programs fail, each with a clear line, on inputs that break them.

Usage: check_pe_test.py CHECK_PE SHIPPED_EXE PROBE_EXE FORBIDDEN_FUNCTIONS ALLOWED_DLLS WORK [xp]

"xp" where the build is made to start on Windows XP SP3, as the 32-bit one is.
"""
import pathlib
import struct
import subprocess
import sys
import unittest

CHECK_PE, SHIPPED, PROBE, FORBIDDEN, ALLOWED, WORK = sys.argv[1:7]
FOR_XP = sys.argv[7:8] == ["xp"]


def run(exe, *options):
    result = subprocess.run([sys.executable, CHECK_PE, str(exe), *options],
                            capture_output=True, text=True)
    return result.returncode, result.stdout


class Gates(unittest.TestCase):
    def test_the_shipped_program_passes_every_gate_of_its_build(self):
        xp = ["--max-os-version", "5.1", "--forbidden-functions", FORBIDDEN] if FOR_XP else []
        code, out = run(SHIPPED, "--max-kib", "100000", *xp, "--allowed-dlls", ALLOWED,
                        "--no-debug-sections")
        self.assertEqual(code, 0, out)
        self.assertIn("all rules hold", out)

    def test_a_program_over_its_size_fails(self):
        code, out = run(SHIPPED, "--max-kib", "1")
        self.assertEqual(code, 1)
        self.assertRegex(out, r"is \d+ KiB, more than its 1 KiB")

    def test_debug_sections_fail(self):
        code, out = run(SHIPPED + ".debug", "--no-debug-sections")
        self.assertEqual(code, 1)
        self.assertIn("carries debug sections: .debug_", out)

    def test_a_newer_os_version_fails(self):
        data = bytearray(pathlib.Path(SHIPPED).read_bytes())
        (pe_at,) = struct.unpack_from("<I", data, 0x3C)
        optional = pe_at + 24
        struct.pack_into("<HH", data, optional + 40, 6, 0)
        struct.pack_into("<HH", data, optional + 48, 6, 0)
        patched = pathlib.Path(WORK) / "vista.exe"
        patched.write_bytes(data)
        code, out = run(patched, "--max-os-version", "5.1")
        self.assertEqual(code, 1)
        self.assertIn("asks for OS version 6.0, newer than 5.1", out)
        self.assertIn("asks for subsystem version 6.0, newer than 5.1", out)

    def test_a_post_xp_import_and_an_unknown_dll_fail(self):
        code, out = run(PROBE, "--forbidden-functions", FORBIDDEN, "--allowed-dlls", ALLOWED)
        self.assertEqual(code, 1)
        self.assertIn("imports GetTickCount64 from kernel32.dll, which Windows XP SP3 does not have",
                      out)
        self.assertIn("imports comctl32.dll, which is not a known system DLL", out)

    def test_a_file_that_is_no_program_fails(self):
        text = pathlib.Path(WORK) / "notes.exe"
        text.write_text("not a program\n")
        code, out = run(text, "--max-kib", "300")
        self.assertEqual(code, 1)
        self.assertIn("not a Windows program", out)


if __name__ == "__main__":
    pathlib.Path(WORK).mkdir(parents=True, exist_ok=True)
    unittest.main(argv=sys.argv[:1])
