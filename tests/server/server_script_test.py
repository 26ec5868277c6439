"""Tests of the shipped recognition server script and its modules.

Run with /usr/bin/python3 -m unittest, the resources folder on PYTHONPATH and
PARLIX_SERVER_SCRIPT naming the script.  The process tests use port 19000.
"""

import http.client
import io
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.parse
import uuid
import wave
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import local_server
import parlix_engines
import parlix_multipart

SCRIPT = os.environ.get("PARLIX_SERVER_SCRIPT", local_server.__file__)
SPEECH = "hello world testing one two three"


def multipart(fields, boundary=None):
    """A body built exactly as Parlix builds it, from (name, bytes) pairs in order."""
    b = boundary or str(uuid.uuid4()).upper()
    body, after_file = b"", False
    for name, value in fields:
        body += b"\r\n" if after_file else b""
        if name == "file":
            body += ("--%s\r\nContent-Disposition: form-data; name=\"file\"; filename=\"audio.wav\"\r\n"
                     "Content-Type: audio/wav\r\n\r\n" % b).encode() + value
        else:
            body += ("--%s\r\nContent-Disposition: form-data; name=\"%s\"\r\n\r\n" % (b, name)).encode()
            body += value + b"\r\n"
        after_file = name == "file"
    body += (b"\r\n" if after_file else b"") + ("--%s--\r\n" % b).encode()
    return "multipart/form-data; boundary=" + b, body


