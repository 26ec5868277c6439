"""Drives a built Parlix as a person would: a private HOME, a receiving window, the
trigger key through xdotool, speech through the PulseAudio pipe microphone, and small
HTTP servers standing in for the recognition and translation services."""
import json
import os
import queue
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import unittest
import uuid
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PARLIX = os.environ.get("PARLIX_BIN", "")
HERE = os.path.dirname(os.path.abspath(__file__))
SUPER_R, CONTROL_L = "134", "37"
SPOKEN = "hello world testing one two three"
OFFLINE_ENGINE = {"PARLIX_ASR_ENGINE": "pocketsphinx"}  # Debian's, reached through system site packages

# Control positions in the settings window (window-relative pixels; the layout is fixed).
TRIGGER_POPUP, LAUNCH_AT_LOGIN_CHECKBOX, SAVE_BUTTON = (190, 170), (37, 209), (460, 432)
TEXT_TAB, CJK_SPACING_CHECKBOX, ADD_HOTWORD_BUTTON = (97, 22), (37, 111), (442, 200)


def wait_until(predicate, timeout, interval=0.05):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    return predicate()


def xdotool(*args, check=True):
    return subprocess.run(["xdotool", *args], check=check, capture_output=True, text=True).stdout


class Home:
    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="parlix-e2e-")
        self.config = os.path.join(self.root, ".config")
        self.app_support = os.path.join(self.root, ".local", "share", "Parlix")
        self.conf_path = os.path.join(self.config, "Parlix", "Parlix.conf")
        os.makedirs(os.path.dirname(self.conf_path))

    def write_settings(self, values):
        text = {True: "true", False: "false"}
        with open(self.conf_path, "w", encoding="utf-8") as f:
            f.write("[General]\n" + "".join(f"{k}={text.get(v, v)}\n" for k, v in values.items()))

    def read_settings(self):
        if not os.path.exists(self.conf_path):
            return {}
        with open(self.conf_path, encoding="utf-8") as f:
            return dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)

    def make_venv(self, *options):
        subprocess.run(["/usr/bin/python3", "-m", "venv", "--without-pip", *options,
                        os.path.join(self.app_support, "venv")], check=True)

    def env(self, extra=None):
        env = dict(os.environ, HOME=self.root, XDG_CONFIG_HOME=self.config, QT_QPA_PLATFORM="xcb",
                   XDG_DATA_HOME=os.path.dirname(self.app_support))
        env.pop("PARLIX_RESOURCES_DIR", None)
        env.update(extra or {})
        return env

    def stop(self):
        shutil.rmtree(self.root, ignore_errors=True)


class Parlix:
    def __init__(self, home, extra_env=None, binary=None):
        self.lines = []
        self.proc = subprocess.Popen([binary or PARLIX], env=home.env(extra_env), cwd=home.root,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        try:
            for raw in self.proc.stdout:
                self.lines.append(raw.decode("utf-8", "replace").rstrip("\n"))
        except (ValueError, OSError):
            pass  # closed by stop()

    def wait_for_line(self, text, timeout=20):
        return bool(wait_until(lambda: any(text in line for line in list(self.lines)), timeout))

    def output(self):
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


class DesktopTest(unittest.TestCase):
    """A test on the desktop of tests/tools/test-session.sh with a private home; whatever it
    starts through keep() is stopped after it, the latest first."""

    def setUp(self):
        for var in ("DISPLAY", "PULSE_SERVER", "PARLIX_MIC_QUEUE"):
            if not os.environ.get(var):
                self.skipTest(f"{var} is not set: run inside tests/tools/test-session.sh")
        if not os.path.exists(PARLIX):
            self.skipTest("PARLIX_BIN does not name the built parlix")
        self.home = self.keep(Home())
        self.parlix = None

    def keep(self, part):
        self.addCleanup(part.stop)
        return part

    def start_parlix(self, extra_env=None, binary=None, line="Parlix 已启动", timeout=20):
        self.parlix = self.keep(Parlix(self.home, extra_env, binary))
        self.assertTrue(self.parlix.wait_for_line(line, timeout), self.parlix.output())

    def open_receiver(self):
        """The window of tests/tools/tk_receiver.py, which takes the keyboard focus."""
        self.received = os.path.join(self.home.root, "received.txt")
        receiver = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "..", "tools", "tk_receiver.py"),
                                     "receiver", self.received], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
        self.addCleanup(lambda: (receiver.stdin.close(), receiver.wait()))
        self.assertTrue(wait_until(lambda: os.path.exists(self.received), 10), "receiver window did not start")

    def typed(self):
        with open(self.received, encoding="utf-8") as f:
            return f.read()

    def expect_typed(self, predicate, timeout=20):
        """predicate: a text the receiver must hold, or a test of all it holds."""
        test = predicate if callable(predicate) else lambda text: predicate in text
        self.assertTrue(wait_until(lambda: test(self.typed()), timeout),
                        f"receiver holds {self.typed()!r}\n{self.parlix.output()}")

    def expect_totals(self, recognitions, characters):
        settings = wait_until(lambda: self.home.read_settings().get("totalRecognitions") == str(recognitions)
                              and self.home.read_settings(), 5)
        self.assertTrue(settings, self.home.read_settings())
        self.assertEqual(settings["totalCharactersTyped"], str(characters))
        return settings


