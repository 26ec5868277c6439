"""Recognition engines of the local server.

An engine prepares itself (dependencies, model files), loads, and turns one
WAV recording into text.  `prepare` and `load` may take long and report
through `report`; `recognise` is called one request at a time.
"""

import importlib
import io
import json
import os
import re
import subprocess
import tempfile
import urllib.parse
import urllib.request
import wave

MODEL_NAME = "Fun-ASR-Nano-2512"


class EngineError(Exception):
    """A failure whose text is shown to the user or sent to the client."""


class Request:
    def __init__(self, audio, language="auto", itn=True, remove_filler=False, hotwords=()):
        self.audio = audio
        self.language = language
        self.itn = itn
        self.remove_filler = remove_filler
        self.hotwords = list(hotwords)


# --- text shaping shared by the engines -------------------------------------

_EN_FILLERS = r"(?:uh|um|uhm|umm|er|erm|ah|hmm|mm)"
_ZH_FILLERS = r"[嗯呃额]"


def remove_fillers(text):
    text = re.sub(r"(?i)\b" + _EN_FILLERS + r"\b[,，]?\s*", "", text)
    text = re.sub(_ZH_FILLERS + r"[，,、]?", "", text)
    return re.sub(r"\s{2,}", " ", text).strip()


def apply_hotwords(text, hotwords):
    """Gives words that the engine spelled otherwise the user's spelling."""
    for word in sorted(hotwords, key=len, reverse=True):
        letters = re.sub(r"[\s\-]+", "", word)
        if not letters or not word.isascii():
            continue
        # A recogniser may split a name into words ("git hub"); short ones only as written.
        if len(letters) >= 4:
            pieces = [re.escape(c) for c in letters]
        else:
            pieces = [re.escape(p) for p in re.split(r"[\s\-]+", word.strip()) if p]
        pattern = r"(?i)(?<![\w])" + r"[\s\-]?".join(pieces) + r"(?![\w])"
        text = re.sub(pattern, lambda _m, w=word: w, text)
    return text


_UNITS = {w: i for i, w in enumerate(
    "zero one two three four five six seven eight nine ten eleven twelve thirteen "
    "fourteen fifteen sixteen seventeen eighteen nineteen".split())}
_TENS = {w: 10 * i for i, w in enumerate(
    "_ _ twenty thirty forty fifty sixty seventy eighty ninety".split()) if i >= 2}
_SCALES = {"hundred": 100, "thousand": 1000, "million": 10 ** 6}


def english_itn(text):
    """Spoken English numbers to digits: "twenty one" -> "21", "one two" -> "1 2"."""
    out = []
    total, current, prev = 0, 0, None
    open_after = (None, "hundred", "scale")

    def flush():
        nonlocal total, current, prev
        if prev is not None:
            out.append(str(total + current))
        total, current, prev = 0, 0, None

    for word in text.split():
        w = word.lower()
        if w in _UNITS or w in _TENS:
            value = _UNITS.get(w, _TENS.get(w))
            kind = "tens" if w in _TENS else ("teen" if value >= 10 else "unit")
            if not (prev in open_after or (prev == "tens" and kind == "unit")):
                flush()
            current += value
            prev = kind
        elif w == "hundred" and prev in ("unit", "teen", "tens") and current < 100:
            current *= 100
            prev = "hundred"
        elif w in _SCALES and w != "hundred" and prev in ("unit", "teen", "tens", "hundred"):
            total += current * _SCALES[w]
            current = 0
            prev = "scale"
        else:
            flush()
            out.append(word)
    flush()
    return " ".join(out)


def read_pcm16_mono(audio):
    """The 16 kHz mono 16-bit samples of a WAV file, or EngineError."""
    try:
        with wave.open(io.BytesIO(audio)) as w:
            if w.getsampwidth() != 2 or w.getnchannels() != 1 or w.getframerate() != 16000:
                raise EngineError("音频格式不支持：需要 16 kHz 单声道 16 位 WAV")
            return w.readframes(w.getnframes())
    except (wave.Error, EOFError) as e:
        raise EngineError("无效的 WAV 文件: %s" % e) from None


# --- offline English engine --------------------------------------------------

class PocketsphinxEngine:
    """Debian's pocketsphinx with its en-us model; nothing to install or download."""

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


# --- production engine --------------------------------------------------------

