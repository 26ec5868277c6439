"""Tests of the shipped recognition server script and its modules.

Run with /usr/bin/python3 -m unittest, the shipped resources on PYTHONPATH and
PARLIX_SERVER_SCRIPT naming the script.  ScriptProcessTest uses port 19000.
"""

import http.client
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
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import local_server
import parlix_engines
import parlix_multipart

SCRIPT = os.environ.get("PARLIX_SERVER_SCRIPT", local_server.__file__)
SPEECH = "hello world testing one two three"


def multipart(fields):
    """A body built byte for byte as Parlix builds it, from (name, bytes) pairs."""
    b = str(uuid.uuid4()).upper()
    body, after_file = b"", False
    for name, value in fields:
        body += b"\r\n" if after_file else b""
        if name == "file":
            body += ("--%s\r\nContent-Disposition: form-data; name=\"file\"; filename=\"audio.wav\"\r\n"
                     "Content-Type: audio/wav\r\n\r\n" % b).encode() + value
        else:
            body += ("--%s\r\nContent-Disposition: form-data; name=\"%s\"\r\n\r\n" % (b, name)).encode() + value + b"\r\n"
        after_file = name == "file"
    return "multipart/form-data; boundary=" + b, body + (b"\r\n" if after_file else b"") + ("--%s--\r\n" % b).encode()


def speech_wav(text):
    if not shutil.which("espeak-ng") or not shutil.which("sox"):
        raise unittest.SkipTest("espeak-ng and sox are needed for speech")
    with tempfile.TemporaryDirectory() as d:
        raw, out = os.path.join(d, "x.wav"), os.path.join(d, "y.wav")
        subprocess.run(["espeak-ng", "-v", "en-us+m3", "-s", "140", "-w", raw, text], check=True)
        # -R: repeatable dither, so that the recogniser hears the same samples every run.
        subprocess.run(["sox", "-R", raw, "-r", "16000", "-c", "1", "-b", "16", "-e", "signed-integer", out], check=True)
        with open(out, "rb") as f:
            return f.read()


def request(port, method, path, body=None, headers=None):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    conn.request(method, path, body=body, headers=headers or {})
    response = conn.getresponse()
    data = response.read()
    conn.close()
    return response.status, (json.loads(data) if data else None)


def post(port, content_type, body):
    return request(port, "POST", "/api/transcribe", body, {"Content-Type": content_type})


class MultipartTest(unittest.TestCase):
    def test_body_as_parlix_sends_it(self):
        audio = b"RIFF\r\n--not-a-boundary\r\n"
        content_type, body = multipart([("file", audio), ("language", b"auto"), ("itn", b"true"),
                                        ("remove_filler", b"true"), ("hotwords", "A,B C,中文".encode())])
        parts = parlix_multipart.parse(body, parlix_multipart.boundary_from_content_type(content_type))
        self.assertEqual(list(parts), ["file", "language", "itn", "remove_filler", "hotwords"])
        self.assertEqual((parts["file"].data, parts["file"].filename, parts["file"].content_type),
                         (audio, "audio.wav", "audio/wav"))
        self.assertEqual(parts["hotwords"].data.decode(), "A,B C,中文")
        self.assertEqual(parlix_multipart.boundary_from_content_type('Multipart/Form-Data; boundary="a b:c"'), b"a b:c")

    def test_malformed_requests(self):
        b = "BOUNDARY"
        part = "--%s\r\nContent-Disposition: form-data; name=\"language\"\r\n\r\nen\r\n" % b
        end = "--%s--\r\n" % b
        bodies = {
            "no leading boundary": "preamble" + part + end,
            "no closing boundary": part,
            "repeated field": part + part + end,
            "part without name": "--%s\r\nContent-Disposition: form-data\r\n\r\nx\r\n" % b + end,
            "not form-data": "--%s\r\nContent-Disposition: attachment; name=\"a\"\r\n\r\nx\r\n" % b + end,
            "header without colon": "--%s\r\nContent-Disposition form-data\r\n\r\nx\r\n" % b + end,
            "no header end": "--%s\r\nContent-Disposition: form-data; name=\"a\"\r\n" % b,
            "junk after close": part + end + "more",
            "too many parts": "".join(part.replace("language", "f%d" % i) for i in range(20)) + end,
            "empty": "",
        }
        for name, body in bodies.items():
            with self.subTest(name), self.assertRaises(parlix_multipart.MultipartError):
                parlix_multipart.parse(body.encode(), b.encode())
        for value in (None, "application/json", "multipart/form-data", "multipart/form-data; boundary=",
                      "multipart/form-data; boundary=" + "x" * 71, "multipart/form-data; boundary=a; boundary=b"):
            with self.subTest(value), self.assertRaises(parlix_multipart.MultipartError):
                parlix_multipart.boundary_from_content_type(value)


