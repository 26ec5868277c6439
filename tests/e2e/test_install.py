"""The Debian package, installed into a fresh root: its computed dependencies and files,
and the installed Parlix, which finds its shipped server script from the executable's
location and writes the installed desktop entry with the installed executable as its
autostart entry."""
import os
import shutil
import subprocess
import tempfile
import unittest

import harness as h

BUILD_DIR = os.environ.get("PARLIX_BUILD_DIR", "")
OUT = ROOT = DEB = ""


def setUpModule():
    global OUT, ROOT, DEB
    if not BUILD_DIR:
        raise unittest.SkipTest("PARLIX_BUILD_DIR is not set")
    OUT = tempfile.mkdtemp(prefix="parlix-deb-")
    subprocess.run(["cpack", "-G", "DEB", "-B", OUT, "--config", os.path.join(BUILD_DIR, "CPackConfig.cmake")],
                   check=True, stdout=subprocess.DEVNULL)
    debs = [f for f in os.listdir(OUT) if f.startswith("parlix_") and f.endswith(".deb")]
    assert len(debs) == 1, os.listdir(OUT)
    DEB, ROOT = os.path.join(OUT, debs[0]), os.path.join(OUT, "root")
    admin = os.path.join(ROOT, "var", "lib", "dpkg")
    os.makedirs(os.path.join(admin, "info"))
    os.makedirs(os.path.join(admin, "updates"))
    open(os.path.join(admin, "status"), "w").close()
    # The empty root has none of the dependencies: installing warns about each.
    installed = subprocess.run(["dpkg", "--root", ROOT, "--force-depends", "--force-not-root",
                                "--force-script-chrootless", "--log=/dev/null", "-i", DEB],
                               capture_output=True, text=True)
    # Only dpkg's warnings: the package's own script is silent where no udev runs (a container).
    foreign = [l for l in installed.stderr.splitlines() if l.strip() and not l.startswith(("dpkg:", " "))]
    assert installed.returncode == 0 and not foreign, installed.stderr


def tearDownModule():
    shutil.rmtree(OUT, ignore_errors=True)


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


class Package(unittest.TestCase):
    def test_dependencies_and_files(self):
        depends = subprocess.run(["dpkg-deb", "-f", DEB, "Depends"], capture_output=True, text=True,
                                 check=True).stdout
        # Local mode needs nothing the package does not bring: a venv with its own pip.
        for package in ("libqt6widgets6", "libqt6network6", "libpulse0", "libxi6", "libxtst6",
                        "libevdev2", "python3", "python3-venv", "python3-pip-whl", "procps"):
            self.assertIn(package, depends)
        # The server script, its modules and the pinned requirements it installs from.
        resources = os.path.join(h.HERE, "..", "..", "resources")
        server = [f for f in os.listdir(resources)
                  if f.endswith(".py") or (f.startswith("requirements") and f.endswith(".txt"))]
        self.assertIn("local_server.py", server)
        icons = [f"/usr/share/icons/hicolor/{s}x{s}/apps/parlix.png" for s in (16, 22, 24, 32, 48, 64, 128, 256, 512)]
        files = subprocess.run(["dpkg", "--root", ROOT, "-L", "parlix"], capture_output=True, text=True,
                               check=True).stdout.split()
        for path in ("/usr/bin/parlix", "/usr/share/applications/parlix.desktop", *icons,
                     *("/usr/share/parlix/" + f for f in server)):
            self.assertIn(path, files)
            self.assertTrue(os.path.exists(ROOT + path))
        self.assertTrue(os.access(ROOT + "/usr/bin/parlix", os.X_OK))
        self.assertFalse([f for f in files if os.path.basename(f) == "uv"])
        entry = read(ROOT + "/usr/share/applications/parlix.desktop")  # names what was installed
        self.assertTrue("\nExec=parlix\n" in entry and "\nIcon=parlix\n" in entry, entry)
        if shutil.which("desktop-file-validate"):
            subprocess.run(["desktop-file-validate", ROOT + "/usr/share/applications/parlix.desktop"], check=True)


class InstalledParlix(h.DesktopTest):
    def test_runs_the_shipped_server_and_writes_the_autostart_entry(self):
        prefix = ROOT + "/usr"
        self.home.make_venv("--system-site-packages")
        self.home.write_settings({"setupCompleted": True, "useLocalServer": True})
        self.parlix = self.keep(h.Parlix(self.home, h.OFFLINE_ENGINE, binary=f"{prefix}/bin/parlix"))
        script = f"{prefix}/share/parlix/local_server.py"
        self.assertTrue(h.wait_until(lambda: h.processes_matching(script), 30), self.parlix.output())
        autostart = os.path.join(self.home.config, "autostart", "parlix.desktop")
        for wanted in (True, False):
            settings = h.open_settings_window()
            self.assertTrue(settings)
            h.click(settings, h.LAUNCH_AT_LOGIN_CHECKBOX)
            h.click(settings, h.SAVE_BUTTON)
            self.assertTrue(h.wait_until(lambda: os.path.exists(autostart) == wanted, 5))
            if wanted:
                installed = read(f"{prefix}/share/applications/parlix.desktop").splitlines()
                written = read(autostart).splitlines()
                self.assertIn(f"Exec={prefix}/bin/parlix", written)
                self.assertEqual([l for l in written if not l.startswith(("Exec=", "X-GNOME"))],
                                 [l for l in installed if not l.startswith("Exec=")])
        # The login's autostart and the menu entry may both start it: the second one ends.
        second = subprocess.run([f"{prefix}/bin/parlix"], env=self.home.env(h.OFFLINE_ENGINE), cwd=self.home.root,
                                capture_output=True, text=True, timeout=10)
        self.assertEqual((second.returncode, second.stdout), (0, "Parlix 已在运行\n"))
        self.assertEqual(len(h.server_processes()), 1)
        self.parlix.stop()  # SIGTERM: an orderly quit stops the server
        self.assertTrue(h.wait_until(lambda: not h.server_processes(), 5), h.server_processes())


if __name__ == "__main__":
    unittest.main()
