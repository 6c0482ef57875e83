"""The add-on's kzv-import runner without Blender: finding the program, its arguments, its messages."""

import os
import stat
import sys
import tempfile
import unittest
from unittest import mock

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "io_import_kzv"))
import runner  # noqa: E402


def write_program(folder, name, script):
    path = os.path.join(folder, name)
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + script)
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
    return path


class FindProgram(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.program = write_program(self.dir.name, "kzv-import", "exit 0\n")

    def tearDown(self):
        self.dir.cleanup()

    def test_preference_then_environment_then_path(self):
        other = write_program(self.dir.name, "other", "exit 0\n")
        with mock.patch.dict(os.environ, {"KZV_IMPORT": other, "PATH": self.dir.name}):
            self.assertEqual(runner.find_program(self.program), self.program)
            self.assertEqual(runner.find_program(""), other)
        with mock.patch.dict(os.environ, {"PATH": self.dir.name}, clear=True):
            self.assertEqual(runner.find_program(""), self.program)

    def test_a_named_program_that_is_not_there_is_an_error_not_a_fallback(self):
        with mock.patch.dict(os.environ, {"KZV_IMPORT": "/no/such/kzv-import", "PATH": self.dir.name}):
            with self.assertRaisesRegex(runner.KzvImportError, r"\$KZV_IMPORT is not an executable"):
                runner.find_program("")
        with mock.patch.dict(os.environ, {"PATH": "/nonexistent"}, clear=True):
            with self.assertRaisesRegex(runner.KzvImportError, "not found"):
                runner.find_program("")


class RunImport(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.output = os.path.join(self.dir.name, "out.glb")

    def tearDown(self):
        self.dir.cleanup()

    def test_options_become_arguments(self):
        settings = runner.ImportSettings(keep_axes=True, flip_winding=True, double_sided=True,
                                         display_colours=True, allow_outside_textures=True, lcid=1031)
        self.assertEqual(runner.command_line("k", "a.KZV", "a.glb", settings),
                         ["k", "a.KZV", "-o", "a.glb", "--lcid", "1031", "--keep-axes",
                          "--allow-outside-textures", "--flip-winding", "--double-sided", "--display-colours"])
        self.assertEqual(runner.command_line("k", "a.KZV", "a.glb", runner.ImportSettings()),
                         ["k", "a.KZV", "-o", "a.glb", "--lcid", "1033"])

    def test_success_collects_warnings_and_notices(self):
        program = write_program(self.dir.name, "ok", 'echo "notice: Imported Cameras" >&2\n'
                                'echo "warning: Texture not found: x.bmp" >&2\n: > "$3"\n')
        result = runner.run_import(program, "a.KZV", self.output, runner.ImportSettings())
        self.assertEqual(result.warnings, ["Texture not found: x.bmp"])
        self.assertEqual(result.notices, ["Imported Cameras"])

    def test_failure_reports_the_error_lines_without_notices(self):
        program = write_program(self.dir.name, "fails", 'echo "notice: Imported Cameras" >&2\n'
                                'echo "error 62: Input past end of file" >&2\necho "  Imp_KZV.DoImport" >&2\n'
                                "exit 1\n")
        with self.assertRaises(runner.KzvImportError) as caught:
            runner.run_import(program, "a.KZV", self.output, runner.ImportSettings())
        self.assertEqual(str(caught.exception), "error 62: Input past end of file; Imp_KZV.DoImport")

    def test_success_without_an_output_is_a_failure(self):
        program = write_program(self.dir.name, "silent", "exit 0\n")
        with self.assertRaisesRegex(runner.KzvImportError, "ended with status 0"):
            runner.run_import(program, "a.KZV", self.output, runner.ImportSettings())

    def test_a_program_that_cannot_start_is_an_error(self):
        with self.assertRaisesRegex(runner.KzvImportError, "cannot run"):
            runner.run_import(os.path.join(self.dir.name, "missing"), "a.KZV", self.output,
                              runner.ImportSettings())


if __name__ == "__main__":
    unittest.main()
