"""Parlix on a Control trigger, and a person changing the settings in the window the tray
menu opens: once saved, the next dictation follows them without a restart."""
import time
import unittest

import harness as h


class SettingsWindow(h.DesktopTest):
    def setUp(self):
        super().setUp()
        self.reply = {"text": "我用Python写代码"}
        self.asr = self.keep(h.StubServer(lambda: self.reply))
        self.home.write_settings({"setupCompleted": True, "triggerKey": "control",
                                  "serverURL": self.asr.url("/api/transcribe")})
        self.start_parlix()

    def test_control_trigger_is_not_fooled_by_the_paste_keystroke(self):
        # Parlix's own Ctrl+V must neither count as a tap of a Control trigger nor break
        # a dictation that is being held.
        self.open_receiver()
        h.dictate(key=h.CONTROL_L)
        self.expect_typed(lambda t: t.count("我用 Python 写代码") == 1)
        self.reply = {"text": "第二次"}
        h.hold_and_speak(h.CONTROL_L)  # pressed right after the paste went out
        self.expect_typed("第二次")
        self.assertNotIn("翻译", self.parlix.output())  # no translation was asked for

    def test_saved_changes_take_effect_at_the_next_dictation(self):
        settings = h.open_settings_window()
        self.assertTrue(settings, self.parlix.output())
        h.click(settings, h.TRIGGER_POPUP)
        h.xdotool("key", "End", "Return")  # "右 Command 键"
        h.click(settings, h.TEXT_TAB)
        h.click(settings, h.CJK_SPACING_CHECKBOX)
        h.click(settings, h.ADD_HOTWORD_BUTTON)
        self.assertTrue(h.find_window("添加热词") or h.find_window("Parlix"))
        h.xdotool("type", "--delay", "30", "  Parlix  ")
        h.xdotool("key", "Return")
        time.sleep(0.5)
        self.assertIn("Parlix", self.home.read_settings().get("hotwords", ""))  # stored at once
        h.click(settings, h.SAVE_BUTTON)
        saved = h.wait_until(lambda: self.home.read_settings().get("triggerKey") == "rightCommand"
                             and self.home.read_settings(), 5)
        self.assertTrue(saved, self.home.read_settings())
        self.assertEqual(saved.get("enableCJKSpacing"), "false")

        self.open_receiver()  # only now: it keeps the focus to itself
        h.dictate(key=h.CONTROL_L)
        time.sleep(1.5)
        self.assertTrue(self.asr.requests.empty(), "Control no longer triggers")
        h.dictate()
        self.expect_typed("我用Python写代码")
        self.assertIn(b"Parlix", h.form_fields(self.asr.requests.get(timeout=5))["hotwords"].split(b","))


if __name__ == "__main__":
    unittest.main()
