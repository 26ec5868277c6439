"""Parlix with its own recogniser: the shipped local_server.py on the offline English
engine, started and supervised by Parlix, set up through the first-run wizard."""
import json
import os
import signal
import subprocess
import time
import unittest
import urllib.request

import harness as h

SPOKEN = "hello world testing one two three"
STUBS = os.path.join(h.HERE, "..", "server", "stubs")
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


    def test_tap_then_hold_translates_with_the_local_server(self):
        """Local mode with nothing else set: the production engine (stub FunASR) hears Chinese,
        our own server's /translate (stub Argos) makes it English, and the totals count the
        English text that was typed."""
        subprocess.run(["/usr/bin/python3", "-m", "venv", "--without-pip",
                        os.path.join(self.home.app_support, "venv")], check=True)
        model = os.path.join(self.home.app_support, "Fun-ASR-Nano-2512")
        os.makedirs(model)
        open(os.path.join(model, "model.pt"), "w").close()
        self.home.write_settings({"setupCompleted": True, "useLocalServer": True,
                                  "triggerKey": "rightCommand"})
        english = "I write code in Python"
        self.parlix = h.Parlix(self.home, {"PYTHONPATH": STUBS, "PARLIX_ASR_ENGINE": "",
                                           "STUB_FUNASR_TEXT": "我用Python写代码",
                                           "STUB_ARGOS_TEXT": english})
        self.assertTrue(self.parlix.wait_for_line("本地服务器已就绪", 60), self.parlix.output())

        def translation_ready():
            try:
                with urllib.request.urlopen("http://127.0.0.1:19000/health", timeout=2) as r:
                    return json.load(r).get("translation") == "ready"
            except OSError:
                return False
        self.assertTrue(h.wait_until(translation_ready, 30, 0.5))
        time.sleep(2.5)  # the readiness poll (every 2 s) lets recordings in
        h.dictate(SPOKEN, taps=1)
        self.assertTrue(self.receiver.wait_for(lambda t: english in t, 30),
                        f"receiver holds {self.receiver.text()!r}\n{self.parlix.output()}")
        self.assertNotIn("我用", self.receiver.text())
        settings = h.wait_until(lambda: self.home.read_settings().get("totalRecognitions") == "1"
                                and self.home.read_settings(), 5)
        self.assertTrue(settings)
        self.assertEqual(settings["totalCharactersTyped"], str(len(english)))
        self.assertNotIn("translationServerURL", settings)


if __name__ == "__main__":
    unittest.main()
