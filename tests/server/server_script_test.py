"""The shipped recognition server: its HTTP contract with the offline pocketsphinx
engine, and how it holds under bad clients."""

import http.client
import importlib.util
import json
import os
import shutil
import socket
import subprocess
import threading
import time
import unittest

import parlix_http
import parlix_pocketsphinx

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.environ.get("PARLIX_SERVER_SCRIPT", os.path.join(HERE, "..", "..", "resources", "local_server.py"))
SPEECH = "hello world testing one two three"
BOUNDARY = "0F3C7A52-9D1E"


def multipart(audio, **fields):
    """A body laid out as Parlix sends it: the file, then the text fields."""
    parts = [b'name="file"; filename="audio.wav"\r\nContent-Type: audio/wav\r\n\r\n' + audio]
    parts += [b'name="%s"\r\n\r\n%s' % (k.encode(), v) for k, v in fields.items()]
    body = b"".join(b"--%s\r\nContent-Disposition: form-data; %s\r\n" % (BOUNDARY.encode(), p) for p in parts)
    return "multipart/form-data; boundary=" + BOUNDARY, body + b"--%s--\r\n" % BOUNDARY.encode()


def call(port, path="/health", content_type="", body=None):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    conn.request("GET" if body is None else "POST", path, body, {"Content-Type": content_type})
    response = conn.getresponse()
    return response.status, json.loads(response.read())


def raw_exchange(port, data, timeout=10):
    """Sends data whole, then reads the reply to the end, as a well-behaved client does."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(data)
        return b"".join(iter(lambda: s.recv(65536), b""))


def start_server(test, engine, **options):
    service = parlix_http.Service(engine)
    server = parlix_http.Server(service, ("127.0.0.1", 0), **options)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    test.addCleanup(server.server_close)
    test.addCleanup(server.shutdown)
    return service, server.server_address[1]


class EchoEngine:
    name = "echo"

    def recognise(self, request):
        return "%d bytes" % len(request.audio)


class ContractTest(unittest.TestCase):
    def test_health_strict_requests_and_recognition(self):
        if not (shutil.which("espeak-ng") and shutil.which("sox") and importlib.util.find_spec("pocketsphinx")):
            self.skipTest("needs espeak-ng, sox and python3-pocketsphinx")
        engine = parlix_pocketsphinx.PocketsphinxEngine()
        engine.load()
        service, port = start_server(self, engine)
        self.assertEqual(call(port)[0], 503)
        service.ready.set()
        self.assertEqual(call(port)[0], 200)

        # -R: repeatable dither, so that the recogniser hears the same samples every run.
        audio = subprocess.run("espeak-ng -v en-us+m3 -s 140 --stdout '%s' | sox -R -t wav - -t wav -r 16000 -c 1 -b 16 "
                               "-e signed-integer - 2>/dev/null" % SPEECH, shell=True, check=True, capture_output=True).stdout
        for itn, expected in ((b"false", SPEECH), (b"true", "hello world testing 1 2 3")):
            self.assertEqual(call(port, "/api/transcribe", *multipart(audio, language=b"auto", itn=itn)),
                             (200, {"success": True, "text": expected}))

        good = multipart(audio, language=b"en")
        for name, request in {"not multipart": ("application/json", b"{}"), "cut": (good[0], good[1][:-10]),
                              "junk after the end": (good[0], good[1] + b"x"),
                              "unknown language": multipart(audio, language=b"fr"),
                              "itn not a flag": multipart(audio, itn=b"yes")}.items():
            with self.subTest(name):
                status, reply = call(port, "/api/transcribe", *request)
                self.assertEqual((status // 100, reply["success"]), (4, False))


class BadClientTest(unittest.TestCase):
    def test_early_errors_reach_a_client_that_sends_its_whole_body(self):
        self.addCleanup(setattr, parlix_http, "MAX_BODY_BYTES", parlix_http.MAX_BODY_BYTES)
        parlix_http.MAX_BODY_BYTES = 300_000
        service, port = start_server(self, EchoEngine())
        content_type, body = multipart(b"x" * 200_000)
        head = b"POST /api/transcribe HTTP/1.1\r\nHost: x\r\nContent-Type: %s\r\n" % content_type.encode()
        big = b"x" * 8_000_000  # more than socket buffers hold: the server must read it
        cases = [("not ready", 503, head + b"Content-Length: %d\r\n\r\n" % len(body) + body),
                 ("too large", 413, head + b"Content-Length: %d\r\n\r\n" % len(big) + big),
                 ("chunked", 411, head + b"Transfer-Encoding: chunked\r\n\r\n%x\r\n" % len(big) + big + b"\r\n0\r\n\r\n")]
        for name, status, request in cases:
            with self.subTest(name):
                reply = raw_exchange(port, request)
                head_, _, payload = reply.partition(b"\r\n\r\n")
                self.assertTrue(head_.startswith(b"HTTP/1.0 %d" % status), head_)
                self.assertFalse(json.loads(payload)["success"])
        service.ready.set()
        self.assertEqual(call(port, "/api/transcribe", content_type, body), (200, {"success": True, "text": "200000 bytes"}))

    def test_trickling_client_is_dropped_at_the_deadline(self):
        _service, port = start_server(self, EchoEngine(), request_seconds=1)
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            started = time.monotonic()
            try:
                for byte in b"POST /api/transcribe HTTP/1.1\r\nContent-Length: 100\r\n\r\n" + b"x" * 100:
                    s.send(bytes([byte]))  # each byte well within any per-read time-out
                    time.sleep(0.1)
                dropped = s.recv(100) == b""
            except (BrokenPipeError, ConnectionResetError):
                dropped = True
        self.assertTrue(dropped and time.monotonic() - started < 4)

    def test_workers_are_bounded_and_waiting_connections_are_served(self):
        service, port = start_server(self, EchoEngine(), workers=2)
        service.ready.set()
        idle = [socket.create_connection(("127.0.0.1", port)) for _ in range(2)]
        time.sleep(0.2)
        waiting = socket.create_connection(("127.0.0.1", port), timeout=0.5)
        waiting.sendall(b"GET /health HTTP/1.0\r\n\r\n")
        with self.assertRaises(socket.timeout):
            waiting.recv(100)  # both workers hold the idle connections
        idle[0].close()
        waiting.settimeout(5)
        self.assertTrue(waiting.recv(100).startswith(b"HTTP/1.0 200"))
        waiting.close()
        idle[1].close()


if __name__ == "__main__":
    unittest.main()
