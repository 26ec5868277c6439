"""Stand-in for Argos Translate: records its calls as JSON lines in $STUB_ARGOS_LOG."""

import json
import os


def record(call, **kwargs):
    path = os.environ.get("STUB_ARGOS_LOG")
    if path:
        with open(path, "a", encoding="utf-8") as f:
            f.write(json.dumps({"call": call, **kwargs}, ensure_ascii=False) + "\n")
