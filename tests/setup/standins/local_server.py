#!/usr/bin/env python3
"""Stand-in for the local recognition server: announces its progress the way the real
one does and answers GET /health with 200 on 127.0.0.1:19000. With
PARLIX_STANDIN_ANNOUNCE_READY=0 it never prints the ready line, so readiness can only be
learnt through the health endpoint."""
import json
import os
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


def say(**message):
    print(json.dumps(message, ensure_ascii=False), flush=True)


class Handler(BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200 if self.path == "/health" else 404)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *args):
        pass


say(type="status", state="checking")
say(type="log", message="stand-in server")
say(type="status", state="loading_model")
server = ThreadingHTTPServer(("127.0.0.1", 19000), Handler)
if os.environ.get("PARLIX_STANDIN_ANNOUNCE_READY", "1") == "1":
    say(type="status", state="ready")
server.serve_forever()
