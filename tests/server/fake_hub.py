"""A model hub on 127.0.0.1 that lists and serves files the way the real hub's HTTP
file API does (Range, 416), with faults on demand; each file is also served at
/<path>, as a package index's files are.

faults maps a file path to a list of what its next requests get, one entry per
request: "cut" (half the bytes, then the connection closes), "wrong" (bytes of the
right size but wrong content), "stall" (nothing until stop()), "ok" (the default once
the list is used up).
"""

import hashlib
import json
import threading
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Report:
    """Records what a download tells the user: each call becomes (kind, *args)."""

    def __init__(self):
        self.lines = []

    def __getattr__(self, kind):
        return lambda *args: self.lines.append((kind,) + args)


class FakeHub:
    def __init__(self, files, listed=("Size", "Sha256"), faults=None):
        self.files = files  # path -> bytes
        self.faults = {k: list(v) for k, v in (faults or {}).items()}
        self.requests = []  # (path, Range header or None)
        self.stopped = threading.Event()
        hub = self

        class Handler(BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_GET(self):
                url = urllib.parse.urlsplit(self.path)
                query = dict(urllib.parse.parse_qsl(url.query))
                if url.path.endswith("/repo/files"):
                    entries = [dict({"Path": p, "Name": p.rsplit("/", 1)[-1], "Type": "blob"},
                                    **{k: v for k, v in (("Size", len(d)), ("Sha256", hashlib.sha256(d).hexdigest()))
                                       if k in listed}) for p, d in hub.files.items()]
                    entries.append({"Path": "sub", "Name": "sub", "Type": "tree"})
                    return self._send(200, json.dumps({"Code": 200, "Data": {"Files": entries}}).encode())
                path = query.get("FilePath") if url.path.endswith("/repo") else url.path[1:]  # or a plain file
                if path not in hub.files:
                    return self._send(404, b"{}")
                hub.requests.append((path, self.headers.get("Range")))
                queue = hub.faults.get(path) or []
                fault = queue.pop(0) if queue else "ok"
                data = hub.files[path]
                if fault == "stall":
                    hub.stopped.wait(60)
                if fault == "wrong":
                    data = bytes(b ^ 0xFF for b in data)
                start = int(self.headers["Range"][6:-1]) if self.headers.get("Range") else 0
                if start >= len(data) and start:
                    return self._send(416, b"")
                self.send_response(206 if start else 200)
                if start:
                    self.send_header("Content-Range", "bytes %d-%d/%d" % (start, len(data) - 1, len(data)))
                self.send_header("Content-Length", str(len(data) - start))
                self.send_header("Content-Type", "text/html" if path.endswith("/") else "application/octet-stream")
                self.end_headers()
                body = data[start:]
                try:
                    self.wfile.write(body[:len(body) // 2] if fault == "cut" else body)
                except OSError:
                    pass  # a client that gave up

            def _send(self, status, body):
                self.send_response(status)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

        self.httpd = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        threading.Thread(target=self.httpd.serve_forever, args=(0.05,), daemon=True).start()
        self.url = "http://127.0.0.1:%d" % self.httpd.server_address[1]

    def stop(self):
        self.stopped.set()
        self.httpd.shutdown()
        self.httpd.server_close()
