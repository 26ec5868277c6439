"""Filler removal on real sentences: standalone fillers go, words and units stay."""

import unittest

from parlix_text import remove_fillers

REMOVED = {
    "嗯，今天天气不错。": "今天天气不错。",
    "今天，嗯，天气不错。": "今天，天气不错。",
    "好的，嗯。": "好的。",
    "呃……我觉得可以": "我觉得可以",
    "嗯嗯，好的": "好的",
    "额，这个金额不对": "这个金额不对",
    "嗯。": "",
    "um, I think so": "I think so",
    "So, uh, what now?": "So, what now?",
    "I think, um.": "I think.",
    "Umm I'll check": "I'll check",
    "Hmm, hmm.": "",
}
KEPT = [
    "金额", "额外", "额头", "金额额外的费用", "这个金额是额外的",
    "10 mm", "5 er", "The gap is 3 mm wide.", "uh-oh", "the ER doctor", "summer", "umbrella",
    "我想呃……去",  # glued to a word: not standalone
]


class FillerTest(unittest.TestCase):
    def test_standalone_fillers_go(self):
        for text, expected in REMOVED.items():
            self.assertEqual(remove_fillers(text), expected, text)

    def test_words_and_units_stay(self):
        for text in KEPT:
            self.assertEqual(remove_fillers(text), text)


if __name__ == "__main__":
    unittest.main()
