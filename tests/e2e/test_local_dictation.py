"""Parlix with its own recogniser: the shipped local_server.py on the offline English
engine, started and supervised by Parlix, set up through the first-run wizard."""
import os
import signal
import subprocess
import time
import unittest

import harness as h

SPOKEN = "hello world testing one two three"
RECOGNISED = "hello world testing 1 2 3"  # the server applies inverse text normalisation


class LocalDictation(unittest.TestCase):
    def setUp(self):
        h.need_desktop(self)
        self.home = h.Home()
        self.receiver = h.Receiver()
        self.parlix = None

    def tearDown(self):
        if self.parlix:
            self.parlix.stop()
        self.receiver.stop()
        self.home.cleanup()

    def prepare_environment(self):
        self.env = h.offline_recogniser(self.home, prepared=True)
        self.home.write_settings({"setupCompleted": True, "useLocalServer": True,
                                  "triggerKey": "rightCommand"})

    def test_prepared_environment_recognises_speech_and_quits_cleanly(self):
        self.prepare_environment()
        self.parlix = h.Parlix(self.home, self.env)
        self.assertTrue(self.parlix.wait_for_line("本地服务器已就绪", 60), self.parlix.output())
        self.assertTrue(self.parlix.wait_for_line("Parlix 已启动", 5), self.parlix.output())
        h.dictate(SPOKEN)
        self.assertTrue(self.receiver.wait_for(lambda t: RECOGNISED in t, 30),
                        f"receiver holds {self.receiver.text()!r}\n{self.parlix.output()}")
        self.assertTrue(h.server_processes())
        self.parlix.stop()  # SIGTERM: an orderly quit stops the server
        self.assertTrue(h.wait_until(lambda: not h.server_processes(), 5), h.server_processes())

    def test_a_crash_of_parlix_takes_the_server_with_it(self):
        self.prepare_environment()
        self.parlix = h.Parlix(self.home, self.env)
        self.assertTrue(self.parlix.wait_for_line("本地服务器已就绪", 60), self.parlix.output())
        self.parlix.proc.send_signal(signal.SIGKILL)
        self.parlix.proc.wait()
        self.assertTrue(h.wait_until(lambda: not h.server_processes(), 5), h.server_processes())

    def test_first_run_wizard_prepares_the_local_recogniser(self):
        self.home.write_settings({"triggerKey": "rightCommand"})
        self.env = h.offline_recogniser(self.home, prepared=False)
        self.parlix = h.Parlix(self.home, self.env)
        wizard = h.wait_until(lambda: subprocess.run(
            ["xdotool", "search", "--name", "^Parlix 设置$"], capture_output=True, text=True).stdout.split(), 15)
        self.assertTrue(wizard, self.parlix.output())
        self.assertFalse(self.parlix.wait_for_line("Parlix 已启动", 0.5))
        # The user presses the main button ("下载并安装"); Return triggers it.
        subprocess.run(["xdotool", "windowfocus", "--sync", wizard[0]], check=True)
        subprocess.run(["xdotool", "key", "Return"], check=True)
        self.assertTrue(h.wait_until(
            lambda: os.path.exists(os.path.join(self.home.app_support, "venv", "bin", "python3")), 30))
        # Ready: the wizard's health loop finds the server; Return now finishes the set-up.
        self.assertTrue(h.wait_until(lambda: h.server_processes(), 30))
        settings_done = False
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and not settings_done:
            time.sleep(1)
            subprocess.run(["xdotool", "windowfocus", "--sync", wizard[0]], capture_output=True)
            subprocess.run(["xdotool", "key", "Return"], capture_output=True)
            settings_done = self.parlix.wait_for_line("Parlix 已启动", 1)
        self.assertTrue(settings_done, self.parlix.output())
        settings = self.home.read_settings()
        self.assertEqual(settings.get("useLocalServer"), "true")
        self.assertEqual(settings.get("setupCompleted"), "true")
        self.assertEqual(len(h.server_processes()), 1)  # the wizard's server, not a second one
        self.receiver.stop()
        self.receiver = h.Receiver()
        time.sleep(2.5)  # the readiness poll (every 2 s) lets recordings in
        h.dictate(SPOKEN)
        self.assertTrue(self.receiver.wait_for(lambda t: RECOGNISED in t, 30),
                        f"receiver holds {self.receiver.text()!r}\n{self.parlix.output()}")


if __name__ == "__main__":
    unittest.main()
