#!/usr/bin/env python3
# Stand-in local server: reports its states as the real one does, answers GET /health on 19000.
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Handler(BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200 if self.path == "/health" else 404)
        self.end_headers()


server = ThreadingHTTPServer(("127.0.0.1", 19000), Handler)
for state in ("checking", "loading_model", "ready"):
    print('{"type": "status", "state": "%s"}' % state, flush=True)
server.serve_forever()