class TextShapingTest(unittest.TestCase):
    def test_numbers_fillers_hotwords(self):
        for spoken, written in [(SPEECH, "hello world testing 1 2 3"), ("one hundred twenty one apples", "121 apples"),
                                ("nineteen eighty four", "19 84"), ("a hundred", "a hundred"), ("two thousand five", "2005")]:
            self.assertEqual(parlix_engines.english_itn(spoken), written)
        self.assertEqual(parlix_engines.remove_fillers("um so uh we go, er, now"), "so we go, now")
        self.assertEqual(parlix_engines.remove_fillers("嗯，今天呃天气好"), "今天天气好")
        self.assertEqual(parlix_engines.apply_hotwords("git hub or github, a i or ai", ["GitHub", "AI"]),
                         "GitHub or GitHub, a i or AI")


class FakeEngine:
    name = "fake"

    def __init__(self):
        self.requests, self.active, self.most_active = [], 0, 0

    def recognise(self, req):
        self.active += 1
        self.most_active = max(self.most_active, self.active)
        time.sleep(0.05)
        self.active -= 1
        self.requests.append(req)
        if req.audio == b"crash":
            raise RuntimeError("boom")
        if req.audio == b"refuse":
            raise parlix_engines.EngineError("坏音频")
        return "%d bytes" % len(req.audio)


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
        self.assertEqual(request(self.port, "GET", "/health")[0], 503)
        self.assertEqual(post(self.port, *multipart([("file", b"x")])), (503, {"success": False, "error": "模型尚未就绪"}))
        self.service.ready.set()
        self.assertEqual(request(self.port, "GET", "/health")[0], 200)
        self.assertEqual(request(self.port, "GET", "/other")[0], 404)

    def test_fields_reach_the_engine_one_request_at_a_time(self):
        self.service.ready.set()
        rows = [([("file", b"abc"), ("language", b"en"), ("itn", b"true")], ("en", True, False, [])),
                ([("file", b"abc"), ("language", b"zh"), ("itn", b"false"), ("remove_filler", b"true"),
                  ("hotwords", "A,B C,,中文".encode())], ("zh", False, True, ["A", "B C", "中文"])),
                ([("file", b"abc")], ("auto", True, False, []))]
        for fields, expected in rows:
            self.assertEqual(post(self.port, *multipart(fields)), (200, {"success": True, "text": "3 bytes"}))
            r = self.engine.requests[-1]
            self.assertEqual((r.language, r.itn, r.remove_filler, r.hotwords), expected)
        threads = [threading.Thread(target=post, args=(self.port, *multipart([("file", b"abc")]))) for _ in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual((len(self.engine.requests), self.engine.most_active), (7, 1))

    def test_bad_requests_get_json_errors(self):
        self.service.ready.set()
        good_type, good_body = multipart([("file", b"abc"), ("language", b"en")])
        cases = [("not multipart", ("application/json", b"{}"), 400),
                 ("cut body", (good_type, good_body[:-10]), 400),
                 ("no file", multipart([("language", b"en")]), 400),
                 ("unknown language", multipart([("file", b"a"), ("language", b"fr")]), 400),
                 ("itn not a flag", multipart([("file", b"a"), ("itn", b"yes")]), 400),
                 ("language not UTF-8", multipart([("file", b"a"), ("language", b"\xff")]), 400),
                 ("engine refuses", multipart([("file", b"refuse")]), 422),
                 ("engine fails", multipart([("file", b"crash")]), 500)]
        for name, (content_type, body), expected in cases:
            with self.subTest(name):
                status, reply = post(self.port, content_type, body)
                self.assertEqual((status, reply["success"], type(reply["error"])), (expected, False, str))
        for headers, expected in [({"Content-Length": str(local_server.MAX_BODY_BYTES + 1)}, 413),
                                  ({"Transfer-Encoding": "chunked"}, 411), ({}, 411), ({"Content-Length": "-5"}, 400)]:
            with self.subTest(headers=headers), socket.create_connection(("127.0.0.1", self.port), timeout=5) as s:
                s.sendall(("POST /api/transcribe HTTP/1.1\r\nHost: x\r\nContent-Type: multipart/form-data; boundary=b\r\n"
                           + "".join("%s: %s\r\n" % kv for kv in headers.items()) + "\r\n").encode())
                reply = b""
                while chunk := s.recv(65536):
                    reply += chunk
                self.assertTrue(reply.startswith(b"HTTP/1.0 %d" % expected), reply[:40])
                self.assertIs(json.loads(reply.split(b"\r\n\r\n", 1)[1])["success"], False)
        self.assertEqual(request(self.port, "GET", "/health")[0], 200)  # still serving


class FakeHub(BaseHTTPRequestHandler):
    files, cut_after, ranges = {}, None, []

    def log_message(self, *args):
        pass

    def do_GET(self):
        if "/repo/files" in self.path:
            body = json.dumps({"Data": {"Files": [{"Path": p, "Type": "blob", "Size": len(d)}
                                                  for p, d in self.files.items()]}}).encode()
            self.send_response(200)
        else:
            name = urllib.parse.unquote(self.path.split("FilePath=")[1])
            start = 0
            if "Range" in self.headers:
                FakeHub.ranges.append(self.headers["Range"])
                start = int(self.headers["Range"].split("=")[1].rstrip("-"))
            self.send_response(206 if start else 200)
            body = self.files[name][start:]
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body[:self.cut_after] if self.path.endswith("model.pt") else body)


