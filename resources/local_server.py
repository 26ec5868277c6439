#!/usr/bin/env python3
"""Parlix local recognition server.

Run by the Parlix virtual environment's python3.  Prints one JSON object per
line to tell Parlix what it is doing, listens on 127.0.0.1:19000 and answers
GET /health (200 once it can recognise, 503 before) and POST /api/transcribe
(multipart: file, language, itn, remove_filler, hotwords).
"""

import json
import os
import signal
import sys
import threading
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import parlix_engines
import parlix_multipart

HOST = "127.0.0.1"
PORT = 19000
MAX_BODY_BYTES = 64 * 1024 * 1024  # about 35 minutes of 16 kHz mono audio
LANGUAGES = ("auto", "zh", "en", "ja")


class Reporter:
    """The JSON lines Parlix reads; whole lines only, from any thread."""

    def __init__(self, stream=sys.stdout):
        self._stream = stream
        self._lock = threading.Lock()

    def _emit(self, message):
        line = json.dumps(message, ensure_ascii=False) + "\n"
        with self._lock:
            self._stream.write(line)
            self._stream.flush()

    def status(self, state, message=None):
        self._emit({"type": "status", "state": state, **({"message": message} if message else {})})

    def progress(self, current, total, stage):
        self._emit({"type": "progress", "current": int(current), "total": int(total), "stage": stage})

    def download_progress(self, percent):
        self._emit({"type": "download_progress", "percent": int(percent)})

    def log(self, message):
        self._emit({"type": "log", "message": message})


class BadRequest(Exception):
    def __init__(self, status, message):
        super().__init__(message)
        self.status = status


class Service:
    def __init__(self, engine):
        self.engine = engine
        self.ready = threading.Event()
        self.engine_lock = threading.Lock()  # the engine serves one request at a time


def _text_field(parts, name, default):
    part = parts.get(name)
    if part is None:
        return default
    try:
        return part.data.decode("utf-8")
    except UnicodeDecodeError:
        raise BadRequest(400, "字段 %s 不是 UTF-8 文本" % name) from None


def _flag_field(parts, name, default):
    value = _text_field(parts, name, None)
    if value is None:
        return default
    if value.strip().lower() not in ("true", "false"):
        raise BadRequest(400, "字段 %s 必须是 true 或 false" % name)
    return value.strip().lower() == "true"


def parse_request(content_type, body):
    """The engine request of a multipart body, or BadRequest."""
    try:
        parts = parlix_multipart.parse(body, parlix_multipart.boundary_from_content_type(content_type))
    except parlix_multipart.MultipartError as e:
        raise BadRequest(400, "请求格式错误: %s" % e) from None
    audio = parts.get("file")
    if audio is None or not audio.data:
        raise BadRequest(400, "缺少音频文件")
    language = _text_field(parts, "language", "auto").strip() or "auto"
    if language not in LANGUAGES:
        raise BadRequest(400, "不支持的语言: " + language)
    hotwords = [w.strip() for w in _text_field(parts, "hotwords", "").split(",") if w.strip()]
    return parlix_engines.Request(audio.data, language=language,
                                  itn=_flag_field(parts, "itn", True),
                                  remove_filler=_flag_field(parts, "remove_filler", False),
                                  hotwords=hotwords)


class Handler(BaseHTTPRequestHandler):
    server_version = "ParlixLocal/1.0"
    timeout = 30  # a client that stops sending mid-request is dropped

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        pass  # the output pipe carries the protocol; access logs would only crowd it

    def _send_json(self, status, payload):
        body = json.dumps(payload, ensure_ascii=False).encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def _path(self):
        return urllib.parse.urlsplit(self.path).path

    def do_GET(self):
        if self._path() == "/health":
            if self.server.service.ready.is_set():
                self._send_json(200, {"status": "ok", "engine": self.server.service.engine.name})
            else:
                self._send_json(503, {"status": "loading"})
        else:
            self._send_json(404, {"success": False, "error": "未知路径"})

    def do_POST(self):
        if self._path() != "/api/transcribe":
            self._send_json(404, {"success": False, "error": "未知路径"})
            return
        try:
            self._send_json(200, {"success": True, "text": self._transcribe()})
        except BadRequest as e:
            self._send_json(e.status, {"success": False, "error": str(e)})
        except parlix_engines.EngineError as e:
            self._send_json(422, {"success": False, "error": str(e)})
        except Exception as e:  # the server outlives any one request
            self._send_json(500, {"success": False, "error": "识别出错: %s" % e})

    def _read_body(self):
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            raise BadRequest(411, "需要 Content-Length")
        length = self.headers.get("Content-Length")
        if length is None:
            raise BadRequest(411, "需要 Content-Length")
        if not length.isdigit():
            raise BadRequest(400, "无效的 Content-Length")
        if int(length) > MAX_BODY_BYTES:
            raise BadRequest(413, "请求过大")
        body = self.rfile.read(int(length))
        if len(body) != int(length):
            raise BadRequest(400, "请求体不完整")
        return body

    def _transcribe(self):
        service = self.server.service
        if not service.ready.is_set():
            raise BadRequest(503, "模型尚未就绪")
        request = parse_request(self.headers.get("Content-Type"), self._read_body())
        with service.engine_lock:
            return service.engine.recognise(request)


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, service, address=(HOST, PORT)):
        super().__init__(address, Handler)
        self.service = service


def support_directory():
    venv = os.environ.get("VIRTUAL_ENV")
    if venv:
        return os.path.dirname(os.path.abspath(venv))
    data = os.environ.get("XDG_DATA_HOME") or os.path.expanduser("~/.local/share")
    return os.path.join(data, "Parlix")


def run(engine, reporter, finished):
    """Prepares, listens, loads; sets finished(code) only when it must end the process."""
    try:
        engine.prepare(reporter)
        reporter.status("starting_server")
        service = Service(engine)
        try:
            server = Server(service)
        except OSError as e:
            reporter.status("error", "无法监听端口 %d: %s" % (PORT, e.strerror or e))
            finished(1)
            return
        threading.Thread(target=server.serve_forever, daemon=True).start()
        reporter.log("服务地址 http://%s:%d" % (HOST, PORT))
        reporter.status("loading_model")
        engine.load()
        service.ready.set()
        reporter.status("ready")
    except parlix_engines.EngineError as e:
        reporter.status("error", str(e))
        finished(1)
    except Exception as e:
        reporter.status("error", "服务器启动失败: %s" % e)
        finished(1)


def main():
    reporter = Reporter()
    engine = parlix_engines.create_engine(support_directory())
    done = threading.Event()
    exit_code = [0]

    def finished(code):
        exit_code[0] = code
        done.set()

    def on_signal(signum, frame):
        child = getattr(engine, "child", None)
        if child is not None and child.poll() is None:
            child.kill()
        os._exit(0)  # nothing to save; leave at once, whatever the worker is doing

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    reporter.status("checking")
    reporter.log("识别引擎: " + engine.name)
    # The main thread only waits, so that a signal is handled at once even while the
    # worker sits in a long native call (model loading, decoding).
    threading.Thread(target=run, args=(engine, reporter, finished), daemon=True).start()
    while not done.wait(0.2):
        pass
    sys.stdout.flush()
    os._exit(exit_code[0])


if __name__ == "__main__":
    main()
