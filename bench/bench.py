#!/usr/bin/env python3
"""The benchmark's timed half, run by bench/run.sh inside one Wine session of the bench prefix
(WINEPREFIX set, a display up). For each size it times, interleaved, run after run:

  wine start+stop    plainloop.exe none: the cost of starting and ending a program alone
  setup install      setup.exe -s from the generated distribution
  plain copy         plainloop.exe copy: a bare CopyFileA loop over the same files
  NSIS install       the NSIS installer of the same payload, /S /D=...
  setup removal      PictvUnInst.exe -s (hands over to its temporary copy)
  plain delete       plainloop.exe delete: a bare DeleteFileA loop
  NSIS removal       the NSIS uninstaller /S (also hands over to a temporary copy)

once cold (from Wine's start until `wineserver -w` returns: a wineserver and Wine's services
started and ended for each step) and once warm (one wineserver kept alive with -p, its services
up, each step timed until its work is done and every process it started has ended).

This process is a child subreaper: the processes that Wine detaches (the services, the
uninstallers' temporary copies, the wineserver itself) are reparented to it, so a warm step
knows exactly when the last process it started has ended, without guessing by name.

    bench.py --plainloop EXE --work DIR --runs N SIZE:DIST:NSIS_EXE:FOLDERS:FILES:BYTES...
"""
import argparse
import ctypes
import glob
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

PROGRAM_FILES = "C:\\Program Files (x86)"
PRODUCT = PROGRAM_FILES + "\\Pictavo 6"
PLAIN = PROGRAM_FILES + "\\Plain loop"
NSIS = PROGRAM_FILES + "\\NSIS bench"
STEP_TIMEOUT_S = 1800

INSTALLS = ["none", "setup", "copy", "nsis"]
REMOVALS = ["setup-rm", "delete", "nsis-rm"]
LABELS = {
    "none": "wine start+stop (plainloop none)",
    "setup": "setup.exe -s install",
    "copy": "plain CopyFileA loop",
    "nsis": "NSIS installer /S",
    "setup-rm": "PictvUnInst.exe -s removal",
    "delete": "plain DeleteFileA loop",
    "nsis-rm": "NSIS uninstaller /S",
}
# setup/peer pairs whose ratios the tables show, by phase.
RATIOS = [
    ("install", "setup", "copy", "plain loop"),
    ("install", "setup", "nsis", "NSIS"),
    ("removal", "setup-rm", "delete", "plain loop"),
    ("removal", "setup-rm", "nsis-rm", "NSIS"),
]


class BenchError(Exception):
    pass


# ---------------------------------------------------------------------------------------------
# Pure helpers (bench/test_bench.py tests them)


def run_order(run):
    """Run RUN's steps: the do-nothing program, the installs rotated by the run's number, then
    the removals rotated the same way (a removal needs its install first). The first step to
    write files in a run is the slowest whichever it is, so only the ones that write rotate:
    in three runs each installer is first once."""
    def rotate(steps):
        k = run % len(steps)
        return steps[k:] + steps[:k]

    return INSTALLS[:1] + rotate(INSTALLS[1:]) + rotate(REMOVALS)


def summary(values):
    """(median, min, max) of the figures, or None when there are none."""
    if not values:
        return None
    return statistics.median(values), min(values), max(values)


def ratio(a, b):
    if a is None or b is None or b <= 0:
        return None
    return a / b


def per_file(small, big):
    """(ms per file, fixed ms) of the line through two (file count, ms) points of one shape: what
    each further file costs, and what a step costs whatever its files. None without a figure or
    without two different counts."""
    (n1, t1), (n2, t2) = small, big
    if t1 is None or t2 is None or n1 == n2:
        return None
    slope = (t2 - t1) / (n2 - n1)
    return slope, t1 - slope * n1


