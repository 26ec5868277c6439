"""The shipped recognition server: its HTTP contract in-process, and the script as Parlix runs it."""

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

import local_server

SPEECH = "hello world testing one two three"


def multipart(audio, **fields):
    """A body laid out as Parlix sends it: the file, then the text fields."""
    b = b"0F3C7A52-9D1E-4B8A"
    body = (b'--%s\r\nContent-Disposition: form-data; name="file"; filename="audio.wav"\r\n'
            b"Content-Type: audio/wav\r\n\r\n%s\r\n" % (b, audio))
    body += b"".join(b'--%s\r\nContent-Disposition: form-data; name="%s"\r\n\r\n%s\r\n' % (b, k.encode(), v)
                     for k, v in fields.items())
    return "multipart/form-data; boundary=" + b.decode(), body + b"--%s--\r\n" % b


def call(port, path="/health", content_type="", body=None):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    conn.request("GET" if body is None else "POST", path, body, {"Content-Type": content_type})
    response = conn.getresponse()
    reply = response.status, json.loads(response.read())
    conn.close()
    return reply


def speech_wav(text):
    if not shutil.which("espeak-ng") or not shutil.which("sox"):
        raise unittest.SkipTest("espeak-ng and sox are needed for speech")
    with tempfile.TemporaryDirectory() as d:
        subprocess.run(["espeak-ng", "-v", "en-us+m3", "-s", "140", "-w", d + "/x.wav", text], check=True)
        # -R: repeatable dither, so that the recogniser hears the same samples every run.
        subprocess.run(["sox", "-R", d + "/x.wav", "-r", "16000", "-c", "1", "-b", "16", "-e", "signed-integer",
                        d + "/y.wav"], check=True)
        with open(d + "/y.wav", "rb") as f:
            return f.read()


class HttpTest(unittest.TestCase):
    def test_health_then_strict_requests(self):
        service = local_server.Service(type("Engine", (), {"name": "stub", "recognise": lambda self, r: "ok"})())
        server = local_server.Server(service, ("127.0.0.1", 0))
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        port = server.server_address[1]
        self.assertEqual(call(port)[0], 503)
        service.ready.set()
        self.assertEqual(call(port)[0], 200)

        good = multipart(b"RIFF", language=b"en")
        for name, request in {"not multipart": ("application/json", b"{}"), "cut": (good[0], good[1][:-10]),
                              "junk after the end": (good[0], good[1] + b"x"),
                              "unknown language": multipart(b"a", language=b"fr"),
                              "itn not a flag": multipart(b"a", itn=b"yes")}.items():
            with self.subTest(name):
                status, reply = call(port, "/api/transcribe", *request)
                self.assertEqual((status // 100, reply["success"]), (4, False))
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:  # refused before it is read
            s.sendall(b"POST /api/transcribe HTTP/1.1\r\nContent-Length: %d\r\n\r\n" % (local_server.MAX_BODY_BYTES + 1))
            reply = b"".join(iter(lambda: s.recv(65536), b""))
        self.assertTrue(reply.startswith(b"HTTP/1.0 413"), reply[:40])
        self.assertEqual(call(port, "/api/transcribe", *good), (200, {"success": True, "text": "ok"}))


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
        home = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, home)
        self.proc = subprocess.Popen([sys.executable, os.environ["PARLIX_SERVER_SCRIPT"]], cwd=home,
                                     env=dict(os.environ, PYTHONUNBUFFERED="1", VIRTUAL_ENV=home + "/Parlix/venv"),
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
                    break
        return states

    def test_status_lines_and_recognition(self):
        self.assertEqual(self.states_until("ready"), ["checking", "starting_server", "loading_model", "ready"])
        audio = speech_wav(SPEECH)
        for itn, expected in ((b"false", SPEECH), (b"true", "hello world testing 1 2 3")):
            self.assertEqual(call(local_server.PORT, "/api/transcribe", *multipart(audio, language=b"auto", itn=itn)),
                             (200, {"success": True, "text": expected}))

    def test_sigterm_mid_start_ends_it_within_a_second(self):
        self.states_until("loading_model")
        begin = time.monotonic()
        self.proc.send_signal(signal.SIGTERM)
        self.proc.wait(timeout=5)
        self.assertLess(time.monotonic() - begin, 1.0)


if __name__ == "__main__":
    unittest.main()
