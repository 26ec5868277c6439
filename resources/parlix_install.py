"""Fills the environment with the shipped requirements by one run of its own pip.

pip's own configuration (PIP_INDEX_URL, PIP_EXTRA_INDEX_URL, pip.conf) is how
users behind a mirror install, so it is never overridden: only when nothing is
configured and no NVIDIA GPU is present are PyTorch's CPU-only wheels offered
as an extra index (a fraction of the default wheels' download).
"""

import hashlib
import importlib.util
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

from parlix_engines import EngineError

REQUIREMENTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "requirements.txt")
MODULES = ("funasr", "torch", "torchaudio", "transformers", "modelscope", "argostranslate")
CPU_WHEELS = "https://download.pytorch.org/whl/cpu"
_INDEX_VARIABLES = ("PIP_INDEX_URL", "PIP_EXTRA_INDEX_URL", "PIP_FIND_LINKS", "PIP_NO_INDEX")
_child = None  # the running pip; ended with the server


def kill_child():
    child = _child
    if child is not None and child.poll() is None:
        try:
            os.killpg(child.pid, signal.SIGKILL)  # pip's own children (builds) too
        except OSError:
            pass


def _digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def _stamp_path():
    return os.path.join(sys.prefix, ".parlix-requirements")


def ensure_packages(report, requirements=REQUIREMENTS, modules=MODULES):
    """Installs when a module is missing or a newer Parlix ships other pins."""
    stamp = _stamp_path()
    try:
        with open(stamp) as f:
            outdated = f.read().strip() != _digest(requirements)
    except OSError:
        outdated = False
    if not outdated and all(importlib.util.find_spec(m) is not None for m in modules):
        return
    report.status("installing_deps")
    install(sys.executable, requirements, report)
    try:
        with open(stamp, "w") as f:
            f.write(_digest(requirements) + "\n")
    except OSError:
        pass  # only costs a needless check of the pins next time


def index_configured(python, env):
    if any(env.get(v) for v in _INDEX_VARIABLES):
        return True
    try:
        listed = subprocess.run([python, "-m", "pip", "config", "list"], env=env, timeout=60,
                                capture_output=True, text=True).stdout
    except (OSError, subprocess.TimeoutExpired):
        return False
    return bool(re.search(r"^\S*\.(index-url|extra-index-url|find-links|no-index)=", listed, re.M))


def has_nvidia_gpu():
    return os.path.exists("/proc/driver/nvidia/version") or shutil.which("nvidia-smi") is not None


def pip_command(python, requirements, env):
    command = [python, "-m", "pip", "install", "--disable-pip-version-check", "--no-input",
               "-r", requirements]
    if not index_configured(python, env) and not has_nvidia_gpu():
        command += ["--extra-index-url", CPU_WHEELS]
    return command


class PipProgress:
    """Turns pip's output into progress lines: n of the m packages met so far, the
    file being fetched and its bytes (measured in pip's private temporary folder)."""

    _COLLECTING = re.compile(r"^Collecting (\S+)")
    _DOWNLOADING = re.compile(r"^\s*Downloading (\S+) \(([\d.]+) ([kMG]?B)\)")
    _INSTALLING = re.compile(r"^Installing collected packages: (.*)")
    _UNITS = {"B": 1, "kB": 1e3, "MB": 1e6, "GB": 1e9}

    def __init__(self, report, tmp_dir):
        self._report = report
        self._tmp = tmp_dir
        self._lock = threading.Lock()
        self._met = 0
        self._fetched = 0
        self._file = None  # (name, bytes) of the download under way
        self._installing = None  # (count, start time)

    def feed(self, line):
        with self._lock:
            if m := self._COLLECTING.match(line):
                self._finish_file()
                self._met += 1
                self._emit("正在解析: " + m.group(1))
            elif m := self._DOWNLOADING.match(line):
                self._finish_file()
                name = m.group(1).rsplit("/", 1)[-1]  # other indexes show the whole address
                if not name.endswith(".metadata"):
                    self._file = (name, float(m.group(2)) * self._UNITS[m.group(3)])
                    self._emit("正在下载: %s (%s %s)" % (name, m.group(2), m.group(3)))
            elif m := self._INSTALLING.match(line):
                self._finish_file()
                self._installing = (len([p for p in m.group(1).split(",") if p.strip()]), time.monotonic())
                self._emit_installing()

    def tick(self):
        with self._lock:
            if self._installing:
                self._emit_installing()
            elif self._file:
                name, size = self._file
                have = self._bytes_of(name)
                self._emit("正在下载: %s (%.1f/%.1f MB)" % (name, have / 1e6, size / 1e6))

    def finish(self):
        with self._lock:
            count = self._installing[0] if self._installing else self._met
            self._report.progress(count, count, "依赖安装完成")

    def _finish_file(self):
        if self._file:
            self._file = None
            self._fetched += 1

    def _emit(self, stage):
        self._report.progress(self._fetched, max(self._met, self._fetched, 1), stage)

    def _emit_installing(self):
        count, since = self._installing
        self._report.progress(count, count, "正在安装 %d 个软件包（已用 %d 秒）" % (count, time.monotonic() - since))

    def _bytes_of(self, name):
        for root, _dirs, files in os.walk(self._tmp):
            if name in files:
                try:
                    return os.path.getsize(os.path.join(root, name))
                except OSError:
                    return 0
        return 0


def install(python, requirements, report, tick_seconds=2.0):
    global _child
    env = dict(os.environ, PYTHONUNBUFFERED="1")
    if importlib.util.find_spec("pip") is None and python == sys.executable:
        _run_quietly([python, "-m", "ensurepip", "--default-pip"], env, "环境中没有 pip，且无法安装 pip")
    tmp = tempfile.mkdtemp(prefix="parlix-pip-")
    env["TMPDIR"] = tmp  # pip downloads into it, so the bytes fetched can be measured
    progress = PipProgress(report, tmp)
    tail = []
    try:
        _child = subprocess.Popen(pip_command(python, requirements, env), env=env, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, start_new_session=True)
        done = threading.Event()

        def ticker():
            while not done.wait(tick_seconds):
                progress.tick()

        threading.Thread(target=ticker, daemon=True).start()
        try:
            for raw in _child.stdout:
                line = raw.decode("utf-8", "replace").rstrip()
                tail = (tail + [line])[-40:]
                progress.feed(line)
            code = _child.wait()
        finally:
            done.set()
    except OSError as e:
        raise EngineError("无法运行 pip: %s" % e) from None
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    if code != 0:
        report.log("\n".join(tail))
        errors = [l for l in tail if l.startswith("ERROR:")]
        reason = errors[0][len("ERROR:"):].strip() if errors else "pip 退出码 %d" % code
        raise EngineError("安装依赖失败，请检查网络连接或 pip 的镜像设置: " + reason)
    progress.finish()


def _run_quietly(command, env, message):
    global _child
    _child = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, start_new_session=True)
    output = _child.communicate()[0].decode("utf-8", "replace")
    if _child.returncode != 0:
        raise EngineError(message + ": " + output.strip().splitlines()[-1:][0] if output.strip() else message)
