"""Drives a built Parlix as a person would: a private HOME, a receiving window, the
trigger key through xdotool, speech through the PulseAudio pipe microphone, and small
HTTP servers standing in for the recognition and translation services."""
import json
import os
import queue
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import uuid
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PARLIX = os.environ.get("PARLIX_BIN", "")
HERE = os.path.dirname(os.path.abspath(__file__))

SUPER_R = "134"
CONTROL_L = "37"


def need_desktop(testcase):
    for var in ("DISPLAY", "PULSE_SERVER", "PARLIX_MIC_QUEUE"):
        if not os.environ.get(var):
            testcase.skipTest(f"{var} is not set: run inside tests/tools/test-session.sh")
    if not PARLIX or not os.path.exists(PARLIX):
        testcase.skipTest("PARLIX_BIN does not name the built parlix")


def wait_until(predicate, timeout, interval=0.05):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    return predicate()


# --- a private home -------------------------------------------------------------------

class Home:
    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="parlix-e2e-")
        self.config = os.path.join(self.root, ".config")
        self.data = os.path.join(self.root, ".local", "share")
        os.makedirs(os.path.join(self.config, "Parlix"))
        os.makedirs(self.data)

    @property
    def conf_path(self):
        return os.path.join(self.config, "Parlix", "Parlix.conf")

    @property
    def app_support(self):
        return os.path.join(self.data, "Parlix")

    def write_settings(self, values):
        lines = ["[General]"]
        for key, value in values.items():
            if isinstance(value, bool):
                value = "true" if value else "false"
            lines.append(f"{key}={value}")
        with open(self.conf_path, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")

    def read_settings(self):
        values = {}
        try:
            with open(self.conf_path, encoding="utf-8") as f:
                for line in f:
                    if "=" in line and not line.startswith("["):
                        k, v = line.rstrip("\n").split("=", 1)
                        values[k] = v
        except FileNotFoundError:
            pass
        return values

    def env(self, extra=None):
        env = dict(os.environ)
        env.update({
            "HOME": self.root,
            "XDG_CONFIG_HOME": self.config,
            "XDG_DATA_HOME": self.data,
            "XDG_CACHE_HOME": os.path.join(self.root, ".cache"),
            "QT_QPA_PLATFORM": "xcb",
        })
        env.pop("PARLIX_RESOURCES_DIR", None)
        if extra:
            env.update(extra)
        return env

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)


# --- Parlix itself --------------------------------------------------------------------

class Parlix:
    def __init__(self, home, extra_env=None, binary=None):
        self.lines = []
        self._new = threading.Condition()
        self.proc = subprocess.Popen(
            [binary or PARLIX], env=home.env(extra_env), stdout=subprocess.PIPE,
            stderr=subprocess.STDOUT, cwd=home.root)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        try:
            for raw in self.proc.stdout:
                line = raw.decode("utf-8", "replace").rstrip("\n")
                with self._new:
                    self.lines.append(line)
                    self._new.notify_all()
        except (ValueError, OSError):
            pass  # closed by stop()

    def wait_for_line(self, text, timeout=20):
        deadline = time.monotonic() + timeout
        with self._new:
            while True:
                if any(text in line for line in self.lines):
                    return True
                remaining = deadline - time.monotonic()
                if remaining <= 0:
                    return False
                self._new.wait(remaining)

    def output(self):
        with self._new:
            return "\n".join(self.lines)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc.stdout.close()


# --- hands and voice ------------------------------------------------------------------

def key_down(code):
    subprocess.run(["xdotool", "keydown", code], check=True)


def key_up(code):
    subprocess.run(["xdotool", "keyup", code], check=True)


def tap(code, hold=0.08):
    key_down(code)
    time.sleep(hold)
    key_up(code)


_speech_cache = {}


def speech_raw(text):
    """16 kHz mono s16le speech of text, made once per text."""
    if text not in _speech_cache:
        d = tempfile.mkdtemp(prefix="parlix-voice-")
        wav = os.path.join(d, "x.wav")
        raw = os.path.join(d, "x.raw")
        subprocess.run(["espeak-ng", "-v", "en-us+m3", "-s", "140", "-w", wav, text], check=True)
        subprocess.run(["sox", wav, "-r", "16000", "-c", "1", "-b", "16", "-e", "signed-integer",
                        "-t", "raw", raw], check=True)
        _speech_cache[text] = raw
    return _speech_cache[text]


def speak(text):
    """Plays the speech into the microphone in real time; returns its length in seconds."""
    raw = speech_raw(text)
    q = os.environ["PARLIX_MIC_QUEUE"]
    tmp = os.path.join(q, f".{uuid.uuid4().hex}")
    shutil.copyfile(raw, tmp)
    os.rename(tmp, os.path.join(q, f"{time.time_ns()}.raw"))
    return os.path.getsize(raw) / 32000.0


