"""A newcomer's first start, with stand-ins for everything from outside: a real
`python3 -m venv`, the shipped requirements installed by the venv's pip from a
local package index of stub wheels, the model from a fake hub, then recognition.
The script binds the fixed port."""

import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

import parlix_install
from fake_hub import FakeHub
from package_index import PackageIndex, build_wheel
from server_script_test import SCRIPT, call, multipart

REQUIREMENTS = os.path.join(os.path.dirname(SCRIPT), "requirements.txt")


def pins():
    with open(REQUIREMENTS) as f:
        return [tuple(m.groups()) for m in re.finditer(r"^([A-Za-z0-9_.-]+)==(\S+)", f.read(), re.M)]


def clean_env(**extra):
    env = {k: v for k, v in os.environ.items() if not k.startswith(("PIP_", "PARLIX_", "VIRTUAL_ENV"))}
    env.update(PIP_CONFIG_FILE=os.devnull, PYTHONUNBUFFERED="1")
    env.update(extra)
    return env


class FirstStartTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="parlix-first-start-")
        cls.venv = os.path.join(cls.root, "venv")
        subprocess.run(["/usr/bin/python3", "-m", "venv", cls.venv], check=True)
        cls.python = os.path.join(cls.venv, "bin", "python3")
        wheels = {name: build_wheel(name, version, ["filelock"] if name == "torch" else []) for name, version in pins()}
        wheels["filelock"] = build_wheel("filelock", "3.0")  # a dependency of a pinned package
        cls.index = PackageIndex(wheels)
        cls.hub = FakeHub({"config.yaml": b"model: FunASRNano\n", "model.pt": b"weights" * 1000})

    @classmethod
    def tearDownClass(cls):
        cls.index.stop()
        cls.hub.stop()
        shutil.rmtree(cls.root, ignore_errors=True)

    def start(self, **env):
        proc = subprocess.Popen([self.python, SCRIPT], cwd=self.root, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                env=clean_env(VIRTUAL_ENV=self.venv, PARLIX_MODEL_HUB=self.hub.url,
                                              PATH=os.path.join(self.venv, "bin") + ":" + os.environ["PATH"], **env))
        self.addCleanup(proc.stdout.close)
        self.addCleanup(proc.wait)
        self.addCleanup(proc.kill)
        return proc

    def read_until(self, proc, *states):
        lines = []
        for raw in proc.stdout:
            lines.append(json.loads(raw))  # every line on stdout is a protocol line
            self.assertIn(lines[-1]["type"], ("status", "log", "progress", "download_progress"))
            if lines[-1].get("state") in states:
                break
        return lines

    def test_pip_honours_the_configured_index(self):
        cases = [("nothing configured", {}, ["--extra-index-url", parlix_install.CPU_WHEELS]),
                 ("PIP_INDEX_URL", {"PIP_INDEX_URL": "http://mirror.invalid/simple"}, []),
                 ("PIP_EXTRA_INDEX_URL", {"PIP_EXTRA_INDEX_URL": "http://mirror.invalid/simple"}, [])]
        conf = os.path.join(self.root, "pip.conf")
        with open(conf, "w") as f:
            f.write("[global]\nindex-url = http://mirror.invalid/simple\n")
        cases.append(("pip.conf", {"PIP_CONFIG_FILE": conf}, []))
        for name, env, extra in cases:
            with self.subTest(name):
                command = parlix_install.pip_command(self.python, REQUIREMENTS, clean_env(**env))
                self.assertEqual(command, [self.python, "-m", "pip", "install", "--disable-pip-version-check",
                                           "--no-input", "-r", REQUIREMENTS] + extra)

    def test_first_start_installs_downloads_and_recognises(self):
        log = os.path.join(self.root, "calls.jsonl")
        proc = self.start(PIP_INDEX_URL=self.index.url, STUB_FUNASR_LOG=log)
        lines = self.read_until(proc, "ready", "error")
        states = [m["state"] for m in lines if m["type"] == "status"]
        self.assertEqual(states, ["checking", "installing_deps", "downloading_model", "starting_server",
                                  "loading_model", "ready"], lines)
        stages = [m["stage"] for m in lines if m["type"] == "progress"]
        for name, version in pins():
            self.assertTrue(any(name in s for s in stages), (name, stages))
        self.assertEqual(stages[-1], "依赖安装完成")
        # Every package, the dependency too, came from the configured index: nothing else can be reached here.
        self.assertEqual(self.index.projects_fetched(), {name for name, _ in pins()} | {"filelock"})
        self.assertEqual([m["percent"] for m in lines if m["type"] == "download_progress"][-1], 100)
        request = multipart(b"RIFF-audio", language=b"zh", remove_filler=b"true", hotwords="Parlix,开放时间".encode())
        self.assertEqual(call(19000, "/api/transcribe", *request), (200, {"success": True, "text": "你好世界。"}))
        with open(log, encoding="utf-8") as f:
            load, generate = [json.loads(line) for line in f]
        self.assertEqual(load, {"call": "AutoModel", "model": os.path.join(self.root, "Fun-ASR-Nano-2512"),
                                "device": "cpu", "disable_update": True})
        self.assertEqual((generate["hotwords"], generate["language"], generate["itn"], generate["batch_size"],
                          generate["cache"], len(generate["input"]), generate["audio_bytes"]),
                         (["Parlix", "开放时间"], "中文", True, 1, {}, 1, 10))
        for _ in range(100):  # the translator gets ready in the background
            if call(19000)[1].get("translation") == "ready":
                break
            time.sleep(0.05)
        reply = call(19000, "/translate", "application/json", json.dumps({"q": "你好世界", "source": "auto", "target": "ja"}))
        self.assertEqual(reply, (200, {"translatedText": "[zh->ja] 你好世界", "detectedLanguage": {"language": "zh", "confidence": 90}}))
        proc.send_signal(signal.SIGTERM)
        self.assertEqual(proc.wait(5), 0)
        # The second start finds everything in place.
        proc = self.start(PIP_INDEX_URL=self.index.url)
        states = [m["state"] for m in self.read_until(proc, "ready", "error") if m["type"] == "status"]
        self.assertEqual(states, ["checking", "starting_server", "loading_model", "ready"])
        proc.send_signal(signal.SIGTERM)
        proc.wait(5)

    def test_failed_and_stopped_installs(self):
        fresh = os.path.join(self.root, "fresh")
        subprocess.run(["/usr/bin/python3", "-m", "venv", "--without-pip", fresh], check=True)  # pip comes from ensurepip
        broken = PackageIndex({k: v for k, v in self.index.wheels.items() if k != "modelscope"})
        self.addCleanup(broken.stop)
        proc = subprocess.run([os.path.join(fresh, "bin", "python3"), SCRIPT], cwd=self.root, capture_output=True,
                              timeout=120, env=clean_env(VIRTUAL_ENV=fresh, PIP_INDEX_URL=broken.url))
        lines = [json.loads(l) for l in proc.stdout.splitlines()]
        self.assertEqual(lines[-1]["state"], "error")
        self.assertRegex(lines[-1]["message"], r"^安装依赖失败，请检查网络连接或 pip 的镜像设置: .*modelscope==")
        self.assertIn("modelscope", [m for m in lines if m["type"] == "log"][-1]["message"])

        self.index.stall("torch")
        self.addCleanup(self.index.faults.clear)
        proc = subprocess.Popen([os.path.join(fresh, "bin", "python3"), SCRIPT], cwd=self.root,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                env=clean_env(VIRTUAL_ENV=fresh, PIP_INDEX_URL=self.index.url))
        self.addCleanup(proc.stdout.close)
        for raw in proc.stdout:
            if "torch" in json.loads(raw).get("stage", ""):
                break
        time.sleep(0.5)
        started = time.monotonic()
        proc.send_signal(signal.SIGTERM)
        self.assertEqual(proc.wait(5), 0)
        self.assertLess(time.monotonic() - started, 1)
        time.sleep(0.2)
        alive = subprocess.run(["pgrep", "-f", fresh + "/bin/python3 -m pip"], capture_output=True).stdout
        self.assertEqual(alive, b"")


if __name__ == "__main__":
    unittest.main()
