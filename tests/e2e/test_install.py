"""The installed Parlix: `cmake --install` into a temporary prefix finds its shipped
resources from the executable's location, the .deb carries the right files and computed
dependencies, and the autostart entry written by the running application is the installed
desktop entry with the installed executable."""
import os
import shutil
import subprocess
import tempfile
import unittest

import harness as h

BUILD_DIR = os.environ.get("PARLIX_BUILD_DIR", "")


def shipped_server_files():
    """The server script, its modules and the pinned requirements it installs from."""
    resources = os.path.join(h.HERE, "..", "..", "resources")
    names = [f for f in os.listdir(resources)
             if f.endswith(".py") or (f.startswith("requirements") and f.endswith(".txt"))]
    assert "local_server.py" in names
    return names


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


class InstallTree(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not BUILD_DIR:
            raise unittest.SkipTest("PARLIX_BUILD_DIR is not set")
        cls.prefix = tempfile.mkdtemp(prefix="parlix-prefix-")
        subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", cls.prefix], check=True,
                       stdout=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.prefix, ignore_errors=True)

    def test_layout(self):
        p = self.prefix
        self.assertTrue(os.access(f"{p}/bin/parlix", os.X_OK))
        for f in shipped_server_files():
            self.assertTrue(os.path.isfile(f"{p}/share/parlix/{f}"), f)
        entry = read(f"{p}/share/applications/parlix.desktop")
        for line in ("Name=Parlix", "Exec=parlix", "Icon=parlix", "NoDisplay=false",
                     "Categories=Utility;Accessibility;"):
            self.assertIn(line + "\n", entry)
        self.assertRegex(entry, r"\nComment=.*[\u4e00-\u9fff]")
        for size in (16, 22, 24, 32, 48, 64, 128, 256, 512):
            self.assertTrue(os.path.isfile(f"{p}/share/icons/hicolor/{size}x{size}/apps/parlix.png"))
        if subprocess.run(["which", "desktop-file-validate"], capture_output=True).returncode == 0:
            subprocess.run(["desktop-file-validate", f"{p}/share/applications/parlix.desktop"], check=True)

    def test_installed_parlix_starts_the_shipped_server_script(self):
        h.need_desktop(self)
        home = h.Home()
        try:
            # The server the installed Parlix starts must be the script under <prefix>/share/parlix.
            env = h.offline_recogniser(home, prepared=True)
            home.write_settings({"setupCompleted": True, "useLocalServer": True})
            parlix = h.Parlix(home, env, binary=f"{self.prefix}/bin/parlix")
            try:
                script = f"{self.prefix}/share/parlix/local_server.py"
                self.assertTrue(h.wait_until(lambda: h.processes_matching(script), 30),
                                parlix.output())
                self.switch_launch_at_login(home)
            finally:
                parlix.stop()
            self.assertTrue(h.wait_until(lambda: not h.server_processes(), 5))
        finally:
            home.cleanup()


    def switch_launch_at_login(self, home):
        """The running application writes the autostart entry from the installed desktop
        entry, pointing at the installed executable, and removes it again."""
        autostart = os.path.join(home.config, "autostart", "parlix.desktop")
        for wanted in (True, False):
            settings = h.open_settings_window()
            self.assertTrue(settings)
            h.click(settings, h.LAUNCH_AT_LOGIN_CHECKBOX)
            h.click(settings, h.SAVE_BUTTON)
            self.assertTrue(h.wait_until(lambda: os.path.exists(autostart) == wanted, 5))
            if wanted:
                installed = read(f"{self.prefix}/share/applications/parlix.desktop").splitlines()
                written = read(autostart).splitlines()
                self.assertIn(f"Exec={self.prefix}/bin/parlix", written)
                self.assertEqual([l for l in written if not l.startswith(("Exec=", "X-GNOME"))],
                                 [l for l in installed if not l.startswith("Exec=")])


class DebianPackage(unittest.TestCase):
    def test_package_installs_into_a_fresh_root(self):
        if not BUILD_DIR:
            self.skipTest("PARLIX_BUILD_DIR is not set")
        out = tempfile.mkdtemp(prefix="parlix-deb-")
        try:
            subprocess.run(["cpack", "-G", "DEB", "-B", out, "--config",
                            os.path.join(BUILD_DIR, "CPackConfig.cmake")],
                           check=True, stdout=subprocess.DEVNULL)
            debs = [f for f in os.listdir(out) if f.startswith("parlix_") and f.endswith(".deb")]
            self.assertEqual(len(debs), 1, os.listdir(out))
            deb = os.path.join(out, debs[0])
            depends = subprocess.run(["dpkg-deb", "-f", deb, "Depends"], capture_output=True,
                                     text=True, check=True).stdout
            # Local mode needs nothing the package does not bring: a venv with its own pip.
            for package in ("libqt6widgets6", "libqt6network6", "libpulse0", "libxi6", "libxtst6",
                            "libevdev2", "python3", "python3-venv", "python3-pip-whl", "procps"):
                self.assertIn(package, depends)
            root = os.path.join(out, "root")
            admin = os.path.join(root, "var", "lib", "dpkg")
            os.makedirs(os.path.join(admin, "info"))
            os.makedirs(os.path.join(admin, "updates"))
            open(os.path.join(admin, "status"), "w").close()
            # The empty root has none of the dependencies: installing warns about each.
            installed = subprocess.run(["dpkg", "--root", root, "--force-depends", "--force-not-root",
                                        "--force-script-chrootless", "--log=/dev/null", "-i", deb],
                                       capture_output=True, text=True)
            self.assertEqual(installed.returncode, 0, installed.stderr)
            files = subprocess.run(["dpkg", "--root", root, "-L", "parlix"], capture_output=True,
                                   text=True, check=True).stdout.split()
            for path in ("/usr/bin/parlix", "/usr/share/applications/parlix.desktop",
                         "/usr/share/icons/hicolor/48x48/apps/parlix.png",
                         *("/usr/share/parlix/" + f for f in shipped_server_files())):
                self.assertIn(path, files)
                self.assertTrue(os.path.exists(root + path))
            self.assertFalse([f for f in files if os.path.basename(f) == "uv"])
        finally:
            shutil.rmtree(out, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
