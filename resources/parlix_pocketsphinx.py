"""Offline English engine: Debian's pocketsphinx with its en-us model (nothing to
install or download; the venv needs the system's site packages)."""

import io
import os
import re
import wave

from parlix_engines import EngineError
from parlix_text import apply_hotwords, english_itn, remove_fillers


def read_pcm16_mono(audio):
    """The 16 kHz mono 16-bit samples of a WAV file, or EngineError."""
    try:
        with wave.open(io.BytesIO(audio)) as w:
            if w.getsampwidth() != 2 or w.getnchannels() != 1 or w.getframerate() != 16000:
                raise EngineError("音频格式不支持：需要 16 kHz 单声道 16 位 WAV")
            return w.readframes(w.getnframes())
    except (wave.Error, EOFError) as e:
        raise EngineError("无效的 WAV 文件: %s" % e) from None


class PocketsphinxEngine:
    name = "pocketsphinx"
    MODEL_DIR = "/usr/share/pocketsphinx/model/en-us"

    def __init__(self):
        self._decoder = None

    def prepare(self, report):
        try:
            import pocketsphinx  # noqa: F401
        except ImportError as e:
            raise EngineError("无法加载 pocketsphinx（需要系统的 python3-pocketsphinx）: %s" % e) from None
        if not os.path.isdir(os.path.join(self.MODEL_DIR, "en-us")):
            raise EngineError("找不到 pocketsphinx 英语模型: " + self.MODEL_DIR)

    def load(self):
        from pocketsphinx import Decoder
        config = Decoder.default_config()
        config.set_string("-hmm", os.path.join(self.MODEL_DIR, "en-us"))
        config.set_string("-lm", os.path.join(self.MODEL_DIR, "en-us.lm.bin"))
        config.set_string("-dict", os.path.join(self.MODEL_DIR, "cmudict-en-us.dict"))
        config.set_string("-logfn", os.devnull)
        self._decoder = Decoder(config)

    def recognise(self, request):
        if request.language not in ("auto", "en"):
            raise EngineError("pocketsphinx 引擎只支持英语，不支持语言: " + request.language)
        samples = read_pcm16_mono(request.audio)
        d = self._decoder
        d.start_utt()
        d.process_raw(samples, False, True)
        d.end_utt()
        words = [s.word for s in d.seg()]
        # Drop silences and fillers the decoder marks, and alternative-pronunciation tags.
        words = [re.sub(r"\(\d+\)$", "", w) for w in words if not re.match(r"^(<.*>|\[.*\])$", w)]
        text = " ".join(words)
        if request.itn:
            text = english_itn(text)
        if request.remove_filler:
            text = remove_fillers(text)
        return apply_hotwords(text, request.hotwords)
