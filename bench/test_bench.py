#!/usr/bin/env python3
"""Tests of the benchmark's own logic, which decides what a figure means: the order of the
steps, the statistics, the checks that a step did its work, the wait for a warm step's last
process, and the generated distribution and NSIS script. Run by hand, like the benchmark:

    python3 bench/test_bench.py
"""
import os
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bench  # noqa: E402
import gen_dist  # noqa: E402


class RunOrderTest(unittest.TestCase):
    def test_every_run_has_each_step_once_and_removals_after_installs(self):
        for run in range(7):
            order = bench.run_order(run)
            self.assertEqual(sorted(order), sorted(bench.INSTALLS + bench.REMOVALS))
            installs = len(bench.INSTALLS)
            self.assertEqual(set(order[:installs]), set(bench.INSTALLS), run)

    def test_runs_rotate_the_first_step_that_writes(self):
        installers = bench.INSTALLS[1:]
        firsts = [bench.run_order(run)[1] for run in range(len(installers))]
        self.assertEqual(sorted(firsts), sorted(installers))
        self.assertEqual({bench.run_order(run)[0] for run in range(5)}, {"none"})
        removal_firsts = {bench.run_order(run)[len(bench.INSTALLS)]
                          for run in range(len(bench.REMOVALS))}
        self.assertEqual(removal_firsts, set(bench.REMOVALS))


class StatisticsTest(unittest.TestCase):
    def test_summary(self):
        cases = [
            ([], None),
            ([5.0], (5.0, 5.0, 5.0)),
            ([9.0, 1.0, 4.0], (4.0, 1.0, 9.0)),
            ([4.0, 1.0, 3.0, 10.0], (3.5, 1.0, 10.0)),
        ]
        for values, expected in cases:
            self.assertEqual(bench.summary(values), expected, values)

    def test_ratio_has_no_figure_without_a_positive_denominator(self):
        cases = [
            (10.0, 4.0, 2.5),
            (10.0, 0.0, None),
            (10.0, -3.0, None),  # a net time below the noise of Wine's start
            (None, 4.0, None),
            (4.0, None, None),
        ]
        for a, b, expected in cases:
            self.assertEqual(bench.ratio(a, b), expected, (a, b))

    def test_per_file_is_the_line_through_two_sizes(self):
        cases = [
            ((200, 400.0), (20200, 10400.0), (0.5, 300.0)),
            ((20000, 900.0), (200, 800.0), (100 / 19800, 800.0 - 200 * 100 / 19800)),
            ((200, 500.0), (2000, 500.0), (0.0, 500.0)),
            ((200, None), (2000, 500.0), None),
            ((200, 100.0), (200, 500.0), None),
        ]
        for small, big, expected in cases:
            got = bench.per_file(small, big)
            if expected is None:
                self.assertIsNone(got, (small, big))
            else:
                self.assertAlmostEqual(got[0], expected[0], msg=(small, big))
                self.assertAlmostEqual(got[1], expected[1], msg=(small, big))

    def test_loop_ms_reads_the_loops_own_clock(self):
        cases = [
            ("2000 files, 0 failures\r\nelapsed_ms 812.4\r\n", 812.4),
            ("elapsed_ms 0.0\n", 0.0),
            ("2000 files, 3 failures\n", None),
            ("", None),
        ]
        for output, expected in cases:
            self.assertEqual(bench.loop_ms(output), expected, output)


class PathTest(unittest.TestCase):
    def test_windows_path_is_on_drive_z(self):
        self.assertEqual(bench.windows_path("/work/a b/dist"), "Z:\\work\\a b\\dist")

    def test_unix_path_of_a_c_drive_path(self):
        self.assertEqual(bench.unix_path("/p", "C:\\Program Files (x86)\\Pictavo 6"),
                         os.path.join("/p", "drive_c", "Program Files (x86)", "Pictavo 6"))


class ChecksTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.root = self.tmp.name

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, relative, size):
        path = os.path.join(self.root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(b"x" * size)

    def test_payload_is_the_data_folders_only(self):
        self.write("Data01/part0001.dat", 3)
        self.write("Data02/sub/part0002.dat", 0)
        self.write("PictvUnInst.exe", 10)
        self.write("Other/part0003.dat", 1)
        self.assertEqual(bench.payload_files(self.root), {
            os.path.join("Data01", "part0001.dat"): 3,
            os.path.join("Data02", "sub", "part0002.dat"): 0,
        })

    def test_check_payload_names_what_is_wrong(self):
        expected = {os.path.join("Data01", "a.dat"): 2, os.path.join("Data01", "b.dat"): 2}
        cases = [
            ({"Data01/a.dat": 2, "Data01/b.dat": 2}, None),
            ({"Data01/a.dat": 2}, "1 missing"),
            ({"Data01/a.dat": 2, "Data01/b.dat": 2, "Data01/c.dat": 2}, "1 unexpected"),
            ({"Data01/a.dat": 2, "Data01/b.dat": 1}, "1 of wrong size"),
            ({}, "2 missing"),
        ]
        for files, message in cases:
            with self.subTest(files=files):
                self.tearDown()
                self.setUp()
                for name, size in files.items():
                    self.write(name, size)
                if message is None:
                    bench.check_payload("step", expected, self.root)
                else:
                    with self.assertRaisesRegex(bench.BenchError, message):
                        bench.check_payload("step", expected, self.root)

    def test_check_payload_of_a_missing_folder_fails(self):
        with self.assertRaisesRegex(bench.BenchError, "1 missing"):
            bench.check_payload("step", {"Data01/a.dat": 1}, os.path.join(self.root, "none"))

    def test_prime_reads_files_and_folders_and_fails_on_a_missing_one(self):
        self.write("Data01/a.dat", 3 << 20)
        self.write("one.exe", 1)
        bench.prime([self.root, os.path.join(self.root, "one.exe")])
        with self.assertRaisesRegex(bench.BenchError, "missing"):
            bench.prime([os.path.join(self.root, "missing.exe")])

    def test_check_gone(self):
        bench.check_gone("step", os.path.join(self.root, "absent"))
        self.write("left/Data01/a.dat", 1)
        with self.assertRaisesRegex(bench.BenchError, "1 files left"):
            bench.check_gone("step", os.path.join(self.root, "left"))
        os.makedirs(os.path.join(self.root, "empty"))
        with self.assertRaisesRegex(bench.BenchError, "still there"):
            bench.check_gone("step", os.path.join(self.root, "empty"))


class WineServiceTest(unittest.TestCase):
    def test_which_new_processes_a_warm_step_leaves_running(self):
        cases = [
            ("C:\\windows\\system32\\rpcss.exe", True),
            ("C:\\WINDOWS\\System32\\explorer.exe /desktop", True),
            ("C:\\windows\\system32\\conhost.exe --server 0x38", False),
            ("C:\\users\\root\\Temp\\~nsu.tmp\\Un_A.exe /S _?=C:\\x\\", False),
            ("C:\\users\\root\\Temp\\PictvUnInst.exe -s", False),
            ("", False),
        ]
        for command, expected in cases:
            self.assertEqual(bench.is_wine_service(command), expected, command)


class WaitTest(unittest.TestCase):
    """The warm clock stops when the last process a step started has ended, also one that its
    parent left behind, as the uninstallers' temporary copies are."""

    @classmethod
    def setUpClass(cls):
        bench.become_subreaper()

    def test_waits_for_an_orphaned_grandchild(self):
        runner = bench.Bench.__new__(bench.Bench)
        runner.notes = set()
        bench.reap()
        baseline = bench.children()
        start = time.monotonic()
        # The child ends at once; the grandchild it detaches lives on for 0.3 s.
        argv = ["sh", "-c", "sleep 0.3 & exit 0"]
        process = subprocess.Popen(argv)
        status, usage, peak_kb = runner.wait_for(process, start, argv)
        process.returncode = os.waitstatus_to_exitcode(status)
        self.assertEqual(os.waitstatus_to_exitcode(status), 0)
        self.assertLess(time.monotonic() - start, 0.25)
        usages = {}
        runner.wait_for_new_processes(baseline, usages, start, argv, "setup")
        self.assertGreaterEqual(time.monotonic() - start, 0.3)
        self.assertEqual(bench.children() - baseline, set())
        self.assertEqual(len(usages), 1)  # the grandchild, reaped by the wait

    def test_peak_memory_is_the_programs_not_its_forking_parents(self):
        runner = bench.Bench.__new__(bench.Bench)
        ballast = bytearray(b"\x01") * (150 << 20)  # this process, resident: 150 MB more
        try:
            cases = [
                # (program, least peak MB, most peak MB)
                ("import time; time.sleep(0.2)", 0, 60),
                ("import time; b = bytearray(b'\\x01') * (80 << 20); time.sleep(0.2)", 80, 140),
            ]
            for code, least, most in cases:
                argv = [sys.executable, "-c", code]
                process = subprocess.Popen(argv)
                status, usage, peak_kb = runner.wait_for(process, time.monotonic(), argv)
                process.returncode = os.waitstatus_to_exitcode(status)
                self.assertEqual(process.returncode, 0)
                self.assertGreaterEqual(peak_kb, least << 10, code)
                self.assertLessEqual(peak_kb, most << 10, code)
        finally:
            del ballast

    def test_a_hanging_step_fails(self):
        runner = bench.Bench.__new__(bench.Bench)
        argv = ["sleep", "5"]
        process = subprocess.Popen(argv)
        saved = bench.STEP_TIMEOUT_S
        bench.STEP_TIMEOUT_S = 0.1
        try:
            with self.assertRaisesRegex(bench.BenchError, "still running"):
                runner.wait_for(process, time.monotonic(), argv)
        finally:
            bench.STEP_TIMEOUT_S = saved
            process.wait()


class GenDistTest(unittest.TestCase):
    def test_folder_names_keep_their_order_at_every_count(self):
        for count in (1, 20, 100, 1000):
            names = gen_dist.folder_names(count)
            self.assertEqual(len(names), count)
            self.assertEqual(names, sorted(names), count)
        self.assertEqual(gen_dist.folder_names(2), ["Data01", "Data02"])

    def test_manifest_lists_every_folder_by_folder_and_pattern(self):
        records = gen_dist.manifest_records(["Data01", "Data02"])
        self.assertEqual(records[2:], ["Make Dir: Data01", "File Copy: Data01\\*.dat",
                                       "Make Dir: Data02", "File Copy: Data02\\*.dat"])
        self.assertIn("File Copy: setup.exe>PictvUnInst.exe", records)

    def test_nsis_script(self):
        script = gen_dist.nsis_script("/b d/dist", ["Data01", "Data02"], "/b d/n.exe")
        lines = [line.strip() for line in script.splitlines()]
        for expected in ("SetCompress off", "SetDatablockOptimize off", 'OutFile "/b d/n.exe"',
                         "SetOutPath $INSTDIR",
                         'File /r "/b d/dist/Data01"', 'File /r "/b d/dist/Data02"',
                         'WriteUninstaller "$INSTDIR\\Uninstall.exe"', "RMDir /r $INSTDIR"):
            self.assertIn(expected, lines)
        # The uninstaller's removal belongs to its own section, after the installing one.
        self.assertLess(lines.index("WriteUninstaller \"$INSTDIR\\Uninstall.exe\""),
                        lines.index('Section "Uninstall"'))
        self.assertGreater(lines.index("RMDir /r $INSTDIR"), lines.index('Section "Uninstall"'))


if __name__ == "__main__":
    unittest.main()