class ModelDownloadTest(unittest.TestCase):
    def test_interrupted_download_leaves_no_model_and_resumes(self):
        FakeHub.files = {"model.pt": os.urandom(300000), "config.yaml": b"x: 1\n", "sub/vocab.txt": b"a\n"}
        FakeHub.cut_after, FakeHub.ranges = 100000, []
        hub = ThreadingHTTPServer(("127.0.0.1", 0), FakeHub)
        threading.Thread(target=hub.serve_forever, daemon=True).start()
        self.addCleanup(hub.server_close)
        self.addCleanup(hub.shutdown)
        url, folder = "http://127.0.0.1:%d" % hub.server_address[1], tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        percents = []
        report = type("Report", (), {"download_progress": lambda _self, p: percents.append(p)})()

        with self.assertRaises(Exception):
            parlix_engines.download_model(url, "Org/M", folder, report, chunk=4096)
        self.assertFalse(os.path.exists(os.path.join(folder, "model.pt")))
        self.assertEqual(os.path.getsize(os.path.join(folder, "model.pt.part")), 100000)

        FakeHub.cut_after, percents[:] = None, []
        parlix_engines.download_model(url, "Org/M", folder, report, chunk=4096)
        with open(os.path.join(folder, "model.pt"), "rb") as f:
            self.assertEqual(f.read(), FakeHub.files["model.pt"])
        self.assertEqual(FakeHub.ranges, ["bytes=100000-"])
        self.assertFalse(os.path.exists(os.path.join(folder, "model.pt.part")))
        self.assertEqual((percents, percents[-1]), (sorted(set(percents)), 100))
        self.assertTrue(all(type(p) is int for p in percents))


class ScriptProcessTest(unittest.TestCase):
    """The script as Parlix runs it, with the pocketsphinx engine, on port 19000."""

    def setUp(self):
        try:
            import pocketsphinx  # noqa: F401
        except ImportError:
            self.skipTest("python3-pocketsphinx is not installed")
        with socket.socket() as s:
            if s.connect_ex(("127.0.0.1", local_server.PORT)) == 0:
                self.skipTest("port 19000 is in use by another program")
        self.home = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.home)
        env = dict(os.environ, PARLIX_ASR_ENGINE="pocketsphinx", PYTHONUNBUFFERED="1",
                   VIRTUAL_ENV=os.path.join(self.home, "Parlix", "venv"))
        self.started = time.monotonic()
        self.proc = subprocess.Popen([sys.executable, SCRIPT], cwd=self.home, env=env,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.addCleanup(self.proc.stdout.close)
        self.addCleanup(self.proc.wait)
        self.addCleanup(lambda: self.proc.poll() is None and self.proc.kill())

    def states_until(self, last):
        states = []
        for line in self.proc.stdout:
            message = json.loads(line)  # every line is one JSON object
            if message["type"] == "status":
                states.append(message["state"])
                if message["state"] in (last, "error"):
                    return states
        return states

    def test_status_lines_health_and_recognition(self):
        self.assertEqual(self.states_until("ready"), ["checking", "starting_server", "loading_model", "ready"])
        print("\nscript start to ready: %.2f s" % (time.monotonic() - self.started), file=sys.stderr)
        self.assertEqual(request(local_server.PORT, "GET", "/health")[0], 200)

        audio = speech_wav(SPEECH)
        for itn, expected in ((b"false", SPEECH), (b"true", "hello world testing 1 2 3")):
            reply = post(local_server.PORT, *multipart([("file", audio), ("language", b"auto"), ("itn", itn)]))
            self.assertEqual(reply, (200, {"success": True, "text": expected}))
        self.assertIs(post(local_server.PORT, *multipart([("file", audio), ("language", b"zh")]))[1]["success"], False)

        longer = speech_wav(SPEECH + ", " + SPEECH)  # about 5 s
        begin = time.monotonic()
        status, reply = post(local_server.PORT, *multipart([("file", longer), ("itn", b"true")]))
        print("recognised %.1f s of speech in %.2f s" % ((len(longer) - 44) / 32000, time.monotonic() - begin),
              file=sys.stderr)
        self.assertTrue(reply["text"].startswith("hello world"), reply["text"])

    def test_sigterm_ends_it_within_a_second(self):
        self.states_until("loading_model")  # mid-start, the worst moment
        begin = time.monotonic()
        self.proc.send_signal(signal.SIGTERM)
        self.proc.wait(timeout=5)
        print("\nSIGTERM to exit: %.3f s" % (time.monotonic() - begin), file=sys.stderr)
        self.assertLess(time.monotonic() - begin, 1.0)


if __name__ == "__main__":
    unittest.main()
