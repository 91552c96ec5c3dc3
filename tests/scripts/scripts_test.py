#!/usr/bin/env python3
"""The set-up, test, run and benchmark scripts, for both kinds of machine.

Every script runs from a scratch copy of the repository's scripts/ folder, with
fake build folders, so each architecture's path is taken whatever this machine
runs: QAV_ARCHES stands for the kernel probe, QAV_WINE32_LOADER for the 32-bit
Wine loader. deps.sh runs against fake apt-get, dpkg and dpkg-query commands
first on PATH, which record what they were asked and fail on demand.

    scripts_test.py REPOSITORY [unittest arguments]
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

REPO = None

FAKE_APT = r"""#!/bin/sh
echo "apt-get $*" >>"$FAKE_LOG"
case "$1" in
    update)
        if [ -n "$FAKE_UPDATE_FAILS" ]; then
            echo "E: Failed to fetch http://archive.invalid/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.1 80]"
            echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
            exit 100
        fi ;;
    install)
        for p in "$@"; do
            case "$p" in
                wine32:i386)
                    if [ -n "$FAKE_WINE32_FAILS" ]; then
                        echo " libwine:i386 : Depends: libssl3:i386 (>= 3.0.0) but it is not going to be installed"
                        echo "E: Unable to correct problems, you have held broken packages."
                        exit 100
                    fi
                    touch "$QAV_WINE32_LOADER" && chmod +x "$QAV_WINE32_LOADER" ;;
                "$FAKE_BROKEN_PACKAGE")
                    echo "E: Unable to locate package $p"
                    exit 100 ;;
            esac
        done ;;
esac
exit 0
"""

FAKE_DPKG = r"""#!/bin/sh
echo "dpkg $*" >>"$FAKE_LOG"
case "$1" in
    --print-foreign-architectures) cat "$FAKE_DPKG_ARCHES" 2>/dev/null ;;
    --add-architecture) echo "$2" >>"$FAKE_DPKG_ARCHES" ;;
esac
exit 0
"""

# Every package counts as installed but those in FAKE_MISSING; wine32 counts as
# installed once its loader exists.
FAKE_DPKG_QUERY = r"""#!/bin/sh
for p; do :; done
if [ "$p" = wine32:i386 ]; then
    [ -x "$QAV_WINE32_LOADER" ] || exit 1
else
    for m in $FAKE_MISSING; do [ "$m" = "$p" ] && exit 1; done
fi
printf 'install ok installed'
"""

FAKE_SUDO = '#!/bin/sh\nexec "$@"\n'

# Each call plays the next run of FAKE_CTEST_RUNS (runs split by ";", each
# "name=status,..." with JUnit's statuses, or "crash": no JUnit file): it writes
# the JUnit file asked for and exits 8 when a test did not pass.
FAKE_CTEST = r"""#!/usr/bin/env python3
import os, sys
counter = os.environ["FAKE_LOG"] + ".ctest"
n = int(open(counter).read()) if os.path.exists(counter) else 0
open(counter, "w").write(str(n + 1))
with open(os.environ["FAKE_LOG"], "a") as log:
    log.write("ctest " + " ".join(sys.argv[1:]) + "\n")
run = os.environ["FAKE_CTEST_RUNS"].split(";")[n]
if run == "crash":
    sys.exit(8)
tests = [test.rsplit("=", 1) for test in run.split(",")]
with open(sys.argv[sys.argv.index("--output-junit") + 1], "w") as junit:
    junit.write('<?xml version="1.0" encoding="UTF-8"?>\n<testsuite name="fake" tests="%d">\n' % len(tests))
    for name, status in tests:
        junit.write('<testcase name="%s" classname="%s" status="%s"/>\n' % (name, name, status))
    junit.write("</testsuite>\n")
