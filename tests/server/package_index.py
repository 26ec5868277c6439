"""A PEP 503 "simple" package index on 127.0.0.1 serving stub wheels built here.

A wheel is a zip of the package's files plus METADATA, WHEEL and RECORD; each stub
wheel carries a stand-in package from stubs/ (or an empty module) under the name
and version asked for.
"""

import base64
import hashlib
import io
import os
import threading
import time
import zipfile
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

STUBS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "stubs")


def build_wheel(name, version, requires=()):
    """(file name, bytes) of a pure-Python wheel for name==version."""
    module = name.replace("-", "_")
    files = {}
    source = os.path.join(STUBS, module)
    for root, _dirs, names in os.walk(source):
        for n in names:
            if n.endswith(".py"):
                with open(os.path.join(root, n), "rb") as f:
                    files[os.path.relpath(os.path.join(root, n), STUBS)] = f.read()
    files = files or {module + "/__init__.py": b""}
    info = "%s-%s.dist-info" % (module, version)
    files[info + "/METADATA"] = ("Metadata-Version: 2.1\nName: %s\nVersion: %s\n" % (name, version)
                                 + "".join("Requires-Dist: %s\n" % r for r in requires)).encode()
    files[info + "/WHEEL"] = b"Wheel-Version: 1.0\nGenerator: parlix-tests\nRoot-Is-Purelib: true\nTag: py3-none-any\n"
    record = "".join("%s,sha256=%s,%d\n" % (p, base64.urlsafe_b64encode(hashlib.sha256(d).digest()).rstrip(b"=").decode(),
                                            len(d)) for p, d in files.items()) + info + "/RECORD,,\n"
    files[info + "/RECORD"] = record.encode()
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        for p, d in files.items():
            z.writestr(p, d)
    return "%s-%s-py3-none-any.whl" % (module, version), out.getvalue()


class PackageIndex:
    def __init__(self, wheels):
        self.wheels = dict(wheels)  # normalised project name -> (file name, bytes)
        self.requests = []
        self.stalled = set()  # projects whose file downloads hang until stop()
        self._stop = threading.Event()
        index = self

        class Handler(BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_GET(self):
                index.requests.append(self.path)
                parts = self.path.strip("/").split("/")
                if parts[0] == "simple" and len(parts) == 2 and parts[1] in index.wheels:
                    file, data = index.wheels[parts[1]]
                    body = ('<html><body><a href="/files/%s#sha256=%s">%s</a></body></html>'
                            % (file, hashlib.sha256(data).hexdigest(), file)).encode()
                elif parts[0] == "files" and len(parts) == 2:
                    found = [(n, d) for n, (f, d) in index.wheels.items() if f == parts[1]]
                    if not found:
                        return self.send_error(404)
                    if found[0][0] in index.stalled:
                        index._stop.wait(60)
                    body = found[0][1]
                else:
                    return self.send_error(404)
                self.send_response(200)
                self.send_header("Content-Type", "text/html" if parts[0] == "simple" else "application/octet-stream")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                try:
                    self.wfile.write(body)
                except OSError:
                    pass  # a stopped pip

        self.httpd = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        threading.Thread(target=self.httpd.serve_forever, args=(0.05,), daemon=True).start()
        self.url = "http://127.0.0.1:%d/simple" % self.httpd.server_address[1]

    def projects_fetched(self):
        return {p.split("/")[2] for p in self.requests if p.startswith("/simple/")}

    def stop(self):
        self._stop.set()
        time.sleep(0.05)
        self.httpd.shutdown()
        self.httpd.server_close()