def wav(samples=b"\0\0" * 16000, rate=16000, channels=1):
    out = io.BytesIO()
    with wave.open(out, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(samples)
    return out.getvalue()


def speech_wav(text):
    if not shutil.which("espeak-ng") or not shutil.which("sox"):
        raise unittest.SkipTest("espeak-ng and sox are needed for speech")
    with tempfile.TemporaryDirectory() as d:
        raw, out = os.path.join(d, "x.wav"), os.path.join(d, "y.wav")
        # -R: repeatable dither, so that the recogniser hears the same samples every run
        subprocess.run(["espeak-ng", "-v", "en-us+m3", "-s", "140", "-w", raw, text], check=True)
        subprocess.run(["sox", "-R", raw, "-r", "16000", "-c", "1", "-b", "16", "-e", "signed-integer", out], check=True)
        with open(out, "rb") as f:
            return f.read()


def post(port, content_type, body, path="/api/transcribe", headers=None):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    conn.request("POST", path, body=body, headers={"Content-Type": content_type, **(headers or {})})
    response = conn.getresponse()
    payload = json.loads(response.read())
    conn.close()
    return response.status, payload


def get(port, path="/health"):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
    conn.request("GET", path)
    response = conn.getresponse()
    response.read()
    conn.close()
    return response.status


class MultipartTest(unittest.TestCase):
    def test_body_as_parlix_sends_it(self):
        audio = b"RIFF\r\n--not-a-boundary\r\n"
        content_type, body = multipart([("file", audio), ("language", b"auto"), ("itn", b"true"),
                                        ("remove_filler", b"true"), ("hotwords", "A,B C,中文".encode())])
        parts = parlix_multipart.parse(body, parlix_multipart.boundary_from_content_type(content_type))
        self.assertEqual(list(parts), ["file", "language", "itn", "remove_filler", "hotwords"])
        self.assertEqual(parts["file"].data, audio)
        self.assertEqual(parts["file"].filename, "audio.wav")
        self.assertEqual(parts["file"].content_type, "audio/wav")
        self.assertEqual(parts["hotwords"].data.decode(), "A,B C,中文")

    def test_malformed_bodies(self):
        b = "BOUNDARY"
        head = "--%s\r\nContent-Disposition: form-data; name=\"language\"\r\n\r\nen\r\n" % b
        cases = {
            "no leading boundary": "preamble" + head + "--%s--\r\n" % b,
            "no closing boundary": head,
            "repeated field": head + head.replace("--%s\r\n" % b, "--%s\r\n" % b) + "--%s--\r\n" % b,
            "part without name": "--%s\r\nContent-Disposition: form-data\r\n\r\nx\r\n--%s--\r\n" % (b, b),
            "not form-data": "--%s\r\nContent-Disposition: attachment; name=\"a\"\r\n\r\nx\r\n--%s--\r\n" % (b, b),
            "header without colon": "--%s\r\nContent-Disposition form-data\r\n\r\nx\r\n--%s--\r\n" % (b, b),
            "no header end": "--%s\r\nContent-Disposition: form-data; name=\"a\"\r\n" % b,
            "junk after close": head + "--%s--\r\nmore" % b,
            "bad delimiter line": "--%sXX\r\n" % b + head[len(b) + 4:] + "--%s--\r\n" % b,
            "too many parts": "".join("--%s\r\nContent-Disposition: form-data; name=\"f%d\"\r\n\r\nx\r\n" % (b, i)
                                      for i in range(20)) + "--%s--\r\n" % b,
            "empty": "",
        }
        for name, body in cases.items():
            with self.subTest(name):
                with self.assertRaises(parlix_multipart.MultipartError):
                    parlix_multipart.parse(body.encode(), b.encode())

    def test_content_types(self):
        ok = {"multipart/form-data; boundary=abc": b"abc",
              'Multipart/Form-Data; boundary="a b:c"': b"a b:c",
              "multipart/form-data; charset=utf-8; boundary=x": b"x"}
        for value, boundary in ok.items():
            self.assertEqual(parlix_multipart.boundary_from_content_type(value), boundary)
        for value in (None, "", "application/json", "multipart/form-data", "multipart/form-data; boundary=",
                      "multipart/form-data; boundary=" + "x" * 71, "multipart/form-data; boundary=a; boundary=b"):
            with self.subTest(value):
                with self.assertRaises(parlix_multipart.MultipartError):
                    parlix_multipart.boundary_from_content_type(value)


class TextShapingTest(unittest.TestCase):
    def test_itn(self):
        for spoken, written in [(SPEECH, "hello world testing 1 2 3"), ("twenty one", "21"),
                                ("one hundred twenty three apples", "123 apples"),
                                ("nineteen eighty four", "19 84"), ("a hundred", "a hundred"),
                                ("two thousand five", "2005")]:
            self.assertEqual(parlix_engines.english_itn(spoken), written)

    def test_fillers_and_hotwords(self):
        self.assertEqual(parlix_engines.remove_fillers("um so uh we go, er, now"), "so we go, now")
        self.assertEqual(parlix_engines.remove_fillers("嗯，今天呃天气好"), "今天天气好")
        self.assertEqual(parlix_engines.apply_hotwords("push to git hub with github", ["GitHub"]),
                         "push to GitHub with GitHub")
        self.assertEqual(parlix_engines.apply_hotwords("say a i and ai", ["AI"]), "say a i and AI")


class FakeEngine:
    name = "fake"

    def __init__(self):
        self.requests = []
        self.active = 0
        self.most_active = 0
        self.lock = threading.Lock()

    def recognise(self, request):
        with self.lock:
            self.active += 1
            self.most_active = max(self.most_active, self.active)
        time.sleep(0.1)
        with self.lock:
            self.active -= 1
        self.requests.append(request)
        if request.audio == b"engine-error":
            raise parlix_engines.EngineError("坏音频")
        if request.audio == b"crash":
            raise RuntimeError("boom")
        return "text of %d bytes" % len(request.audio)


class HttpTest(unittest.TestCase):
    def setUp(self):
        self.engine = FakeEngine()
        self.service = local_server.Service(self.engine)
        self.server = local_server.Server(self.service, ("127.0.0.1", 0))
        self.port = self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def tearDown(self):
        self.server.shutdown()
        self.server.server_close()

    def test_health_and_requests_wait_for_ready(self):
        self.assertEqual(get(self.port), 503)
        status, reply = post(self.port, *multipart([("file", b"x"), ("language", b"auto"), ("itn", b"true")]))
        self.assertEqual((status, reply["success"]), (503, False))
        self.service.ready.set()
        self.assertEqual(get(self.port), 200)
        self.assertEqual(get(self.port, "/other"), 404)

    def test_fields_reach_the_engine(self):
        self.service.ready.set()
        rows = [
            ([("file", b"abc"), ("language", b"en"), ("itn", b"true")], ("en", True, False, [])),
            ([("file", b"abc"), ("language", b"zh"), ("itn", b"false"), ("remove_filler", b"true"),
              ("hotwords", "A,B C,,中文".encode())], ("zh", False, True, ["A", "B C", "中文"])),
            ([("file", b"abc")], ("auto", True, False, [])),
        ]
        for fields, expected in rows:
            with self.subTest(fields=[f[0] for f in fields]):
                status, reply = post(self.port, *multipart(fields))
                self.assertEqual((status, reply), (200, {"success": True, "text": "text of 3 bytes"}))
                r = self.engine.requests[-1]
                self.assertEqual((r.language, r.itn, r.remove_filler, r.hotwords), expected)
                self.assertEqual(r.audio, b"abc")

    def test_bad_requests_get_json_errors(self):
        self.service.ready.set()
        good_type, good_body = multipart([("file", b"abc"), ("language", b"en")])
        cases = [
            ("not multipart", ("application/json", b"{}"), 400),
            ("malformed body", (good_type, good_body[:-10]), 400),
            ("no file", multipart([("language", b"en")]), 400),
            ("empty file", multipart([("file", b""), ("language", b"en")]), 400),
            ("unknown language", multipart([("file", b"a"), ("language", b"fr")]), 400),
            ("itn not a flag", multipart([("file", b"a"), ("itn", b"yes")]), 400),
            ("language not UTF-8", multipart([("file", b"a"), ("language", b"\xff")]), 400),
            ("engine refuses", multipart([("file", b"engine-error")]), 422),
            ("engine fails", multipart([("file", b"crash")]), 500),
        ]
        for name, (content_type, body), expected in cases:
            with self.subTest(name):
                status, reply = post(self.port, content_type, body)
                self.assertEqual(status, expected)
                self.assertIs(reply["success"], False)
                self.assertIsInstance(reply["error"], str)
        self.assertEqual(get(self.port), 200)  # still serving

    def test_oversized_and_unsized_bodies(self):
        self.service.ready.set()
        for headers, expected in [({"Content-Length": str(local_server.MAX_BODY_BYTES + 1)}, 413),
                                  ({"Transfer-Encoding": "chunked"}, 411), ({}, 411),
                                  ({"Content-Length": "-5"}, 400)]:
            with self.subTest(headers=headers):
                s = socket.create_connection(("127.0.0.1", self.port), timeout=5)
                head = "POST /api/transcribe HTTP/1.1\r\nHost: x\r\nContent-Type: multipart/form-data; boundary=b\r\n"
                head += "".join("%s: %s\r\n" % kv for kv in headers.items()) + "\r\n"
                s.sendall(head.encode())
                reply = b""
                while chunk := s.recv(65536):
                    reply += chunk
                s.close()
                self.assertTrue(reply.startswith(b"HTTP/1.0 %d" % expected), reply[:40])
                self.assertEqual(json.loads(reply.split(b"\r\n\r\n", 1)[1])["success"], False)

    def test_one_request_at_a_time(self):
        self.service.ready.set()
        threads = [threading.Thread(target=post, args=(self.port, *multipart([("file", b"abc")]))) for _ in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(len(self.engine.requests), 4)
        self.assertEqual(self.engine.most_active, 1)


class FakeHub(BaseHTTPRequestHandler):
    files = {}
    cut_after = None  # bytes of model.pt sent before the connection drops
    ranges = []

    def log_message(self, *args):
        pass

    def do_GET(self):
        if "/repo/files" in self.path:
            body = json.dumps({"Data": {"Files": [{"Path": p, "Type": "blob", "Size": len(d)}
                                                  for p, d in self.files.items()]}}).encode()
            self.send_response(200)
        else:
            name = urllib.parse.unquote(self.path.split("FilePath=")[1])
            data = self.files[name]
            start = 0
            if "Range" in self.headers:
                FakeHub.ranges.append(self.headers["Range"])
                start = int(self.headers["Range"].split("=")[1].rstrip("-"))
                self.send_response(206)
            else:
                self.send_response(200)
            body = data[start:]
            if name == "model.pt" and self.cut_after is not None:
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body[:self.cut_after])
                return
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Report:
    def __init__(self):
        self.percents = []

    def download_progress(self, p):
        self.percents.append(p)


class ModelDownloadTest(unittest.TestCase):
    def setUp(self):
        FakeHub.files = {"model.pt": os.urandom(300000), "config.yaml": b"x: 1\n", "sub/vocab.txt": b"a\nb\n"}
        FakeHub.cut_after, FakeHub.ranges = None, []
        self.hub = ThreadingHTTPServer(("127.0.0.1", 0), FakeHub)
        threading.Thread(target=self.hub.serve_forever, daemon=True).start()
        self.url = "http://127.0.0.1:%d" % self.hub.server_address[1]
        self.dir = tempfile.mkdtemp()

    def tearDown(self):
        self.hub.shutdown()
        self.hub.server_close()
        shutil.rmtree(self.dir)

    def test_interrupted_download_leaves_no_model_and_resumes(self):
        FakeHub.cut_after = 100000
        with self.assertRaises(Exception):
            parlix_engines.download_model(self.url, "Org/M", self.dir, Report(), chunk=4096)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "model.pt")))
        self.assertEqual(os.path.getsize(os.path.join(self.dir, "model.pt.part")), 100000)
        FakeHub.cut_after = None
        report = Report()
        parlix_engines.download_model(self.url, "Org/M", self.dir, report, chunk=4096)
        with open(os.path.join(self.dir, "model.pt"), "rb") as f:
            self.assertEqual(f.read(), FakeHub.files["model.pt"])
        self.assertEqual(FakeHub.ranges, ["bytes=100000-"])
        self.assertFalse(os.path.exists(os.path.join(self.dir, "model.pt.part")))
        self.assertEqual(report.percents, sorted(set(report.percents)))
        self.assertEqual(report.percents[-1], 100)
        self.assertTrue(all(isinstance(p, int) for p in report.percents))


