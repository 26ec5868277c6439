"""Stand-in for the server script; FAKE_SERVER_MODE picks what it does."""

import json
import os
import signal
import socket
import sys
import time


def write(data, stream=sys.stdout):
    stream.buffer.write(data)
    stream.buffer.flush()
    time.sleep(0.05)


mode = os.environ.get("FAKE_SERVER_MODE")
if mode == "exit_early":
    write('{"type":"status","state":"error","message":"端口被占用"}\n'.encode())
    sys.exit(3)
if mode == "stubborn":
    signal.signal(signal.SIGTERM, signal.SIG_IGN)
if os.environ.get("FAKE_SERVER_PORT"):  # an old server still holding the port
    listener = socket.create_server(("127.0.0.1", int(os.environ["FAKE_SERVER_PORT"])))
env = dict({k: os.environ.get(k) for k in ("PATH", "PYTHONUNBUFFERED", "VIRTUAL_ENV", "UV_PATH")},
           cwd=os.getcwd(), argv=sys.argv, pid=os.getpid())
write(json.dumps({"type": "log", "message": json.dumps(env)}).encode() + b"\n", sys.stderr)
write(b"UserWarning: half a line of noise", sys.stderr)  # must not swallow the line below
write(b'{"type":"status","st')  # one line over two reads
write(b'ate":"ready"}\n')
write(b" ends later\n", sys.stderr)
signal.pause()
