#!/usr/bin/env python3
# Stand-in for the local recognition server: reports its progress as the real one does and
# answers GET /health on 127.0.0.1:19000.
import json
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Handler(BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200 if self.path == "/health" else 404)
        self.end_headers()


server = ThreadingHTTPServer(("127.0.0.1", 19000), Handler)
for state in ("checking", "loading_model", "ready"):
    print(json.dumps({"type": "status", "state": state}), flush=True)
server.serve_forever()
