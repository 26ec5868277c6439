"""A recognition server that answers each request with a fault drawn from a fixed, seeded
mix. Every answer carries a marker of its own: "#000123#" in good ones (which Parlix must
type), "#X000123#" in failed ones (which it must never type). The log keeps, in the order
they went out, the good texts Parlix must type."""
import json
import random
import socket
import struct
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

# kind: weight. "late" answers go out during the next hold; "later" ones only after the
# next request has come in, so that the one after them is typed first.
MIX = {
    "good": 34, "late": 8, "later": 4, "long": 3,
    "http500": 4, "http502": 4, "html": 4, "shape": 6, "false": 5, "empty": 4,
    "utf8": 4, "reset": 5, "truncated": 5, "late_fail": 5,
}
GOOD = {"good", "late", "later", "long"}
LONG_BYTES = 20 * 1024


def good_text(index, kind):
    text = f"#{index:06d}#好"
    if kind == "long":
        line = "长文本测试" * 9 + "\n"  # Tk lays out short lines quickly
        text += line * (LONG_BYTES // len(line.encode()))
    return text


def wrong_shapes(marker):
    return [b"[1,2,3]", b"null", json.dumps({"text": 42}).encode(), json.dumps({"result": marker}).encode(),
            json.dumps({"text": [marker]}).encode(), json.dumps({"success": "yes", "text": None}).encode()]


class FaultServer:
    def __init__(self, seed):
        self.rng = random.Random(seed)
        self.kinds, self.weights = zip(*MIX.items())
        self.lock = threading.Condition()
        self.received = []  # kind of each request, in arrival order
        self.answered = 0
        self.typed_in_order = []  # good texts, in the order they went out
        outer = self

        class Handler(BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"  # keep-alive, as real servers do

            def log_message(self, *args):
                pass

            def finish(self):
                try:
                    super().finish()
                except OSError:
                    pass  # the connection was reset on purpose

            def do_POST(self):
                self.rfile.read(int(self.headers.get("Content-Length", "0")))
                with outer.lock:
                    index = len(outer.received)
                    kind = outer.rng.choices(outer.kinds, outer.weights)[0]
                    outer.received.append(kind)
                    outer.lock.notify_all()
                    shape = outer.rng.randrange(6)
                    delay = outer.rng.uniform(0.35, 0.65)
                try:
                    outer.answer(self, index, kind, shape, delay)
                finally:
                    with outer.lock:
                        outer.answered += 1
                        outer.lock.notify_all()

        self.httpd = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def url(self):
        return f"http://127.0.0.1:{self.httpd.server_address[1]}/api/transcribe"

    def wait_answered(self, count, timeout):
        with self.lock:
            return self.lock.wait_for(lambda: self.answered >= count, timeout)

    def answer(self, h, index, kind, shape, delay):
        marker = f"#X{index:06d}#"
        if kind in ("late", "late_fail"):
            time.sleep(delay)
        elif kind == "later":
            with self.lock:
                self.lock.wait_for(lambda: len(self.received) > index + 1, 5)
            time.sleep(0.25)
        if kind in GOOD:
            text = good_text(index, kind)
            with self.lock:  # the order they are typed in is the order they go out
                self.typed_in_order.append(text)
                self.send(h, 200, json.dumps({"success": True, "text": text}, ensure_ascii=False).encode())
            return
        if kind == "http500":
            self.send(h, 500, f"Internal Server Error {marker}".encode(), "text/plain")
        elif kind == "http502":
            self.send(h, 502, f"<html><body>Bad Gateway {marker}</body></html>".encode(), "text/html")
        elif kind == "html":
            self.send(h, 200, f"<!DOCTYPE html><html><p>{marker}</p></html>".encode(), "text/html")
        elif kind == "shape":
            self.send(h, 200, wrong_shapes(marker)[shape])
        elif kind in ("false", "late_fail"):
            self.send(h, 200, json.dumps({"success": False, "error": "model busy", "text": marker}).encode())
        elif kind == "empty":
            self.send(h, 200, b'{"success": true, "text": ""}')
        elif kind == "utf8":
            self.send(h, 200, b'{"success": true, "text": "' + marker.encode() + b'\xff\xfe\xc3"}')
        elif kind == "reset":
            h.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            h.connection.close()
            h.close_connection = True
        elif kind == "truncated":
            body = json.dumps({"success": True, "text": marker}).encode()
            h.send_response(200)
            h.send_header("Content-Type", "application/json")
            h.send_header("Content-Length", str(len(body) + 40))
            h.end_headers()
            h.wfile.write(body[: len(body) // 2])
            h.wfile.flush()
            h.connection.shutdown(socket.SHUT_RDWR)
            h.close_connection = True

    @staticmethod
    def send(h, status, body, content_type="application/json"):
        h.send_response(status)
        h.send_header("Content-Type", content_type)
        h.send_header("Content-Length", str(len(body)))
        h.end_headers()
        h.wfile.write(body)

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()
