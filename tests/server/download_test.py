"""The model download against a fake hub with faults: what ends on disk, what the
hub was asked, and what the user is told."""

import os
import shutil
import sys
import tempfile
import unittest

import parlix_download
import parlix_funasr
from fake_hub import FakeHub, Report

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "stubs"))  # no install step

FILES = {"config.yaml": b"model: FunASRNano\n", "model.pt": os.urandom(300_000), "sub/tokens.txt": b"a\nb\n"}


class DownloadTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="parlix-hub-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.model_dir = os.path.join(self.dir, parlix_funasr.MODEL_NAME)
        parlix_download.RETRY_PAUSE = 0

    def run_engine(self, hub):
        os.environ["PARLIX_MODEL_HUB"] = hub.url
        self.addCleanup(os.environ.pop, "PARLIX_MODEL_HUB", None)
        report = Report()
        try:
            parlix_funasr.FunAsrEngine(self.dir).prepare(report)
            return report, None
        except parlix_funasr.EngineError as e:
            return report, str(e)

    def on_disk(self):
        found = {}
        for root, _dirs, names in os.walk(self.model_dir):
            for n in names:
                with open(os.path.join(root, n), "rb") as f:
                    found[os.path.relpath(os.path.join(root, n), self.model_dir)] = f.read()
        return found

    def test_faults_end_in_a_whole_model(self):
        half = len(FILES["model.pt"]) // 2
        cases = [  # name, faults, fields listed, .part left by an earlier run, the hub's requests for model.pt
            ("cut, resumed", {"model.pt": ["cut"]}, ("Size", "Sha256"), None, [None, "bytes=%d-" % half]),
            ("wrong bytes once", {"model.pt": ["wrong"]}, ("Size", "Sha256"), None, [None, None]),
            ("complete .part, size listed", {}, ("Size", "Sha256"), FILES["model.pt"], []),
            ("complete .part, 416", {}, ("Sha256",), FILES["model.pt"], ["bytes=%d-" % len(FILES["model.pt"])]),
            ("half .part", {}, ("Size",), FILES["model.pt"][:1000], ["bytes=1000-"]),
            ("corrupt .part", {}, ("Size", "Sha256"), b"\0" * 1000, ["bytes=1000-", None]),
        ]
        for name, faults, listed, part, requests in cases:
            with self.subTest(name):
                shutil.rmtree(self.model_dir, ignore_errors=True)
                if part is not None:
                    os.makedirs(self.model_dir)
                    with open(os.path.join(self.model_dir, "model.pt.part"), "wb") as f:
                        f.write(part)
                hub = FakeHub(FILES, listed, faults)
                self.addCleanup(hub.stop)
                report, error = self.run_engine(hub)
                self.assertIsNone(error)
                self.assertEqual(self.on_disk(), FILES)
                self.assertEqual([r for p, r in hub.requests if p == "model.pt"], requests)
                paths = [p for p, _ in hub.requests]
                self.assertEqual(paths, sorted(paths, key=lambda p: p == "model.pt"))  # model.pt last
                self.assertEqual([l for l in report.lines if l[0] != "download_progress"], [("status", "downloading_model")])
                self.assertEqual(report.lines[-1], ("download_progress", 100))

    def test_lasting_faults_are_reported(self):
        cases = [("cut every time", {"model.pt": ["cut"] * 9}, "模型下载失败: model.pt: 连接中断（传输不完整）"),
                 ("wrong bytes twice", {"model.pt": ["wrong"] * 2}, "模型下载失败: model.pt: SHA-256 校验失败")]
        for name, faults, message in cases:
            with self.subTest(name):
                shutil.rmtree(self.model_dir, ignore_errors=True)
                hub = FakeHub(FILES, faults=faults)
                self.addCleanup(hub.stop)
                self.assertEqual(self.run_engine(hub)[1], message)
                self.assertFalse(os.path.exists(os.path.join(self.model_dir, "model.pt")))
        hub = FakeHub(FILES)
        hub.stop()  # nothing listens there any more
        self.assertRegex(self.run_engine(hub)[1], r"^模型下载失败: .*(refused|拒绝)")


if __name__ == "__main__":
    unittest.main()
