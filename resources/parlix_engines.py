"""What every recognition engine of the local server shares, and the choice of engine.

An engine prepares itself (dependencies, model files), loads, and turns one
WAV recording into text.  `prepare` and `load` may take long and report
through `report`; `recognise` is called one request at a time.
"""

import os


class EngineError(Exception):
    """A failure whose text is shown to the user or sent to the client."""


class Request:
    def __init__(self, audio, language="auto", itn=True, remove_filler=False, hotwords=()):
        self.audio = audio
        self.language = language
        self.itn = itn
        self.remove_filler = remove_filler
        self.hotwords = list(hotwords)


def create_engine(support_dir):
    if os.environ.get("PARLIX_ASR_ENGINE") == "pocketsphinx":
        import parlix_pocketsphinx
        return parlix_pocketsphinx.PocketsphinxEngine()
    import parlix_funasr
    return parlix_funasr.FunAsrEngine(support_dir)