def windows_path(unix_path):
    """The Z: drive path of a host path: Wine maps the host's root to Z: in every prefix."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def unix_path(prefix, path):
    """A C: path of the prefix as the host sees it, spelt as Wine created it."""
    assert path[:3].upper() == "C:\\", path
    return os.path.join(prefix, "drive_c", *path[3:].split("\\"))


def payload_files(folder):
    """{relative path: size} of the payload under FOLDER: the files of its Data* folders."""
    found = {}
    if not os.path.isdir(folder):
        return found
    for entry in sorted(os.listdir(folder)):
        sub = os.path.join(folder, entry)
        if not (entry.startswith("Data") and os.path.isdir(sub)):
            continue
        for root, _, files in os.walk(sub):
            for name in files:
                path = os.path.join(root, name)
                found[os.path.relpath(path, folder)] = os.path.getsize(path)
    return found


def check_payload(what, expected, folder):
    """Raises unless FOLDER holds exactly the expected payload, name for name and size for size."""
    got = payload_files(folder)
    if got == expected:
        return
    missing = sorted(set(expected) - set(got))
    extra = sorted(set(got) - set(expected))
    wrong = sorted(n for n in set(got) & set(expected) if got[n] != expected[n])
    parts = []
    for label, names in (("missing", missing), ("unexpected", extra), ("of wrong size", wrong)):
        if names:
            parts.append(f"{len(names)} {label} (first: {names[0]})")
    raise BenchError(f"{what}: {folder} does not hold the payload: " + ", ".join(parts))


def check_gone(what, folder):
    if os.path.lexists(folder):
        left = sum(len(files) for _, _, files in os.walk(folder))
        raise BenchError(f"{what}: {folder} is still there ({left} files left)")


def prime(paths):
    """Reads every file under PATHS, so that each step finds what it reads in the host's caches
    whatever ran before it."""
    for path in paths:
        if not os.path.exists(path):
            raise BenchError(f"{path} is missing before the step")
        if os.path.isfile(path):
            files = [path]
        else:
            files = [os.path.join(root, name) for root, _, names in os.walk(path) for name in names]
        for name in files:
            with open(name, "rb") as f:
                while f.read(1 << 20):
                    pass


def loop_ms(output):
    """The loop's own time that plainloop.exe prints, or None."""
    for line in output.splitlines():
        if line.startswith("elapsed_ms "):
            return float(line.split()[1])
    return None


def fmt_ms(value):
    return "-" if value is None else f"{value:.0f}"


def fmt_ratio(value):
    return "n/a" if value is None else f"{value:.2f}"


def fmt_cell(values):
    s = summary(values)
    if s is None:
        return "-"
    return f"{s[0]:.0f} [{s[1]:.0f}..{s[2]:.0f}]"


# ---------------------------------------------------------------------------------------------
# Processes


def become_subreaper():
    libc = ctypes.CDLL(None, use_errno=True)
    PR_SET_CHILD_SUBREAPER = 36
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        raise BenchError(f"prctl(PR_SET_CHILD_SUBREAPER): errno {ctypes.get_errno()}")


def children():
    pids = set()
    for path in glob.glob(f"/proc/{os.getpid()}/task/*/children"):
        try:
            with open(path) as f:
                pids.update(int(p) for p in f.read().split())
        except OSError:
            pass
    return pids


