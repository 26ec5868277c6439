"""Offline translation for POST /translate (the LibreTranslate API) on Argos Translate.

The models (Chinese to English, English to Japanese; Argos chains Chinese to
Japanese through English itself) are fetched from Argos's package index in the
background once the recogniser is ready, so recognition never waits for them.
Until they are in place /translate answers 503 with the reason, and a request
starts another attempt when the last one failed.
"""

import os
import re
import threading
import zipfile

import parlix_download
from parlix_http import BadRequest

INDEX = "https://raw.githubusercontent.com/argosopentech/argospm-index/main/index.json"
NEEDED = (("zh", "en"), ("en", "ja"))
PAIRS = {("zh", "en"), ("en", "ja"), ("zh", "ja")}
LANGUAGES = ("zh", "en", "ja")


def detect_language(text):
    if re.search(r"[\u3040-\u30ff]", text):  # kana
        return "ja"
    if re.search(r"[\u4e00-\u9fff]", text):
        return "zh"
    return "en"


def check_package(path):
    """None when path is a whole Argos package (a zip with its metadata), else why not."""
    try:
        with zipfile.ZipFile(path) as z:
            if not any(n.endswith("metadata.json") for n in z.namelist()) or z.testzip() is not None:
                return "不是有效的翻译模型包"
    except (zipfile.BadZipFile, OSError):
        return "不是有效的翻译模型包"
    return None


class Translator:
    def __init__(self, support_dir, report):
        self._dir = os.path.join(support_dir, "translate")
        self._report = report
        self._ready = threading.Event()
        self._lock = threading.Lock()
        self._engine_lock = threading.Lock()  # one translation at a time, like recognition
        self._preparing = False
        self._problem = None  # why translation is not available, after a failed attempt

    def start(self):
        """Prepares the models in the background unless that is done or under way."""
        with self._lock:
            if self._preparing or self._ready.is_set():
                return
            self._preparing = True
        threading.Thread(target=self._prepare, daemon=True).start()

    def _prepare(self):
        problem = None
        try:
            import argostranslate.package
            installed = {(p.from_code, p.to_code) for p in argostranslate.package.get_installed_packages()}
            missing = [pair for pair in NEEDED if pair not in installed]
            if missing:
                index = parlix_download.fetch_json(os.environ.get("PARLIX_TRANSLATE_INDEX", INDEX))
                for pair in missing:
                    path = self._download(index, pair)
                    argostranslate.package.install_from_path(path)
                    os.remove(path)  # Argos keeps its own copy
            import argostranslate.translate  # noqa: F401 - loads here, not in the first request
            self._ready.set()
            self._report.log("翻译已就绪")
        except ImportError as e:
            problem = "翻译组件未安装: %s" % e
        except parlix_download.DownloadError as e:
            problem = "翻译模型下载失败: %s" % e
        except Exception as e:
            problem = "翻译组件出错: %s" % e
        with self._lock:
            self._problem = problem
            self._preparing = False
        if problem:
            self._report.log(problem)

    def _download(self, index, pair):
        try:
            entries = [e for e in index if (e.get("from_code"), e.get("to_code")) == pair
                       and e.get("type", "translate") == "translate" and e.get("links")]
        except AttributeError:
            entries = []
        if not entries:
            raise parlix_download.DownloadError("索引中没有 %s→%s 的模型" % pair)
        entry = max(entries, key=lambda e: [int(p) for p in re.findall(r"\d+", str(e.get("package_version", "0")))])
        url = entry["links"][0]
        remote = parlix_download.RemoteFile("%s→%s" % pair, url, entry.get("size"), entry.get("sha256"))
        target = os.path.join(self._dir, url.rsplit("/", 1)[-1] or "%s_%s.argosmodel" % pair)
        shown = [-1]

        def on_bytes(got):
            mb = got // 1_000_000
            if mb != shown[0]:
                shown[0] = mb
                total = (remote.size or 0) // 1_000_000
                self._report.progress(mb, max(total, mb), "正在下载翻译模型 %s: %d MB" % (remote.path, mb))

        parlix_download.fetch(remote, target, on_bytes, check=check_package)
        return target

    def state(self):
        """For /health: "ready", "preparing", or why translation is not available."""
        with self._lock:
            if self._ready.is_set():
                return "ready"
            return "preparing" if self._preparing else (self._problem or "preparing")

    def handle(self, fields):
        """The LibreTranslate reply to the fields of one request, or BadRequest.
        An api_key is accepted and not needed: the server only listens on loopback."""
        q, source, target = fields.get("q"), fields.get("source", "auto"), fields.get("target")
        many = isinstance(q, list)
        texts = q if many else [q]
        if not texts or not all(isinstance(t, str) for t in texts):
            raise BadRequest(400, "缺少要翻译的文本 q")
        if target not in LANGUAGES:
            raise BadRequest(400, "不支持的目标语言: %s" % target)
        if source != "auto" and source not in LANGUAGES:
            raise BadRequest(400, "不支持的源语言: %s" % source)
        if fields.get("format", "text") != "text":
            raise BadRequest(400, "只支持 format=text")
        sources = [detect_language(t) if source == "auto" else source for t in texts]
        for s in sources:
            if s != target and (s, target) not in PAIRS:
                raise BadRequest(400, "不支持从 %s 翻译到 %s" % (s, target))
        if any(s != target and t.strip() for s, t in zip(sources, texts)) and not self._ready.is_set():
            with self._lock:
                problem = None if self._preparing else self._problem  # the last attempt's reason
            self.start()
            raise BadRequest(503, problem or "翻译模型正在准备中，请稍后再试")
        out = [self._translate(t, s, target) for t, s in zip(texts, sources)]
        reply = {"translatedText": out if many else out[0]}
        if source == "auto":
            reply["detectedLanguage"] = [{"language": s, "confidence": 90} for s in sources] if many \
                else {"language": sources[0], "confidence": 90}
        return reply

    def _translate(self, text, source, target):
        if source == target or not text.strip():
            return text
        import argostranslate.translate
        with self._engine_lock:
            return argostranslate.translate.translate(text, source, target)
