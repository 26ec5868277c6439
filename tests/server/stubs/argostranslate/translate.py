"""translate() answers $STUB_ARGOS_TEXT, or "[from->to] text"."""

import os

from argostranslate import record


def translate(text, from_code, to_code):
    record("translate", text=text, from_code=from_code, to_code=to_code)
    return os.environ.get("STUB_ARGOS_TEXT") or "[%s->%s] %s" % (from_code, to_code, text)