sys.exit(0 if all(status == "run" for _, status in tests) else 8)
"""


def build_folders():
    """The build folders as scripts/build-folders.env names them: {"x86": "build", ...}."""
    folders = {}
    with open(os.path.join(REPO, "scripts", "build-folders.env")) as f:
        for line in f:
            if line.startswith("QAV_BUILD_"):
                key, value = line.strip().split("=", 1)
                folders[key[len("QAV_BUILD_"):].lower()] = value
    return folders


class Sandbox:
    """A scratch repository with the real scripts and fake builds and commands."""

    def __init__(self, root):
        self.root = root
        shutil.copytree(os.path.join(REPO, "scripts"), os.path.join(root, "scripts"))
        self.folders = build_folders()
        self._write("CMakeLists.txt", "project(QAVDemo VERSION 9.8.7.6 LANGUAGES C CXX)\n")
        self._write(self.folders["x86"] + "/bin/bench_x86only.exe", "")
        self._write(self.folders["x64"] + "/bin/bench_x64only.exe", "")
        self._write("bench/sizes/bench.sh", "echo sizes\n")
        self._write(self.folders["native"] + "/bin/bench_native", "#!/bin/sh\necho native\n", executable=True)
        self.bin = os.path.join(root, "fakebin")
        for name, text in (("apt-get", FAKE_APT), ("dpkg", FAKE_DPKG), ("dpkg-query", FAKE_DPKG_QUERY),
                           ("sudo", FAKE_SUDO), ("ctest", FAKE_CTEST)):
            self._write(os.path.join("fakebin", name), text, executable=True)
        self.log = os.path.join(root, "calls.log")
        self.loader = os.path.join(root, "wine32-loader")
        self.state = os.path.join(root, "state")
        self.env = {
            "PATH": self.bin + os.pathsep + os.environ["PATH"],
            "HOME": root,
            "QAV_ARCHES": "x86 x64",
            "QAV_WINE32_LOADER": self.loader,
            "QAV_STATE_DIR": self.state,
            "QAV_APT_RETRY_SECONDS": "0",
            "FAKE_LOG": self.log,
            "FAKE_DPKG_ARCHES": os.path.join(root, "dpkg-arches"),
        }

    def _write(self, name, text, executable=False):
        path = os.path.join(self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)
        if executable:
            os.chmod(path, 0o755)

    def install_loader(self):
        self._write("wine32-loader", "#!/bin/sh\n", executable=True)

    def run(self, script, *args, **env):
        full = {**os.environ, **self.env, **env}
        return subprocess.run([os.path.join(self.root, "scripts", script), *args],
                              env=full, capture_output=True, text=True, timeout=120)

    def calls(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return f.read().splitlines()


class ScriptTestCase(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.box = Sandbox(self._dir.name)

    def tearDown(self):
        self._dir.cleanup()

    def ok(self, script, *args, **env):
        done = self.box.run(script, *args, **env)
        self.assertEqual(done.returncode, 0, f"{script} failed:\n{done.stdout}\n{done.stderr}")
        return done.stdout


class ArchitectureTest(ScriptTestCase):
    # (kernel's answer, 32-bit loader installed, record of a failed install,
    #  expected architectures, expected start of --why)
    CASES = [
        ("x86 x64", True, None, "x86 x64", ""),
        ("x86 x64", False, "apt says no", "x64", "32-bit Wine could not be installed: apt says no"),
        ("x86 x64", False, None, "x64", "32-bit Wine is not installed"),
        ("x64", True, None, "x64", "QAV_ARCHES=x64 leaves the 32-bit architecture out"),
        ("x64", False, "apt says no", "x64", "QAV_ARCHES=x64 leaves"),
    ]

    def test_arches_and_reason(self):
        for kernel, loader, record, arches, why in self.CASES:
            with self.subTest(kernel=kernel, loader=loader, record=record):
                box = Sandbox(tempfile.mkdtemp(dir=self._dir.name))
                if loader:
                    box.install_loader()
                if record:
                    os.makedirs(box.state)
                    with open(os.path.join(box.state, "wine32-install-failed"), "w") as f:
                        f.write(record + "\n")
                self.assertEqual(box.run("arch.sh", QAV_ARCHES=kernel).stdout.strip(), arches)
                self.assertEqual(box.run("arch.sh", "--kernel", QAV_ARCHES=kernel).stdout.strip(), kernel)
                reason = box.run("arch.sh", "--why", QAV_ARCHES=kernel).stdout.strip()
                self.assertTrue(reason.startswith(why) and (why or not reason), reason)

    def test_unknown_override_is_refused(self):
        done = self.box.run("arch.sh", QAV_ARCHES="arm64")
        self.assertEqual(done.returncode, 2)
        self.assertIn("QAV_ARCHES", done.stderr)


class TestScriptTest(ScriptTestCase):
    def summary(self, **env):
        out = self.ok("test.sh", QAV_DRY_RUN="1", **env)
        return out, out[out.index("== Summary"):].splitlines()

    def test_both_architectures_run_their_suites(self):
        self.box.install_loader()
        out, summary = self.summary()
        self.assertIn("x86: would run ctest in " + os.path.join(self.box.root, self.box.folders["x86"]), out)
        self.assertIn("x64: would run ctest in " + os.path.join(self.box.root, self.box.folders["x64"]), out)
        self.assertFalse([line for line in summary if "not run" in line], summary)
        self.assertEqual(summary[-1], "== Dry run: nothing was run, on: x86 x64")

    def test_without_32_bit_wine_the_x86_files_are_checked_and_the_reason_given(self):
        os.makedirs(self.box.state)
        with open(os.path.join(self.box.state, "wine32-install-failed"), "w") as f:
            f.write("apt-get install wine32:i386: held broken packages\n")
        out, summary = self.summary()
        self.assertIn("x86 files: dry run", "\n".join(summary))
        self.assertNotIn("x86: would run ctest", out)
        self.assertIn("x64: would run ctest", out)
        self.assertEqual(summary[-2].strip(), "x86: not run: 32-bit Wine could not be installed: "
                                              "apt-get install wine32:i386: held broken packages")

    def test_on_a_64_bit_only_kernel_the_kernel_is_the_reason(self):
        self.box.install_loader()
        out, summary = self.summary(QAV_ARCHES="x64")
        self.assertNotIn("x86: would run ctest", out)
        self.assertEqual(summary[-2].strip(), "x86: not run: QAV_ARCHES=x64 leaves the 32-bit architecture out")


class CtestRunTest(ScriptTestCase):
    """scripts/ctest-run.sh: a suite's line in the summary, read from ctest's JUnit file."""

    # (ctest's runs, the summary line after "x64: ", status, ctest calls)
    CASES = [
        ("a=run,b=run", "2 of 2 tests passed, 0 failed, 0 skipped", 0, 1),
        ("a=run,p/1  # GetParam() = 1=fail;p/1  # GetParam() = 1=run",
         "2 of 2 tests passed, 0 failed, 0 skipped (1 failed on the first run and passed on the second: p/1)", 0, 2),
        ("a=fail,b=fail;a=run,b=fail", "0 of 2 tests passed, 2 failed, 0 skipped", 1, 2),
        ("a=run,b=notrun,c=fail", "1 of 3 tests passed, 1 failed, 1 skipped", 1, 1),
        ("a=run,b=disabled", "1 of 2 tests passed, 0 failed, 1 skipped", 1, 1),
        ("crash", "did not run (ctest exit code 8)", 1, 1),
    ]

    def test_each_outcome_has_its_line_and_status(self):
        script = ('. scripts/ctest-run.sh; summary=(); status=0; run_ctest x64 "$PWD"; '
                  'printf "%s\\n" "${summary[@]}"; echo "status $status"')
        for runs, line, status, calls in self.CASES:
            with self.subTest(runs=runs):
                box = Sandbox(tempfile.mkdtemp(dir=self._dir.name))
                done = subprocess.run(["bash", "-c", script], cwd=box.root, capture_output=True, text=True,
                                      timeout=60, env={**os.environ, **box.env, "FAKE_CTEST_RUNS": runs})
                out = done.stdout.splitlines()
                self.assertEqual(out[-2:], ["x64: " + line, f"status {status}"], done.stdout + done.stderr)
                self.assertEqual(len([c for c in box.calls() if c.startswith("ctest ")]), calls)


class RunAndBenchTest(ScriptTestCase):
    def test_run_starts_the_workbench_that_can_run(self):
        # (kernel, 32-bit loader installed, workbench started, reason said)
        for kernel, loader, build, said in (("x86 x64", True, "x86", False),
                                            ("x86 x64", False, "x64", True),
                                            ("x64", True, "x64", True)):
            with self.subTest(kernel=kernel, loader=loader):
                box = Sandbox(tempfile.mkdtemp(dir=self._dir.name))
                if loader:
                    box.install_loader()
                done = box.run("run.sh", QAV_DRY_RUN="1", QAV_ARCHES=kernel)
                self.assertEqual(done.returncode, 0, done.stderr)
                exe = os.path.join(box.root, box.folders[build], "bin", "QAVDemo.exe")
                self.assertIn(f"workbench: {exe}", done.stdout)
                self.assertEqual("so the 64-bit workbench starts" in done.stdout, said, done.stdout)

    def test_bench_runs_every_architecture_that_can_run(self):
        for kernel, loader, x86 in (("x86 x64", True, True), ("x86 x64", False, False), ("x64", True, False)):
            with self.subTest(kernel=kernel, loader=loader):
                box = Sandbox(tempfile.mkdtemp(dir=self._dir.name))
                if loader:
                    box.install_loader()
                done = box.run("bench.sh", QAV_DRY_RUN="1", QAV_ARCHES=kernel)
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                self.assertIn("bench_native", done.stdout)
                self.assertIn("sizes/bench.sh", done.stdout)
                self.assertIn("x64 bench_x64only.exe", done.stdout)
                self.assertEqual("x86 bench_x86only.exe" in done.stdout, x86, done.stdout)
                self.assertEqual("x86 benchmarks not run" in done.stdout, not x86, done.stdout)


class DepsTest(ScriptTestCase):
    def deps(self, **env):
        return self.box.run("deps.sh", **env)

    def installs(self):
        return [c for c in self.box.calls() if c.startswith("apt-get install")]

    def test_a_refused_wine32_leaves_everything_else_installed_and_says_why(self):
        done = self.deps(FAKE_MISSING="wine64 shellcheck", FAKE_UPDATE_FAILS="1", FAKE_WINE32_FAILS="1")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        installs = self.installs()
        self.assertIn("wine64 shellcheck", installs[0])
        self.assertIn("wine32:i386", installs[-1])
        self.assertIn("dpkg --add-architecture i386", self.box.calls())
        paragraph = " ".join(done.stdout.split())
        self.assertIn("32-bit Wine could not be installed, so the 32-bit build's tests will not run", paragraph)
        self.assertIn("held broken packages", paragraph)
        self.assertIn("the bookworm-security main/binary-i386 index (File has unexpected size", paragraph)
        self.assertNotIn("archive.invalid", paragraph)

        self.assertEqual(self.box.run("arch.sh").stdout.strip(), "x64")
        why = self.box.run("arch.sh", "--why").stdout.strip()
        self.assertTrue(why.startswith("32-bit Wine could not be installed: apt-get install wine32:i386: "
                                       "Unable to correct problems, you have held broken packages"), why)
        summary = self.ok("test.sh", QAV_DRY_RUN="1")
        self.assertIn("x86: not run: 32-bit Wine could not be installed: ", summary.splitlines()[-2])

    def test_a_recent_refusal_is_not_tried_again(self):
        self.deps(FAKE_WINE32_FAILS="1")
        first = len(self.installs())
        again = self.deps(FAKE_WINE32_FAILS="1")
        self.assertEqual(again.returncode, 0, again.stderr)
        self.assertEqual(len(self.installs()), first)
        self.assertIn("not tried again", again.stdout)

    def test_wine32_that_installs_clears_an_old_refusal(self):
        self.deps(FAKE_WINE32_FAILS="1")
        record = self.box.run("arch.sh", "--record-file").stdout.strip()
        os.utime(record, (0, 0))
        done = self.deps()
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertFalse(os.path.exists(record))
        self.assertEqual(self.box.run("arch.sh").stdout.strip(), "x86 x64")

    def test_a_package_the_build_needs_that_fails_fails_the_set_up(self):
        done = self.deps(FAKE_MISSING="cmake", FAKE_BROKEN_PACKAGE="cmake")
        self.assertNotEqual(done.returncode, 0)

    def test_a_64_bit_only_kernel_asks_for_no_i386_package(self):
        done = self.deps(QAV_ARCHES="x64", FAKE_MISSING="xvfb")
        self.assertEqual(done.returncode, 0, done.stderr)
        calls = "\n".join(self.box.calls())
        self.assertNotIn("i386", calls)
        self.assertIn("xvfb", calls)

    def test_nothing_missing_means_no_apt_at_all(self):
        self.box.install_loader()
        done = self.deps()
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertFalse(self.installs())
        self.assertNotIn("apt-get update", self.box.calls())


class SuiteFoldersTest(unittest.TestCase):
    """cmake/QavSuites.cmake, as tests/CMakeLists.txt uses it."""

    def configure(self, suites, present):
        with tempfile.TemporaryDirectory() as tmp:
            for suite in present:
                os.makedirs(os.path.join(tmp, suite))
                with open(os.path.join(tmp, suite, "CMakeLists.txt"), "w") as f:
                    f.write(f'message(STATUS "suite {suite} added")\n')
            os.makedirs(os.path.join(tmp, "forgotten"))
            with open(os.path.join(tmp, "CMakeLists.txt"), "w") as f:
                f.write("cmake_minimum_required(VERSION 3.25)\nproject(suites NONE)\n"
                        f"include({REPO}/cmake/QavSuites.cmake)\nqav_add_suites({' '.join(suites)})\n")
            return subprocess.run(["cmake", "-S", tmp, "-B", os.path.join(tmp, "build")],
                                  capture_output=True, text=True, timeout=120)

    def test_every_listed_suite_with_its_file_is_added(self):
        done = self.configure(["app", "util"], ["app", "util"])
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("suite app added", done.stdout)
        self.assertIn("suite util added", done.stdout)

    def test_a_suite_folder_without_its_file_fails_the_configure_step(self):
        done = self.configure(["app", "forgotten"], ["app"])
        self.assertNotEqual(done.returncode, 0, done.stdout)
        self.assertIn("forgotten has no CMakeLists.txt", " ".join(done.stderr.split()))


class ProgramPathTest(unittest.TestCase):
    """cmake/QavProgramPath.cmake: host paths as the built programs see them."""

    def test_drive_z_only_when_cross_compiling(self):
        # (cross-compiling, path, the programs' path)
        for cross, path, seen in ((True, "/src/docs", "Z:/src/docs"), (False, "C:/src/docs", "C:/src/docs"),
                                  (True, "", "")):
            with self.subTest(cross=cross, path=path), tempfile.TemporaryDirectory() as tmp:
                with open(os.path.join(tmp, "CMakeLists.txt"), "w") as f:
                    f.write("cmake_minimum_required(VERSION 3.25)\nproject(paths NONE)\n"
                            f"set(CMAKE_CROSSCOMPILING {'TRUE' if cross else 'FALSE'})\n"
                            f"include({REPO}/cmake/QavProgramPath.cmake)\n"
                            f'qav_program_path(seen "{path}")\nmessage(STATUS "seen=[${{seen}}]")\n')
                done = subprocess.run(["cmake", "-S", tmp, "-B", os.path.join(tmp, "build")],
                                      capture_output=True, text=True, timeout=120)
                self.assertIn(f"seen=[{seen}]", done.stdout, done.stderr)


if __name__ == "__main__":
    REPO = os.path.abspath(sys.argv[1])
    unittest.main(argv=[sys.argv[0], *sys.argv[2:]], verbosity=2)
