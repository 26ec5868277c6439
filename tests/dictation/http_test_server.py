#!/usr/bin/env python3
"""Canned HTTP replies for the recognition and translation tests.

Listens on 127.0.0.1 on a free port and prints the port on its first line of output.
The path chooses the behaviour:
  /reply?status=N&body=TEXT   answer TEXT (URL-encoded) with status N
  /inspect                    answer {"text": "<file bytes>|<language>|<content type>|<fields>"}
  /echo?delay=S               answer {"text": <the file part as text>} after S seconds
  /huge                       answer 20 MiB of JSON
  /close                      close the connection without answering
  /hang                       never answer
  /translate?mode=M&delay=S   LibreTranslate: ok, empty, error, nonsense
"""
import json
import os
import socket
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


def parse_multipart(body, content_type):
    boundary = content_type.split("boundary=", 1)[1].encode()
    fields = {}
    for part in body.split(b"--" + boundary)[1:]:
        if part.startswith(b"--"):
            break
        head, _, value = part[2:].partition(b"\r\n\r\n")
        name = head.split(b'name="', 1)[1].split(b'"', 1)[0].decode()
        fields[name] = value[:-2]
    return fields


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, body, content_type="application/json"):
        data = body if isinstance(body, bytes) else body.encode()
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_POST(self):
        url = urllib.parse.urlparse(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        length = int(self.headers.get("Content-Length", 0))
        body = self.rfile.read(length)
        delay = float(query.get("delay", 0))
        if delay:
            time.sleep(delay)
        if url.path == "/reply":
            self.answer(int(query.get("status", 200)), query.get("body", ""), "text/html")
        elif url.path == "/inspect":
            ctype = self.headers.get("Content-Type", "")
            fields = parse_multipart(body, ctype)
            text = "%d|%s|%s|%s" % (len(fields["file"]), fields["language"].decode(),
                                    ctype.split(";")[0], ",".join(fields))
            self.answer(200, json.dumps({"text": text}))
        elif url.path == "/echo":
            fields = parse_multipart(body, self.headers.get("Content-Type", ""))
            self.answer(200, json.dumps({"text": fields["file"].rstrip(b"\0").decode()}))
        elif url.path == "/huge":
            self.answer(200, '{"text": "' + "x" * (20 * 1024 * 1024) + '"}')
        elif url.path == "/close":
            self.connection.shutdown(socket.SHUT_RDWR)
            self.close_connection = True
        elif url.path == "/hang":
            time.sleep(3600)
        elif url.path == "/translate":
            request = json.loads(body)
            mode = query.get("mode", "ok")
            if mode == "ok":
                self.answer(200, json.dumps(
                    {"translatedText": "%s:%s" % (request["target"], request["q"])}))
            elif mode == "empty":
                self.answer(200, json.dumps({"translatedText": ""}))
            elif mode == "error":
                self.answer(400, json.dumps({"error": "language not supported"}))
            else:
                self.answer(200, "<html>nonsense</html>", "text/html")
        else:
            self.answer(404, "{}")


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    # The test holds our stdin open: when it ends, even by a crash, so do we.
    threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
