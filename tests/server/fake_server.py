"""Stand-in for the server script, run by the manager under test.

FAKE_SERVER_MODE picks the behaviour; FAKE_SERVER_PORT, when set, is listened
on so that the clean-up's wait for a free port has something to wait for.
"""

import json
import os
import signal
import socket
import sys
import time

out = sys.stdout.buffer


def write(data, pause=0.05):
    out.write(data)
    out.flush()
    time.sleep(pause)


def line(obj):
    write((json.dumps(obj, ensure_ascii=False) + "\n").encode("utf-8"), 0)


mode = os.environ.get("FAKE_SERVER_MODE", "status")
if os.environ.get("FAKE_SERVER_PORT"):
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", int(os.environ["FAKE_SERVER_PORT"])))
    listener.listen()

if mode == "status":
    env = {k: os.environ.get(k) for k in ("PATH", "PYTHONUNBUFFERED", "VIRTUAL_ENV", "UV_PATH")}
    env.update(cwd=os.getcwd(), argv=sys.argv, pid=os.getpid())
    line({"type": "log", "message": json.dumps(env)})
    # One line cut in three writes, the cut inside the two bytes of "é".
    piece = '{"type":"log","message":"café"}\n'.encode("utf-8")
    cut = piece.index(b"\xa9")
    write(piece[:10])
    write(piece[10:cut])
    write(piece[cut:])
    write(b'{"type":"status","state":"installing_deps"}\r\n{"type":"progress","current":1,"total":4,"stage":"x"}\n{"type":"down')
    write(b'load_progress","percent":42}\n')
    write(b'{"type":"log","message":"\xff\xfe"}\nTraceback (most recent call last):\n')
    line({"type": "status", "state": "ready"})
elif mode == "ignore_term":
    signal.signal(signal.SIGTERM, signal.SIG_IGN)
    line({"type": "status", "state": "ready"})
elif mode == "exit_early":
    line({"type": "status", "state": "error", "message": "端口被占用"})
    sys.exit(3)
elif mode == "flood":
    for i in range(20000):
        out.write(('{"type":"progress","current":%d,"total":20000,"stage":"flood"}\n' % i).encode())
    out.flush()
elif mode == "pid":
    line({"type": "log", "message": str(os.getpid())})

while True:
    time.sleep(1)
