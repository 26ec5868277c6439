"""POST /translate on the stub Argos Translate: the LibreTranslate API, and models
fetched in the background from an index with faults."""

import io
import json
import os
import sys
import tempfile
import time
import unittest
import urllib.parse
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "stubs"))
os.environ["STUB_ARGOS_INSTALLED"] = ""  # before the stub's import: no model yet

import argostranslate.package  # noqa: E402 - the stub
import parlix_download  # noqa: E402
import parlix_translate  # noqa: E402
from fake_hub import FakeHub, Report  # noqa: E402
from server_script_test import EchoEngine, call, start_server  # noqa: E402


def argos_package(source, target):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        z.writestr("translate-%s_%s/metadata.json" % (source, target), json.dumps({"from_code": source, "to_code": target}))
        z.writestr("translate-%s_%s/model/model.bin" % (source, target), os.urandom(50_000))
    return out.getvalue()


class TranslateTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="parlix-translate-")
        self.log = os.path.join(self.dir, "argos.jsonl")
        os.environ["STUB_ARGOS_LOG"] = self.log
        argostranslate.package.installed.clear()
        parlix_download.RETRY_PAUSE = 0
        self.report = Report()
        self.translator = parlix_translate.Translator(self.dir, self.report)
        service, self.port = start_server(self, EchoEngine())
        service.translator = self.translator

    def post(self, body, content_type="application/json"):
        return call(self.port, "/translate", content_type, body)

    def calls(self, kind):
        if not os.path.exists(self.log):
            return []
        with open(self.log, encoding="utf-8") as f:
            return [c for c in map(json.loads, f) if c["call"] == kind]

    def serve_index(self, faults=None, packages=None):
        packages = packages or {pair: argos_package(*pair) for pair in parlix_translate.NEEDED}
        files = {"m/%s_%s.argosmodel" % pair: data for pair, data in packages.items()}
        hub = FakeHub(files, faults=faults)
        index = [{"from_code": s, "to_code": t, "package_version": v, "links": [hub.url + "/m/%s_%s.argosmodel" % (s, t)]}
                 for s, t in packages for v in ("1.0", "1.9")]
        hub.files["index.json"] = json.dumps(index).encode()
        os.environ["PARLIX_TRANSLATE_INDEX"] = hub.url + "/index.json"
        self.addCleanup(hub.stop)
        return hub

    def wait_ready(self):
        for _ in range(100):
            if self.translator._ready.is_set() or (not self.translator._preparing and self.translator._problem):
                return
            time.sleep(0.05)

    def test_models_are_fetched_verified_and_installed_in_the_background(self):
        hub = self.serve_index(faults={"m/zh_en.argosmodel": ["cut"]})
        status, reply = self.post(json.dumps({"q": "你好", "source": "auto", "target": "en"}))
        self.assertEqual(status, 503)  # first use starts the download
        self.wait_ready()
        self.assertEqual([p for p, _ in hub.requests], ["index.json"] + ["m/zh_en.argosmodel"] * 2 + ["m/en_ja.argosmodel"])
        self.assertEqual(len(self.calls("install_from_path")), 2)
        self.assertEqual(os.listdir(os.path.join(self.dir, "translate")), [])  # installed, then removed
        self.assertTrue(any(l[0] == "progress" and "翻译模型" in l[3] for l in self.report.lines))
        self.assertEqual(self.post(json.dumps({"q": "你好", "target": "en"}))[1]["translatedText"], "[zh->en] 你好")

    def test_a_broken_index_is_reported_and_retried_on_use(self):
        self.serve_index(packages={("zh", "en"): b"not a zip", ("en", "ja"): argos_package("en", "ja")})
        self.translator.start()
        self.wait_ready()
        self.serve_index()  # the mirror is mended: the next request's attempt succeeds
        status, reply = self.post(json.dumps({"q": "你好", "target": "en"}))
        self.assertEqual((status, reply), (503, {"error": "翻译模型下载失败: zh→en: 不是有效的翻译模型包"}))
        self.assertEqual(self.translator.state(), "preparing")  # the attempt that request started
        self.wait_ready()
        self.assertEqual(self.post(json.dumps({"q": "你好", "target": "en"}))[0], 200)

    def test_libretranslate_requests(self):
        argostranslate.package.installed.extend(argostranslate.package.Package(*p) for p in parlix_translate.NEEDED)
        self.translator.start()
        self.wait_ready()
        form = lambda **f: (urllib.parse.urlencode(f), "application/x-www-form-urlencoded")  # noqa: E731
        cases = [
            ("Chinese to English", (json.dumps({"q": "你好", "source": "auto", "target": "en", "format": "text",
                                                "api_key": ""}),), 200, "[zh->en] 你好"),
            ("form body", form(q="你好", source="zh", target="ja"), 200, "[zh->ja] 你好"),
            ("English to Japanese", (json.dumps({"q": "good morning", "source": "auto", "target": "ja"}),), 200,
             "[en->ja] good morning"),
            ("target is the source", (json.dumps({"q": "hello", "source": "auto", "target": "en"}),), 200, "hello"),
            ("several texts", (json.dumps({"q": ["你好", "hello"], "target": "en"}),), 200, ["[zh->en] 你好", "hello"]),
            ("no text", (json.dumps({"target": "en"}),), 400, None),
            ("unknown target", (json.dumps({"q": "你好", "target": "fr"}),), 400, None),
            ("unknown source", (json.dumps({"q": "你好", "source": "xx", "target": "en"}),), 400, None),
            ("no pair", (json.dumps({"q": "おはよう", "target": "zh"}),), 400, None),
            ("html", (json.dumps({"q": "你好", "target": "en", "format": "html"}),), 400, None),
            ("not JSON", ("{q:",), 400, None),
            ("JSON array", ("[]",), 400, None),
        ]
        for name, request, status, text in cases:
            with self.subTest(name):
                got_status, reply = self.post(*request)
                self.assertEqual(got_status, status, reply)
                self.assertEqual(reply.get("translatedText"), text)
                self.assertEqual("error" in reply, status != 200)
        self.assertEqual([(c["from_code"], c["to_code"]) for c in self.calls("translate")],
                         [("zh", "en"), ("zh", "ja"), ("en", "ja"), ("zh", "en")])


if __name__ == "__main__":
    unittest.main()
