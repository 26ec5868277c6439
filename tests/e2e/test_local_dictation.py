"""Parlix with its own recogniser: the shipped local_server.py, started and supervised by
Parlix, set up through the first-run wizard on the offline English engine, and on the
production engine with the stub packages."""
import json
import os
import re
import time
import unittest
import urllib.request

import harness as h

STUBS = os.path.join(h.HERE, "..", "server", "stubs")


class LocalDictation(h.DesktopTest):
    def test_first_run_wizard_prepares_the_local_recogniser(self):
        self.home.write_settings({"triggerKey": "rightCommand"})
        self.parlix = self.keep(h.Parlix(self.home, h.OFFLINE_ENGINE))
        wizard = h.find_window("Parlix 设置", 15)
        self.assertTrue(wizard, self.parlix.output())
        self.assertFalse(self.parlix.wait_for_line("Parlix 已启动", 0.5))
        # The user presses the main button ("下载并安装"); Return triggers it.
        h.xdotool("windowfocus", "--sync", wizard)
        h.xdotool("key", "Return")
        self.assertTrue(h.wait_until(
            lambda: os.path.exists(os.path.join(self.home.app_support, "venv", "bin", "python3")), 30))
        # Ready: the wizard's health loop finds the server; Return now finishes the set-up.
        self.assertTrue(h.wait_until(h.server_processes, 30))

        def finish():
            h.xdotool("windowfocus", "--sync", wizard, check=False)
            h.xdotool("key", "Return", check=False)
            return self.parlix.wait_for_line("Parlix 已启动", 1)
        self.assertTrue(h.wait_until(finish, 60, 1), self.parlix.output())
        settings = self.home.read_settings()
        self.assertEqual((settings.get("useLocalServer"), settings.get("setupCompleted")), ("true", "true"))
        self.assertEqual(len(h.server_processes()), 1)  # the wizard's server, not a second one
        self.assertTrue(os.path.exists(os.path.join(self.home.app_support, "venv", "bin", "pip")))  # to fill it
        self.open_receiver()
        time.sleep(2.5)  # the readiness poll (every 2 s) lets recordings in
        h.dictate()
        # Spoken "one two three": the server applies inverse text normalisation.
        self.expect_typed(lambda t: re.search(r"hello world .*\d", t), 30)

    def test_tap_then_hold_translates_with_the_local_server(self):
        """Local mode with nothing else set: the production engine (stub FunASR) hears Chinese,
        our own server's /translate (stub Argos) makes it English, and the totals count the
        English text that was typed."""
        self.home.make_venv()
        model = os.path.join(self.home.app_support, "Fun-ASR-Nano-2512")
        os.makedirs(model)
        open(os.path.join(model, "model.pt"), "w").close()
        self.home.write_settings({"setupCompleted": True, "useLocalServer": True, "triggerKey": "rightCommand"})
        english = "I write code in Python"
        self.open_receiver()
        self.start_parlix({"PYTHONPATH": STUBS, "PARLIX_ASR_ENGINE": "", "STUB_FUNASR_TEXT": "我用Python写代码",
                           "STUB_ARGOS_TEXT": english}, line="本地服务器已就绪", timeout=60)

        def translation_ready():
            try:
                with urllib.request.urlopen("http://127.0.0.1:19000/health", timeout=2) as r:
                    return json.load(r).get("translation") == "ready"
            except OSError:
                return False
        self.assertTrue(h.wait_until(translation_ready, 30, 0.5))
        time.sleep(2.5)  # the readiness poll (every 2 s) lets recordings in
        h.dictate(taps=1)
        self.expect_typed(english, 30)
        self.assertNotIn("我用", self.typed())
        self.assertNotIn("translationServerURL", self.expect_totals(1, len(english)))


if __name__ == "__main__":
    unittest.main()