def port_19000_free():
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", local_server.PORT)) != 0


class ScriptProcessTest(unittest.TestCase):
    """The script as Parlix runs it, with the pocketsphinx engine, on port 19000."""

    def setUp(self):
        try:
            import pocketsphinx  # noqa: F401
        except ImportError:
            self.skipTest("python3-pocketsphinx is not installed")
        if not port_19000_free():
            self.skipTest("port 19000 is in use by another program")
        self.home = tempfile.mkdtemp()
        env = dict(os.environ, PARLIX_ASR_ENGINE="pocketsphinx", PYTHONUNBUFFERED="1",
                   VIRTUAL_ENV=os.path.join(self.home, "Parlix", "venv"))
        self.started = time.monotonic()
        self.proc = subprocess.Popen([sys.executable, SCRIPT], cwd=self.home, env=env,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT)

    def tearDown(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()
        self.proc.stdout.close()
        shutil.rmtree(self.home)

    def read_states_until(self, last):
        states, lines = [], []
        for raw in self.proc.stdout:
            lines.append(raw)
            message = json.loads(raw)  # every line is one JSON object
            if message["type"] == "status":
                states.append(message["state"])
                if message["state"] in (last, "error"):
                    break
        return states, lines

    def test_status_lines_health_and_recognition(self):
        states, _ = self.read_states_until("ready")
        ready_after = time.monotonic() - self.started
        self.assertEqual(states, ["checking", "starting_server", "loading_model", "ready"])
        self.assertEqual(get(local_server.PORT), 200)
        print("\nscript start to ready: %.2f s" % ready_after, file=sys.stderr)

        audio = speech_wav(SPEECH)
        for itn, expected in ((b"false", SPEECH), (b"true", "hello world testing 1 2 3")):
            status, reply = post(local_server.PORT, *multipart([("file", audio), ("language", b"auto"), ("itn", itn)]))
            self.assertEqual((status, reply), (200, {"success": True, "text": expected}))
        status, reply = post(local_server.PORT, *multipart([("file", audio), ("language", b"zh")]))
        self.assertIs(reply["success"], False)

        five_seconds = speech_wav(SPEECH + ", " + SPEECH)
        begin = time.monotonic()
        status, reply = post(local_server.PORT, *multipart([("file", five_seconds), ("itn", b"true")]))
        took = time.monotonic() - begin
        with wave.open(io.BytesIO(five_seconds)) as w:
            seconds = w.getnframes() / w.getframerate()
        self.assertEqual(status, 200)
        self.assertTrue(reply["text"].startswith("hello world"), reply["text"])
        print("recognised %.1f s of speech in %.2f s" % (seconds, took), file=sys.stderr)

    def test_sigterm_ends_it_within_a_second(self):
        self.read_states_until("loading_model")  # mid-start, the worst moment
        begin = time.monotonic()
        self.proc.send_signal(signal.SIGTERM)
        self.proc.wait(timeout=5)
        took = time.monotonic() - begin
        self.assertLess(took, 1.0)
        print("\nSIGTERM to exit: %.3f s" % took, file=sys.stderr)
        self.assertTrue(port_19000_free())

    def test_busy_port_is_an_error_status(self):
        self.proc.kill()
        self.proc.wait()
        self.proc.stdout.close()
        with socket.socket() as blocker:
            blocker.bind(("127.0.0.1", local_server.PORT))
            blocker.listen()
            env = dict(os.environ, PARLIX_ASR_ENGINE="pocketsphinx")
            self.proc = subprocess.Popen([sys.executable, SCRIPT], env=env,
                                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            states, lines = self.read_states_until("ready")
            self.assertEqual(states[-1], "error")
            self.assertIn("19000", json.loads(lines[-1])["message"])
            self.assertEqual(self.proc.wait(timeout=5), 1)


if __name__ == "__main__":
    unittest.main()
