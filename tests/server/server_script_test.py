"""The shipped recognition server's HTTP contract, in-process, with the offline pocketsphinx engine."""

import http.client
import importlib.util
import json
import shutil
import socket
import subprocess
import threading
import unittest

import local_server
import parlix_engines

SPEECH = "hello world testing one two three"


def multipart(audio, **fields):
    """A body laid out as Parlix sends it: the file, then the text fields."""
    parts = [b'name="file"; filename="audio.wav"\r\nContent-Type: audio/wav\r\n\r\n' + audio]
    parts += [b'name="%s"\r\n\r\n%s' % (k.encode(), v) for k, v in fields.items()]
    body = b"".join(b"--0F3C7A52-9D1E\r\nContent-Disposition: form-data; %s\r\n" % p for p in parts)
    return "multipart/form-data; boundary=0F3C7A52-9D1E", body + b"--0F3C7A52-9D1E--\r\n"


class ServerTest(unittest.TestCase):
    def call(self, path="/health", content_type="", body=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        conn.request("GET" if body is None else "POST", path, body, {"Content-Type": content_type})
        response = conn.getresponse()
        return response.status, json.loads(response.read())

    def test_health_strict_requests_and_recognition(self):
        if not (shutil.which("espeak-ng") and shutil.which("sox") and importlib.util.find_spec("pocketsphinx")):
            self.skipTest("needs espeak-ng, sox and python3-pocketsphinx")
        engine = parlix_engines.PocketsphinxEngine()
        engine.load()
        service = local_server.Service(engine)
        server = local_server.Server(service, ("127.0.0.1", 0))
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        self.port = server.server_address[1]
        self.assertEqual(self.call()[0], 503)
        service.ready.set()
        self.assertEqual(self.call()[0], 200)

        # -R: repeatable dither, so that the recogniser hears the same samples every run.
        audio = subprocess.run("espeak-ng -v en-us+m3 -s 140 --stdout '%s' | sox -R -t wav - -t wav -r 16000 -c 1 -b 16 "
                               "-e signed-integer - 2>/dev/null" % SPEECH, shell=True, check=True, capture_output=True).stdout
        for itn, expected in ((b"false", SPEECH), (b"true", "hello world testing 1 2 3")):
            self.assertEqual(self.call("/api/transcribe", *multipart(audio, language=b"auto", itn=itn)),
                             (200, {"success": True, "text": expected}))

        good = multipart(audio, language=b"en")
        for name, request in {"not multipart": ("application/json", b"{}"), "cut": (good[0], good[1][:-10]),
                              "junk after the end": (good[0], good[1] + b"x"),
                              "unknown language": multipart(audio, language=b"fr"),
                              "itn not a flag": multipart(audio, itn=b"yes")}.items():
            with self.subTest(name):
                status, reply = self.call("/api/transcribe", *request)
                self.assertEqual((status // 100, reply["success"]), (4, False))
        with socket.create_connection(("127.0.0.1", self.port), timeout=5) as s:  # refused before it is read
            s.sendall(b"POST /api/transcribe HTTP/1.1\r\nContent-Length: %d\r\n\r\n" % (local_server.MAX_BODY_BYTES + 1))
            reply = b"".join(iter(lambda: s.recv(65536), b""))
        self.assertTrue(reply.startswith(b"HTTP/1.0 413"), reply[:40])


if __name__ == "__main__":
    unittest.main()
