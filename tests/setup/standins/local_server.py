#!/usr/bin/env python3
"""Stand-in for the local recognition server: reports its progress the way the real one
does and answers GET /health on 127.0.0.1:19000."""
import json
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Handler(BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200 if self.path == "/health" else 404)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *args):
        pass


server = ThreadingHTTPServer(("127.0.0.1", 19000), Handler)
for state in ("checking", "loading_model", "ready"):
    print(json.dumps({"type": "status", "state": state}), flush=True)
server.serve_forever()