def tap(code):
    xdotool("keydown", code, "sleep", "0.08", "keyup", code)


_speech = {}


def speak(text):
    """Plays espeak-ng speech of text into the microphone in real time; returns its length
    in seconds."""
    if text not in _speech:
        d = tempfile.mkdtemp(prefix="parlix-voice-")
        wav, raw = os.path.join(d, "x.wav"), os.path.join(d, "x.raw")
        subprocess.run(["espeak-ng", "-v", "en-us+m3", "-s", "140", "-w", wav, text], check=True)
        subprocess.run(["sox", wav, "-r", "16000", "-c", "1", "-b", "16", "-e", "signed-integer",
                        "-t", "raw", raw], check=True)
        _speech[text] = raw
    q = os.environ["PARLIX_MIC_QUEUE"]
    tmp = os.path.join(q, f".{uuid.uuid4().hex}")
    shutil.copyfile(_speech[text], tmp)
    os.rename(tmp, os.path.join(q, f"{time.time_ns()}.raw"))
    return os.path.getsize(_speech[text]) / 32000.0


def hold_and_speak(key=SUPER_R, text=SPOKEN):
    xdotool("keydown", key, "sleep", "0.3")
    time.sleep(speak(text) + 0.6)
    xdotool("keyup", key)


def dictate(text=SPOKEN, key=SUPER_R, taps=0):
    """Taps the trigger key `taps` times, then holds it while speaking text."""
    for _ in range(taps):
        tap(key)
        time.sleep(0.15)
    hold_and_speak(key, text)


def find_window(name, timeout=10):
    ids = wait_until(lambda: xdotool("search", "--name", f"^{name}$", check=False).split(), timeout)
    return ids[-1] if ids else None


def click(win, point):
    xdotool("mousemove", "--window", win, *map(str, point), "click", "1")
    time.sleep(0.3)


def open_settings_window():
    """Through the tray menu, as a person would: click the fish, choose "设置..."."""
    panel = find_window("panel")
    if not panel:
        return None
    click(panel, (15, 16))
    xdotool("key", "Down", "Return")
    return find_window("Parlix 设置")


def processes_matching(text):
    """(pid, command line) of each process whose command line holds text."""
    out = subprocess.run(["pgrep", "-af", text], capture_output=True, text=True).stdout
    found = [(int(pid), cmd) for pid, _, cmd in (line.partition(" ") for line in out.splitlines())]
    return [p for p in found if p[0] != os.getpid()]


def server_processes():
    return [p for p in processes_matching("local_server.py") if "python" in p[1]]


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


def form_fields(request):
    """The fields of a recorded multipart request."""
    _path, headers, body = request
    boundary = headers["Content-Type"].split("boundary=", 1)[1].encode()
    fields = {}
    for part in body.split(b"--" + boundary)[1:-1]:
        head, _, value = part[2:].partition(b"\r\n\r\n")
        fields[head.split(b'name="', 1)[1].split(b'"', 1)[0].decode()] = value[:-2]
    return fields


class StubServer:
    """A stdlib HTTP server on a free port answering every request with the JSON of
    reply(); it keeps (path, headers, body) of each request, and notes in `answered` each
    reply handed to the connection."""

    def __init__(self, reply):
        self.requests = queue.Queue()
        self.answered = queue.Queue()
        outer = self

        class Handler(BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_POST(self):
                body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
                outer.requests.put((self.path, dict(self.headers), body))
                payload = json.dumps(reply(), ensure_ascii=False).encode("utf-8")
                self.send_response(200)
                self.send_header("Content-Type", "application/json")
                self.send_header("Content-Length", str(len(payload)))
                self.end_headers()
                self.wfile.write(payload)
                outer.answered.put(payload)

        self.httpd = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def url(self, path):
        return f"http://127.0.0.1:{self.httpd.server_address[1]}{path}"

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()