def command_line(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return f.read().replace(b"\0", b" ").decode(errors="replace").strip()
    except OSError:
        return ""


def is_wine_service(command):
    command = command.lower()
    return command.startswith("c:\\windows\\system32\\") and not command.startswith(
        "c:\\windows\\system32\\conhost.exe")


def vm_hwm_kb(pid):
    """The peak resident memory of a live process so far, in kB, or None."""
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except (OSError, ValueError, IndexError):
        pass
    return None


def cpu_ticks(pid):
    """utime + stime of a live process, in clock ticks, or None once it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    except (OSError, IndexError, ValueError):
        return None


TICK_MS = 1000.0 / os.sysconf("SC_CLK_TCK")


def reap(into=None):
    """Reaps every ended child; adds their rusage to INTO {pid: rusage} when given."""
    while True:
        try:
            pid, _, usage = os.wait4(-1, os.WNOHANG)
        except ChildProcessError:
            return
        if pid == 0:
            return
        if into is not None:
            into[pid] = usage


def machine_busy():
    """(busy, total) jiffies of all CPUs since boot, from /proc/stat."""
    with open("/proc/stat") as f:
        values = [int(v) for v in f.readline().split()[1:]]
    idle = values[3] + values[4]
    return sum(values) - idle, sum(values)


def wineserver(*args):
    subprocess.run(["wineserver", *args], check=False)


# ---------------------------------------------------------------------------------------------
# The benchmark


class Size:
    def __init__(self, spec):
        count, dist, nsis_exe, folders, files, size = spec.split(":")
        self.count = int(count)
        self.dist = os.path.abspath(dist)
        self.nsis_exe = os.path.abspath(nsis_exe)
        self.folders, self.files, self.size = int(folders), int(files), int(size)
        self.payload = payload_files(self.dist)
        if len(self.payload) != self.count:
            raise BenchError(f"{self.dist} holds {len(self.payload)} payload files, "
                             f"not {self.count}")

    def shape(self):
        total = self.count * self.size
        amount = f"{total / 1e6:.1f} MB" if total >= 1e6 else f"{total / 1e3:.0f} KB"
        return (f"{self.count} files: {self.folders} folders x {self.files} files x "
                f"{self.size / 1024:g} KB = {amount}")


class Bench:
    def __init__(self, args):
        self.prefix = os.environ["WINEPREFIX"]
        self.plainloop = os.path.abspath(args.plainloop)
        self.runs = args.runs
        self.work = args.work
        self.sizes = [Size(spec) for spec in args.sizes]
        self.results = []  # dicts, one per step run, also written to results.jsonl
        self.notes = set()
        self.log = open(os.path.join(self.work, "results.jsonl"), "a")

    # -- the steps ----------------------------------------------------------------------------

    def step(self, size, name):
        """(argv, cwd, before, after): the command, and the checks of the state it starts from
        and of the work it must have done. Nothing here runs inside the clock."""
        product = unix_path(self.prefix, PRODUCT)
        plain = unix_path(self.prefix, PLAIN)
        nsis = unix_path(self.prefix, NSIS)
        loop = self.plainloop
        expect = size.payload

        def nothing():
            pass

        if name == "none":
            return ["wine", loop, "none"], self.work, nothing, nothing
        if name == "setup":
            return (["wine", os.path.join(size.dist, "setup.exe"), "-s"], size.dist,
                    lambda: check_gone("before setup.exe -s", product),
                    lambda: self.check_setup(expect, product))
        if name == "copy":
            return (["wine", loop, "copy", windows_path(size.dist), PLAIN], self.work,
                    lambda: check_gone("before the plain copy", plain),
                    lambda: check_payload("the plain copy", expect, plain))
        if name == "nsis":
            return (["wine", size.nsis_exe, "/S", "/D=" + NSIS], self.work,
                    lambda: check_gone("before the NSIS installer", nsis),
                    lambda: self.check_nsis(expect, nsis))
        if name == "setup-rm":
            return (["wine", PRODUCT + "\\PictvUnInst.exe", "-s"], product, nothing,
                    lambda: check_gone("PictvUnInst.exe -s", product))
        if name == "delete":
            return (["wine", loop, "delete", PLAIN], self.work, nothing,
                    lambda: check_gone("the plain delete", plain))
        if name == "nsis-rm":
            return (["wine", NSIS + "\\Uninstall.exe", "/S"], self.work, nothing,
                    lambda: check_gone("the NSIS uninstaller", nsis))
        raise ValueError(name)

    @staticmethod
    def check_setup(expect, product):
        check_payload("setup.exe -s", expect, product)
        for program in ("Pictv6.exe", "PictvUnInst.exe"):
            if not os.path.isfile(os.path.join(product, program)):
                raise BenchError(f"setup.exe -s: {program} is missing from {product}")

    @staticmethod
    def check_nsis(expect, nsis):
        check_payload("the NSIS installer", expect, nsis)
        if not os.path.isfile(os.path.join(nsis, "Uninstall.exe")):
            raise BenchError(f"the NSIS installer: {nsis} holds no Uninstall.exe")

    # -- one timed step -----------------------------------------------------------------------

    def time_step(self, size, name, mode, session):
        argv, cwd, before, after = self.step(size, name)
        before()
        if name in REMOVALS:
            prime([unix_path(self.prefix, {"setup-rm": PRODUCT, "delete": PLAIN,
                                           "nsis-rm": NSIS}[name])])
        else:
            prime([size.dist, size.nsis_exe, self.plainloop])
        reap()
        baseline = children()
        server = session.get("wineserver")
        server_before = cpu_ticks(server) if server else None
        usages = {}
        with tempfile.TemporaryFile(mode="w+") as out:
            subprocess.run(["sync"], check=True)
            start = time.monotonic()
            process = subprocess.Popen(argv, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                       stdin=subprocess.DEVNULL)
            status, usage, peak_kb = self.wait_for(process, start, argv)
            process.returncode = os.waitstatus_to_exitcode(status)
            usages[process.pid] = usage
            if mode == "cold":
                wineserver("-w")
            else:
                self.wait_for_new_processes(baseline, usages, start, argv, name)
            elapsed = (time.monotonic() - start) * 1000
            reap(usages)
            out.seek(0)
            output = out.read()
        if process.returncode != 0:
            raise BenchError(f"{' '.join(argv)} ended with exit code {process.returncode}:\n"
                             f"{output}")
        after()
        # The step's own processes: the one started and, warm, those it started (cold, the
        # reaped ones are Wine's services and the wineserver too, so only the first counts).
        mine = [usages[process.pid]]
        if mode == "warm":
            mine += [u for pid, u in usages.items() if pid != process.pid]
        result = {
            "size": size.count, "mode": mode, "step": name, "ms": elapsed,
            "loop_ms": loop_ms(output),
            "peak_kb": peak_kb,
            "user_ms": sum(u.ru_utime for u in mine) * 1000,
            "sys_ms": sum(u.ru_stime for u in mine) * 1000,
            "processes": len(mine),
        }
        if server_before is not None:
            server_after = cpu_ticks(server)
            if server_after is not None:
                result["server_ms"] = (server_after - server_before) * TICK_MS
        return result

    @staticmethod
    def wait_for(process, start, argv):
        """(wait status, rusage, peak resident kB) of PROCESS; a program that hangs fails its
        step. The peak is the process's VmHWM, read every 20 ms: the last reading is that of the
        program Wine runs, since the high-water mark starts anew at each exec. Not ru_maxrss,
        which keeps the high-water mark of the memory before the exec, and so the size of this
        Python process that forked it."""
        peak_kb = None
        polls = 0
        while True:
            if polls % 10 == 0:
                peak_kb = vm_hwm_kb(process.pid) or peak_kb
            polls += 1
            pid, status, usage = os.wait4(process.pid, os.WNOHANG)
            if pid == process.pid:
                return status, usage, peak_kb
            if time.monotonic() - start > STEP_TIMEOUT_S:
                process.kill()
                raise BenchError(f"{' '.join(argv)}: still running after {STEP_TIMEOUT_S} s")
            time.sleep(0.002)

    def wait_for_new_processes(self, baseline, usages, start, argv, name):
        # Polled rather than waited for: the processes are not ours until their parents end,
        # and Wine's persistent ones stay. 2 ms keeps the error small against steps of tens of
        # milliseconds and the polling's own load light.
        while True:
            reap(usages)
            left = set()
            for pid in children() - baseline:
                # A service of Wine's own that a step brought up stays for the session; its
                # start is the step's, its life is not. The warm session starts the ones
                # known to be needed beforehand, so this is rare and said.
                if is_wine_service(command_line(pid)):
                    baseline.add(pid)
                    self.notes.add(f"{LABELS[name]}: Wine started "
                                   f"{command_line(pid)} and kept it running")
                else:
                    left.add(pid)
            if not left:
                return
            if time.monotonic() - start > STEP_TIMEOUT_S:
                names = ", ".join(command_line(p) or str(p) for p in sorted(left))
                raise BenchError(f"{' '.join(argv)}: still running after {STEP_TIMEOUT_S} s: "
                                 f"{names}")
            time.sleep(0.002)

    # -- sessions -----------------------------------------------------------------------------

    def cold_session(self):
        wineserver("-k")
        wineserver("-w")
        reap()
        return {}

    def warm_session(self):
        """One wineserver that outlives its clients, with the services a first program starts
        already up, so that a step pays only for its own processes."""
        self.cold_session()
        before = children()
        wineserver("-p")
        started = children() - before
        servers = [p for p in started if "wineserver" in command_line(p)]
        if len(servers) != 1:
            raise BenchError(f"no persistent wineserver started ({started})")
        # RPCSS comes up at the first use of COM (the setup program's shortcuts) and stays: its
        # start is a cold cost, which a warm session has paid before.
        subprocess.run(["wine", "net", "start", "RpcSs"], check=True, stdout=subprocess.DEVNULL)
        # Likewise the desktop's process, which Wine starts for the first window and keeps.
        subprocess.Popen(["wine", "explorer.exe", "/desktop"], stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
        # The services settle a moment after the first program; a step must not wait for them.
        time.sleep(1)
        reap()
        return {"wineserver": servers[0]}

    def end_session(self):
        wineserver("-k")
        wineserver("-w")
        reap()

    # -- runs and tables ----------------------------------------------------------------------

    def run_size(self, size):
        print(f"\n== {size.shape()}; {self.runs} runs ==", flush=True)
        load_before = os.getloadavg()
        for run in range(self.runs):
            order = run_order(run)
            for mode in ("cold", "warm"):
                session = self.cold_session() if mode == "cold" else self.warm_session()
                busy0 = machine_busy()
                times = []
                try:
                    for name in order:
                        result = self.time_step(size, name, mode, session)
                        result["run"] = run + 1
                        self.results.append(result)
                        self.log.write(json.dumps(result) + "\n")
                        self.log.flush()
                        times.append(f"{name} {result['ms']:.0f}")
                finally:
                    self.end_session()
                busy1 = machine_busy()
                busy = (busy1[0] - busy0[0]) / max(1, busy1[1] - busy0[1])
                print(f"run {run + 1} {mode}: {', '.join(times)} ms; machine busy "
                      f"{busy * 100:.0f}% of {os.cpu_count()} CPUs, load "
                      f"{os.getloadavg()[0]:.2f}", flush=True)
        load_after = os.getloadavg()
        self.print_size(size, load_before, load_after)

    def figures(self, size, mode, step, key="ms"):
        return [r[key] for r in self.results
                if r["size"] == size.count and r["mode"] == mode and r["step"] == step
                and r.get(key) is not None]

    def median(self, size, mode, step, key="ms"):
        s = summary(self.figures(size, mode, step, key))
        return None if s is None else s[0]

    def net(self, size, mode, step):
        value, base = self.median(size, mode, step), self.median(size, mode, "none")
        return None if value is None or base is None else value - base

    def print_size(self, size, load_before, load_after):
        print(f"\n{size.shape()}, {self.runs} runs; ms, median [min..max]; net = median less "
              f"the do-nothing program's median")
        print(f"{'':34} {'cold':>22} {'net':>7}   {'warm':>20} {'net':>7}")
        for step in INSTALLS + REMOVALS:
            cells = []
            for mode in ("cold", "warm"):
                net = None if step == "none" else self.net(size, mode, step)
                cells.append((fmt_cell(self.figures(size, mode, step)), fmt_ms(net)))
            print(f"{LABELS[step]:34} {cells[0][0]:>22} {cells[0][1]:>7}   "
                  f"{cells[1][0]:>20} {cells[1][1]:>7}")
            if step in ("copy", "delete"):
                own = [fmt_cell(self.figures(size, m, step, "loop_ms")) for m in ("cold", "warm")]
                print(f"{'  the loop alone, its own clock':34} {own[0]:>22} {'':>7}   "
                      f"{own[1]:>20}")
        print("ratios, setup against:            cold wall (net)      warm wall (net)")
        for phase, mine, peer, label in RATIOS:
            cells = []
            for mode in ("cold", "warm"):
                wall = ratio(self.median(size, mode, mine), self.median(size, mode, peer))
                net = ratio(self.net(size, mode, mine), self.net(size, mode, peer))
                cells.append(f"{fmt_ratio(wall)} ({fmt_ratio(net)})")
            print(f"  {phase + ' / ' + label:32} {cells[0]:>16} {cells[1]:>20}")
        print("peak resident memory of the Wine process started (VmHWM, MB, median cold / warm):")
        for step in ("setup", "setup-rm", "copy", "nsis", "nsis-rm"):
            cells = []
            for mode in ("cold", "warm"):
                value = self.median(size, mode, step, "peak_kb")
                cells.append("-" if value is None else f"{value / 1024:.1f}")
            print(f"  {LABELS[step]:32} {cells[0]:>6} / {cells[1]}")
        print("warm, medians: CPU ms of the step's processes (user, system) and of the "
              "wineserver; the processes the step started")
        for step in INSTALLS[1:] + REMOVALS:
            user = self.median(size, "warm", step, "user_ms")
            system = self.median(size, "warm", step, "sys_ms")
            server = self.median(size, "warm", step, "server_ms")
            processes = self.median(size, "warm", step, "processes")
            print(f"  {LABELS[step]:32} user {fmt_ms(user):>6}  sys {fmt_ms(system):>6}  "
                  f"wineserver {fmt_ms(server):>6}  processes {fmt_ms(processes):>3}")
        print(f"load average (1, 5, 15 min) before {', '.join(f'{v:.2f}' for v in load_before)}"
              f"; after {', '.join(f'{v:.2f}' for v in load_after)}; {os.cpu_count()} CPUs",
              flush=True)
        for note in sorted(self.notes):
            print(f"note: {note}")
        self.notes.clear()

    def print_ratios(self):
        if len(self.sizes) < 2:
            return
        print("\nratios of the medians, setup against its peers, wall (net):")
        print(f"{'':28}" + "".join(f"{s.count:>16} files" for s in self.sizes))
        for mode in ("cold", "warm"):
            for phase, mine, peer, label in RATIOS:
                row = f"  {mode} {phase + ' / ' + label:22}"
                for size in self.sizes:
                    wall = ratio(self.median(size, mode, mine), self.median(size, mode, peer))
                    net = ratio(self.net(size, mode, mine), self.net(size, mode, peer))
                    row += f"{fmt_ratio(wall) + ' (' + fmt_ratio(net) + ')':>22}"
                print(row)

    def print_per_file(self):
        """Per file and fixed costs from the smallest and the largest size of one file size: the
        per-file figure is what decides at large counts, and a fixed part is what the setup
        program does whatever the files (registry, shortcuts, logs, the hand-over)."""
        by_bytes = {}
        for size in self.sizes:
            by_bytes.setdefault(size.size, []).append(size)
        for group in by_bytes.values():
            if len(group) < 2:
                continue
            small = min(group, key=lambda s: s.count)
            big = max(group, key=lambda s: s.count)
            print(f"\nper file and fixed, from {small.count} and {big.count} files of "
                  f"{small.size / 1024:g} KB (medians): us per file, fixed ms; setup's per-file "
                  f"cost against its peers'")
            for mode in ("cold", "warm"):
                lines = {}
                for step in INSTALLS[1:] + REMOVALS:
                    lines[step] = per_file((small.count, self.median(small, mode, step)),
                                           (big.count, self.median(big, mode, step)))
                    if lines[step] is not None:
                        slope, fixed = lines[step]
                        print(f"  {mode} {LABELS[step]:32} {slope * 1000:8.0f} us {fixed:8.0f} ms")
                for _, mine, peer, label in RATIOS:
                    if lines.get(mine) and lines.get(peer):
                        print(f"  {mode} {LABELS[mine]} / {label}: "
                              f"{fmt_ratio(ratio(lines[mine][0], lines[peer][0]))} per file")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--plainloop", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("sizes", nargs="+", help="COUNT:DIST:NSIS_EXE:FOLDERS:FILES:BYTES")
    args = parser.parse_args()
    if args.runs < 1:
        parser.error("at least one run")
    become_subreaper()
    try:
        bench = Bench(args)
        for size in bench.sizes:
            bench.run_size(size)
        bench.print_ratios()
        bench.print_per_file()
    except BenchError as error:
        print(f"bench: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
