#!/usr/bin/env python3
"""Feeds a PulseAudio pipe source in real time: 20 ms of silence every 20 ms, or the
next chunk of the oldest raw file (16 kHz mono s16le) waiting in the queue folder.
A file is played once, then deleted. Write files under a temporary name and rename
them into the queue so that a half-written file is never played."""
import os
import sys
import time

CHUNK = 640  # 20 ms at 16 kHz, 16-bit mono

fifo, queue = sys.argv[1], sys.argv[2]
for _ in range(200):
    if os.path.exists(fifo):
        break
    time.sleep(0.05)
out = open(fifo, "wb", buffering=0)
current, next_tick = None, time.monotonic()
while True:
    names = [] if current else sorted(n for n in os.listdir(queue) if n.endswith(".raw"))
    if names:
        current = open(os.path.join(queue, names[0]), "rb")
    chunk = current.read(CHUNK) if current else b""
    if current and len(chunk) < CHUNK:
        current.close()
        os.unlink(current.name)
        current = None
    out.write(chunk + bytes(CHUNK - len(chunk)))
    next_tick += 0.02
    delay = next_tick - time.monotonic()
    if delay > 0:
        time.sleep(delay)
    else:
        next_tick = time.monotonic()