def dictate(text, key=SUPER_R, taps=0, lead=0.3, tail=0.6):
    """Taps the trigger key `taps` times, then holds it while speaking text."""
    for _ in range(taps):
        tap(key)
        time.sleep(0.15)
    key_down(key)
    time.sleep(lead)
    seconds = speak(text) if text else 1.0
    time.sleep(seconds + tail)
    key_up(key)


def find_window(name, timeout=10):
    ids = wait_until(lambda: subprocess.run(["xdotool", "search", "--name", f"^{name}$"],
                                            capture_output=True, text=True).stdout.split(), timeout)
    return ids[-1] if ids else None


def click(win, point):
    subprocess.run(["xdotool", "mousemove", "--window", win, str(point[0]), str(point[1]), "click", "1"],
                   check=True)
    time.sleep(0.3)


def open_settings_window():
    """Through the tray menu, as a person would: click the fish, choose "设置..."."""
    panel = find_window("panel")
    if not panel:
        return None
    click(panel, (15, 16))
    subprocess.run(["xdotool", "key", "Down", "Return"], check=True)
    return find_window("Parlix 设置")


# Control positions in the settings window (window-relative pixels; the layout is fixed).
TRIGGER_POPUP = (190, 170)
LAUNCH_AT_LOGIN_CHECKBOX = (37, 209)
TEXT_TAB = (97, 22)
CJK_SPACING_CHECKBOX = (37, 111)
ADD_HOTWORD_BUTTON = (442, 200)
SAVE_BUTTON = (460, 432)


def clipboard():
    r = subprocess.run(["xclip", "-selection", "clipboard", "-o"], capture_output=True, timeout=5)
    return r.stdout.decode("utf-8", "replace") if r.returncode == 0 else None


class ClipboardOwner:
    """Keeps a text on the clipboard (a bare X server has no clipboard manager)."""

    def __init__(self, text):
        self.proc = subprocess.Popen(["xclip", "-selection", "clipboard", "-loops", "0", "-quiet"],
                                     stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        self.proc.stdin.write(text.encode("utf-8"))
        self.proc.stdin.close()
        wait_until(lambda: clipboard() == text, 5)

    def stop(self):
        self.proc.kill()
        self.proc.wait()


class Receiver:
    """A Tk text window that takes the keyboard focus and reports what it holds."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="parlix-receiver-")
        self.out = os.path.join(self.dir, "content.txt")
        self.proc = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "receiver.py"), self.out])
        assert wait_until(lambda: os.path.exists(self.out), 10), "receiver window did not start"

    def text(self):
        try:
            with open(self.out, encoding="utf-8") as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def wait_for(self, predicate, timeout=20):
        return wait_until(lambda: predicate(self.text()), timeout)

    def stop(self):
        self.proc.terminate()
        self.proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


# --- stand-in servers -----------------------------------------------------------------

def parse_multipart(body, content_type):
    boundary = content_type.split("boundary=", 1)[1].encode()
    fields = {}
    for part in body.split(b"--" + boundary)[1:]:
        if part.startswith(b"--"):
            break
        head, _, value = part[2:].partition(b"\r\n\r\n")
        name = head.split(b'name="', 1)[1].split(b'"', 1)[0].decode()
        fields[name] = value[:-2]
    return fields


class StubServer:
    """A stdlib HTTP server on a free port; `respond(handler, body)` returns
    (status, bytes) or None to never answer."""

    def __init__(self, respond):
        self.requests = queue.Queue()
        outer = self

        class Handler(BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_GET(self):
                self._answer(b"")

            def do_POST(self):
                length = int(self.headers.get("Content-Length", "0"))
                self._answer(self.rfile.read(length))

            def _answer(self, body):
                outer.requests.put((self.path, dict(self.headers), body))
                result = respond(self, body)
                if result is None:
                    time.sleep(60)
                    return
                status, payload = result
                self.send_response(status)
                self.send_header("Content-Type", "application/json")
                self.send_header("Content-Length", str(len(payload)))
                self.end_headers()
                self.wfile.write(payload)

        self.httpd = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def url(self, path):
        return f"http://127.0.0.1:{self.port}{path}"

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def json_reply(obj, status=200):
    return status, json.dumps(obj, ensure_ascii=False).encode("utf-8")


def processes_matching(text):
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                cmd = f.read().replace(b"\0", b" ").decode("utf-8", "replace")
        except OSError:
            continue
        if text in cmd and "harness" not in cmd and int(pid) != os.getpid():
            found.append((int(pid), cmd))
    return found
