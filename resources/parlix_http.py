"""The local server's HTTP service: GET /health, POST /api/transcribe (multipart, as
Parlix sends it) and POST /translate (the LibreTranslate API).

It has to hold under bad clients: a bounded pool of workers (connections beyond
wait in the listen backlog), a deadline for receiving the whole request (not per
read, so a client trickling a byte a second is dropped too), and error replies
sent before the unread body is drained, so that the client reads the JSON error
instead of a connection reset.
"""

import json
import socket
import threading
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import parlix_engines
import parlix_multipart

MAX_BODY_BYTES = 64 * 1024 * 1024  # about 35 minutes of 16 kHz mono audio
MAX_TRANSLATE_BYTES = 1024 * 1024
DRAIN_BYTES = 256 * 1024 * 1024  # read after an early reply at most, within the deadline
LANGUAGES = ("auto", "zh", "en", "ja")


class BadRequest(Exception):
    def __init__(self, status, message):
        super().__init__(message)
        self.status = status


class Service:
    def __init__(self, engine, translator=None):
        self.engine = engine
        self.translator = translator
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


def parse_form(content_type, body):
    """The fields of a JSON or URL-encoded body (LibreTranslate accepts both)."""
    kind = (content_type or "").split(";")[0].strip().lower()
    try:
        if kind == "application/x-www-form-urlencoded":
            return dict(urllib.parse.parse_qsl(body.decode("utf-8"), keep_blank_values=True, strict_parsing=bool(body)))
        fields = json.loads(body.decode("utf-8"))
    except (UnicodeDecodeError, ValueError):
        raise BadRequest(400, "请求格式错误") from None
    if not isinstance(fields, dict):
        raise BadRequest(400, "请求格式错误")
    return fields


class Handler(BaseHTTPRequestHandler):
    server_version = "ParlixLocal/1.0"

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        pass  # access logs would only crowd the output

    def setup(self):
        self.timeout = self.server.request_seconds
        super().setup()
        self._unread = 0  # body bytes still in the socket; None: unknown
        self._watchdog = threading.Timer(self.server.request_seconds, self._drop)
        self._watchdog.daemon = True
        self._watchdog.start()

    def finish(self):
        self._watchdog.cancel()
        super().finish()

    def _drop(self):
        try:
            self.connection.shutdown(socket.SHUT_RDWR)  # wakes the worker from any read
        except OSError:
            pass

    def _send_json(self, status, payload):
        body = json.dumps(payload, ensure_ascii=False).encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True
        if self._unread != 0:
            self._drain()

    def _drain(self):
        """After an early reply: read what the client still sends (up to the limit, within
        the deadline), so that closing does not reset the reply it has not read yet."""
        try:
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_WR)
            left = DRAIN_BYTES if self._unread is None else min(self._unread, DRAIN_BYTES)
            while left > 0:
                data = self.rfile.read1(min(left, 65536))
                if not data:
                    break
                left -= len(data)
        except OSError:
            pass
        self._unread = 0

    def _path(self):
        return urllib.parse.urlsplit(self.path).path

    def do_GET(self):
        if self._path() == "/health":
            service = self.server.service
            if service.ready.is_set():
                reply = {"status": "ok", "engine": service.engine.name}
                if service.translator is not None:
                    reply["translation"] = service.translator.state()
                self._send_json(200, reply)
            else:
                self._send_json(503, {"status": "loading"})
        else:
            self._send_json(404, {"success": False, "error": "未知路径"})

    def do_POST(self):
        self._unread = self._declared_length()
        path = self._path()
        if path == "/translate":
            try:
                self._send_json(200, self._translate())
            except BadRequest as e:
                self._send_json(e.status, {"error": str(e)})
            except Exception as e:  # the server outlives any one request
                self._send_json(500, {"error": "翻译出错: %s" % e})
            return
        if path != "/api/transcribe":
            self._send_json(404, {"success": False, "error": "未知路径"})
            return
        try:
            self._send_json(200, {"success": True, "text": self._transcribe()})
        except BadRequest as e:
            self._send_json(e.status, {"success": False, "error": str(e)})
        except parlix_engines.EngineError as e:
            self._send_json(422, {"success": False, "error": str(e)})
        except Exception as e:
            self._send_json(500, {"success": False, "error": "识别出错: %s" % e})

    def _declared_length(self):
        length = self.headers.get("Content-Length", "")
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower() or not length.isdigit():
            return None  # unknown: drained until the client closes or the deadline
        return int(length)

    def _read_body(self, limit=None):
        limit = MAX_BODY_BYTES if limit is None else limit
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            raise BadRequest(411, "需要 Content-Length")
        length = self.headers.get("Content-Length")
        if length is None:
            raise BadRequest(411, "需要 Content-Length")
        if not length.isdigit():
            raise BadRequest(400, "无效的 Content-Length")
        if int(length) > limit:
            raise BadRequest(413, "请求过大")
        body = self.rfile.read(int(length))
        self._unread = 0
        if len(body) != int(length):
            raise BadRequest(400, "请求体不完整")
        self._watchdog.cancel()  # received: the work itself may take longer
        return body

    def _transcribe(self):
        service = self.server.service
        body = self._read_body()
        if not service.ready.is_set():
            raise BadRequest(503, "模型尚未就绪")
        request = parse_request(self.headers.get("Content-Type"), body)
        with service.engine_lock:
            return service.engine.recognise(request)

    def _translate(self):
        translator = self.server.service.translator
        if translator is None:
            raise BadRequest(503, "翻译不可用")
        fields = parse_form(self.headers.get("Content-Type"), self._read_body(MAX_TRANSLATE_BYTES))
        return translator.handle(fields)


class Server(ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 64  # connections beyond the workers wait here

    def __init__(self, service, address, workers=8, request_seconds=30):
        self.service = service
        self.request_seconds = request_seconds
        self._slots = threading.BoundedSemaphore(workers)
        super().__init__(address, Handler)

    def process_request(self, request, client_address):
        while not self._slots.acquire(timeout=0.5):
            if getattr(self, "_BaseServer__shutdown_request", False):
                self.shutdown_request(request)
                return
        try:
            super().process_request(request, client_address)
        except Exception:
            self._slots.release()
            raise

    def process_request_thread(self, request, client_address):
        try:
            super().process_request_thread(request, client_address)
        finally:
            self._slots.release()
