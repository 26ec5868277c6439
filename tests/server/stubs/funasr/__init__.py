"""Stand-in for the FunASR toolkit: records how it is called.

Each call is appended as one JSON line to $STUB_FUNASR_LOG (when set);
generate answers with $STUB_FUNASR_TEXT (default "嗯，你好世界。").
"""

import json
import os

print("funasr stub: noise on standard output, as real packages print")  # must not reach the protocol


def _record(call, **kwargs):
    path = os.environ.get("STUB_FUNASR_LOG")
    if path:
        with open(path, "a", encoding="utf-8") as f:
            f.write(json.dumps({"call": call, **kwargs}, ensure_ascii=False) + "\n")


class AutoModel:
    def __init__(self, **kwargs):
        _record("AutoModel", **kwargs)

    def generate(self, **kwargs):
        with open(kwargs["input"][0], "rb") as f:
            audio = f.read()
        _record("generate", audio_bytes=len(audio), **kwargs)
        return [{"key": "audio", "text": os.environ.get("STUB_FUNASR_TEXT", "嗯，你好世界。")}]
