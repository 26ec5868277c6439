"""Production engine: the FunASR toolkit with the Fun-ASR-Nano-2512 checkpoint,
loaded from the directory the model downloader filled."""

import importlib
import os
import tempfile

import parlix_download
import parlix_install
from parlix_engines import EngineError
from parlix_text import remove_fillers

MODEL_NAME = "Fun-ASR-Nano-2512"
# The model reads the language verbatim into its prompt; None lets it detect the language.
LANGUAGES = {"auto": None, "zh": "中文", "en": "英文", "ja": "日文"}


class FunAsrEngine:
    name = "funasr"

    def __init__(self, support_dir):
        self.model_dir = os.path.join(support_dir, MODEL_NAME)
        self._model = None

    def prepare(self, report):
        parlix_install.ensure_packages(report)
        if not os.path.isfile(os.path.join(self.model_dir, "model.pt")):
            report.status("downloading_model")
            model_id = os.environ.get("PARLIX_MODEL_ID", "FunAudioLLM/" + MODEL_NAME)
            hub = os.environ.get("PARLIX_MODEL_HUB", "https://www.modelscope.cn")
            try:
                parlix_download.download_model(hub, model_id, self.model_dir, report)
            except parlix_download.DownloadError as e:
                raise EngineError("模型下载失败: %s" % e) from None

    def load(self):
        importlib.invalidate_caches()  # the packages may have been installed just now
        import torch
        from funasr import AutoModel
        device = "cuda:0" if torch.cuda.is_available() else "cpu"
        self._model = AutoModel(model=self.model_dir, device=device, disable_update=True)

    def recognise(self, request):
        with tempfile.NamedTemporaryFile(suffix=".wav") as f:
            f.write(request.audio)
            f.flush()
            # One file per call: the model does not implement batches.
            result = self._model.generate(input=[f.name], cache={}, batch_size=1,
                                          hotwords=list(request.hotwords),
                                          language=LANGUAGES[request.language], itn=request.itn)
        text = result[0].get("text", "") if result else ""
        if request.remove_filler:
            text = remove_fillers(text)
        return text
