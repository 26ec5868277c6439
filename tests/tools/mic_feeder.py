#!/usr/bin/env python3
"""Feeds a PulseAudio pipe source in real time: 20 ms of silence every 20 ms, or the
next chunk of the oldest raw file (16 kHz mono s16le) waiting in the queue folder.
A file is played once, then deleted. Write files under a temporary name and rename
them into the queue so that a half-written file is never played."""
import os
import sys
import time

CHUNK = 640  # 20 ms at 16 kHz, 16-bit mono


def main() -> None:
    fifo, queue = sys.argv[1], sys.argv[2]
    for _ in range(200):
        if os.path.exists(fifo):
            break
        time.sleep(0.05)
    out = open(fifo, "wb", buffering=0)
    silence = bytes(CHUNK)
    current = None
    current_path = None
    next_tick = time.monotonic()
    while True:
        if current is None:
            names = sorted(n for n in os.listdir(queue) if n.endswith(".raw"))
            if names:
                current_path = os.path.join(queue, names[0])
                current = open(current_path, "rb")
        chunk = silence
        if current is not None:
            data = current.read(CHUNK)
            if len(data) < CHUNK:
                current.close()
                os.unlink(current_path)
                current = None
                data += bytes(CHUNK - len(data))
            chunk = data
        out.write(chunk)
        next_tick += 0.02
        delay = next_tick - time.monotonic()
        if delay > 0:
            time.sleep(delay)
        else:
            next_tick = time.monotonic()


if __name__ == "__main__":
    main()