class FunAsrEngine:
    """The FunASR toolkit with the Fun-ASR-Nano-2512 checkpoint from ModelScope."""

    name = "funasr"
    PACKAGES = ["funasr", "torch", "torchaudio", "modelscope"]
    MODEL_ID = os.environ.get("PARLIX_MODEL_ID", "FunAudioLLM/" + MODEL_NAME)
    HUB = os.environ.get("PARLIX_MODEL_HUB", "https://www.modelscope.cn")

    def __init__(self, support_dir):
        self.model_dir = os.path.join(support_dir, MODEL_NAME)
        self._model = None
        self.child = None  # the running installer, ended with us

    @staticmethod
    def _imports_work():
        try:
            import funasr, torch, torchaudio, modelscope  # noqa: F401,E401
            return True
        except ImportError:
            return False

    def prepare(self, report):
        if not self._imports_work():
            report.status("installing_deps")
            self._install(report)
        if not os.path.isfile(os.path.join(self.model_dir, "model.pt")):
            report.status("downloading_model")
            try:
                download_model(self.HUB, self.MODEL_ID, self.model_dir, report)
            except (OSError, ValueError, KeyError) as e:  # network, disk, or an odd listing
                raise EngineError("模型下载失败: %s" % e) from None

    def _install(self, report):
        uv = os.environ.get("UV_PATH", "uv")
        python = os.path.join(os.environ.get("VIRTUAL_ENV", ""), "bin", "python3")
        for i, package in enumerate(self.PACKAGES):
            report.progress(i, len(self.PACKAGES), "安装依赖: " + package)
            self.child = subprocess.Popen([uv, "pip", "install", "--python", python, package],
                                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            output = self.child.communicate()[0].decode("utf-8", "replace")
            if self.child.returncode != 0:
                report.log(output[-2000:])
                raise EngineError("安装依赖失败: " + package)
        report.progress(len(self.PACKAGES), len(self.PACKAGES), "依赖安装完成")

    def load(self):
        importlib.invalidate_caches()  # the packages may have been installed just now
        import torch
        from funasr import AutoModel
        device = "cuda:0" if torch.cuda.is_available() else "cpu"
        self._model = AutoModel(model=self.model_dir, device=device, disable_update=True)

    def recognise(self, request):
        languages = {"zh": "中文", "en": "英文", "ja": "日文"}
        with tempfile.NamedTemporaryFile(suffix=".wav") as f:
            f.write(request.audio)
            f.flush()
            result = self._model.generate(input=[f.name], cache={}, batch_size=1,
                                          language=languages.get(request.language, "auto"),
                                          itn=request.itn, hotword=" ".join(request.hotwords))
        text = result[0].get("text", "") if result else ""
        if request.remove_filler:
            text = remove_fillers(text)
        return text


def download_model(hub, model_id, model_dir, report, chunk=1 << 20):
    """Fetches every file of the model repository into model_dir.

    Each file goes to "<name>.part" first and is renamed when complete, so a
    file under its real name is always whole; an interrupted download resumes
    from its .part (or restarts when the hub ignores the range).  model.pt
    comes last, so its presence means the whole model is there.
    """
    base = "%s/api/v1/models/%s/repo" % (hub.rstrip("/"), model_id)
    with urllib.request.urlopen(base + "/files?Recursive=true", timeout=60) as r:
        listing = json.load(r)
    files = [f for f in listing["Data"]["Files"] if f.get("Type") == "blob"]
    files.sort(key=lambda f: f["Path"] == "model.pt")
    total = sum(int(f.get("Size", 0)) for f in files) or 1
    done, shown = 0, -1
    for f in files:
        target = os.path.join(model_dir, f["Path"])
        if os.path.commonpath([os.path.realpath(target), os.path.realpath(model_dir)]) != os.path.realpath(model_dir):
            raise EngineError("模型文件路径无效: " + f["Path"])
        size = int(f.get("Size", 0))
        if os.path.isfile(target) and os.path.getsize(target) == size:
            done += size
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        part = target + ".part"
        have = os.path.getsize(part) if os.path.isfile(part) else 0
        if size and have > size:
            have = 0
        url = base + "?" + urllib.parse.urlencode({"Revision": "master", "FilePath": f["Path"]})
        req = urllib.request.Request(url, headers={"Range": "bytes=%d-" % have} if have else {})
        with urllib.request.urlopen(req, timeout=60) as r:
            if have and r.status != 206:
                have = 0
            with open(part, "ab" if have else "wb") as out:
                got = have
                while True:
                    data = r.read(chunk)
                    if not data:
                        break
                    out.write(data)
                    got += len(data)
                    percent = min(100, (done + got) * 100 // total)
                    if percent != shown:
                        shown = percent
                        report.download_progress(percent)
        if size and os.path.getsize(part) != size:
            raise EngineError("模型下载不完整: " + f["Path"])
        os.replace(part, target)
        done += size
    if shown != 100:
        report.download_progress(100)


def create_engine(support_dir):
    if os.environ.get("PARLIX_ASR_ENGINE") == "pocketsphinx":
        return PocketsphinxEngine()
    return FunAsrEngine(support_dir)

