#!/usr/bin/env python3
"""Parlix local recognition server.

Run by the Parlix virtual environment's python3.  Prints one JSON object per
line on standard output to tell Parlix what it is doing (everything else that
Python or a package prints goes to standard error), listens on 127.0.0.1:19000
and serves what parlix_http describes.
"""

import json
import os
import signal
import sys
import threading

import parlix_engines
import parlix_http
import parlix_install
import parlix_translate

HOST = "127.0.0.1"
PORT = 19000


class Reporter:
    """The JSON lines Parlix reads; whole lines only, from any thread."""

    def __init__(self, stream):
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


def protocol_stream():
    """A private copy of standard output for the protocol; fd 1 and sys.stdout then
    point at standard error, so no stray print can break a line."""
    stream = os.fdopen(os.dup(1), "w", encoding="utf-8", buffering=1)
    sys.stdout.flush()
    os.dup2(2, 1)
    sys.stdout = sys.stderr
    return stream


def support_directory():
    venv = os.environ.get("VIRTUAL_ENV")
    if venv:
        return os.path.dirname(os.path.abspath(venv))
    data = os.environ.get("XDG_DATA_HOME") or os.path.expanduser("~/.local/share")
    return os.path.join(data, "Parlix")


def run(engine, translator, reporter, finished):
    """Prepares, listens, loads; sets finished(code) only when it must end the process."""
    try:
        engine.prepare(reporter)
        reporter.status("starting_server")
        service = parlix_http.Service(engine, translator)
        try:
            server = parlix_http.Server(service, (HOST, PORT))
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
        translator.start()  # after the recogniser: it never waits for translation models
    except parlix_engines.EngineError as e:
        reporter.status("error", str(e))
        finished(1)
    except Exception as e:
        reporter.status("error", "服务器启动失败: %s" % e)
        finished(1)


def main():
    reporter = Reporter(protocol_stream())
    engine = parlix_engines.create_engine(support_directory())
    translator = parlix_translate.Translator(support_directory(), reporter)
    done = threading.Event()
    exit_code = [0]

    def finished(code):
        exit_code[0] = code
        done.set()

    def on_signal(signum, frame):
        parlix_install.kill_child()
        os._exit(0)  # nothing to save; leave at once, whatever the worker is doing

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    reporter.status("checking")
    reporter.log("识别引擎: " + engine.name)
    # The main thread only waits, so that a signal is handled at once even while the
    # worker sits in a long native call (model loading, decoding).
    threading.Thread(target=run, args=(engine, translator, reporter, finished), daemon=True).start()
    while not done.wait(0.2):
        pass
    os._exit(exit_code[0])


if __name__ == "__main__":
    main()
