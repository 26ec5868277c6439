"""Installed packages: $STUB_ARGOS_INSTALLED ("zh-en,en-ja" by default; "" for none),
plus those installed from a path (a zip whose metadata.json names the pair)."""

import json
import os
import zipfile

from argostranslate import record


class Package:
    def __init__(self, from_code, to_code):
        self.from_code, self.to_code = from_code, to_code


installed = [Package(*p.split("-")) for p in os.environ.get("STUB_ARGOS_INSTALLED", "zh-en,en-ja").split(",") if p]


def get_installed_packages():
    return list(installed)


def install_from_path(path):
    with zipfile.ZipFile(path) as z:
        meta = json.loads(z.read(next(n for n in z.namelist() if n.endswith("metadata.json"))))
    record("install_from_path", path=path)
    installed.append(Package(meta["from_code"], meta["to_code"]))
