"""A person changes the settings in the window the tray menu opens, saves, and the next
dictation follows them without a restart."""
import subprocess
import time
import unittest

import harness as h

class SettingsWindow(unittest.TestCase):
    def setUp(self):
        h.need_desktop(self)
        self.asr = h.StubServer(lambda: {"text": "我用Python写代码"})
        self.home = h.Home()
        self.home.write_settings({"setupCompleted": True, "triggerKey": "control",
                                  "serverURL": self.asr.url("/api/transcribe")})
        self.parlix = h.Parlix(self.home)
        self.assertTrue(self.parlix.wait_for_line("Parlix 已启动"), self.parlix.output())

    def tearDown(self):
        self.parlix.stop()
        self.asr.stop()
        self.home.cleanup()

    def test_saved_changes_take_effect_at_the_next_dictation(self):
        settings = h.open_settings_window()
        self.assertTrue(settings, self.parlix.output())
        h.click(settings, h.TRIGGER_POPUP)
        subprocess.run(["xdotool", "key", "End", "Return"], check=True)  # "右 Command 键"
        h.click(settings, h.TEXT_TAB)
        h.click(settings, h.CJK_SPACING_CHECKBOX)
        h.click(settings, h.ADD_HOTWORD_BUTTON)
        self.assertTrue(h.find_window("添加热词") or h.find_window("Parlix"))
        subprocess.run(["xdotool", "type", "--delay", "30", "  Parlix  "], check=True)
        subprocess.run(["xdotool", "key", "Return"], check=True)
        time.sleep(0.5)
        self.assertIn("Parlix", self.home.read_settings().get("hotwords", ""))  # stored at once
        h.click(settings, h.SAVE_BUTTON)
        saved = h.wait_until(lambda: self.home.read_settings().get("triggerKey") == "rightCommand"
                             and self.home.read_settings(), 5)
        self.assertTrue(saved, self.home.read_settings())
        self.assertEqual(saved.get("enableCJKSpacing"), "false")

        receiver = h.Receiver()
        try:
            h.dictate("hello world testing one two three", key=h.CONTROL_L)
            time.sleep(1.5)
            self.assertTrue(self.asr.requests.empty(), "Control no longer triggers")
            h.dictate("hello world testing one two three", key=h.SUPER_R)
            self.assertTrue(receiver.wait_for(lambda t: "我用Python写代码" in t),
                            f"receiver holds {receiver.text()!r}\n{self.parlix.output()}")
            path, headers, body = self.asr.requests.get(timeout=5)
            hotwords = h.parse_multipart(body, headers["Content-Type"])["hotwords"].split(b",")
            self.assertIn(b"Parlix", hotwords)
        finally:
            receiver.stop()


if __name__ == "__main__":
    unittest.main()
