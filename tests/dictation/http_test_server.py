#!/usr/bin/env python3
"""Canned replies on a free 127.0.0.1 port, printed first: /reply?status=N&body=TEXT, /inspect
(hex of Content-Type and body), /huge (20 MiB), /close?tag=T (drops the connection),
/count?tag=T (how many requests /close?tag=T got), /raw?bytes=B&hold=S (B as the whole answer,
the connection held S seconds before it closes), /translate ("target:q", "#api_key" appended when
one was sent), all &delay=S."""
import json, os, sys, threading, time, urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

closed = {}


class Handler(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_POST(self):
        url = urllib.parse.urlparse(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        time.sleep(float(query.get("delay", 0)))
        reply = query.get("body", "")
        if url.path == "/close":
            closed[query.get("tag")] = closed.get(query.get("tag"), 0) + 1
            self.close_connection = True
            return
        if url.path == "/raw":
            self.wfile.write(query.get("bytes", "").encode("latin-1"))
            self.wfile.flush()
            time.sleep(float(query.get("hold", 0)))
            self.close_connection = True
            return
        if url.path == "/count":
            reply = json.dumps({"text": str(closed.get(query.get("tag"), 0))})
        if url.path == "/inspect":
            reply = json.dumps({"text": (self.headers["Content-Type"].encode() + b"\n" + body).hex()})
        elif url.path == "/huge":
            reply = '{"text": "' + "x" * (20 << 20) + '"}'
        elif url.path == "/translate":
            request = json.loads(body)
            key = "#" + request["api_key"] if "api_key" in request else ""
            reply = json.dumps({"translatedText": request["target"] + ":" + request["q"] + key})
        self.send_response(int(query.get("status", 200)))
        self.end_headers()
        self.wfile.write(reply.encode())


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
# The test holds our stdin open: when it ends, even by a crash, so do we.
threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
server.serve_forever()
