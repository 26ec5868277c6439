#!/usr/bin/env python3
"""Mutation fuzz loop for the local server's multipart parser.

Usage: fuzz_multipart.py [--seconds N] [--seed S]

Takes well-formed recognition requests (as Parlix builds them), mutates the body and
the Content-Type (bit flips, byte runs, splices, repeated and cut boundaries, header
noise), and feeds them to boundary_from_content_type() and parse().  A finding is any
exception other than MultipartError, a call slower than a second, or a well-formed
request that does not parse back to its fields.  Findings are written to
fuzz-multipart-findings/ and the loop exits 1.
"""

import argparse
import os
import random
import sys
import time
import traceback

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources"))
import parlix_multipart  # noqa: E402

SLOW_SECONDS = 1.0
TOKENS = [b"\r\n", b"--", b"\r\n\r\n", b";", b"=", b'"', b"\\", b"name=", b"filename=",
          b"Content-Disposition: form-data", b"Content-Type: audio/wav", b" ", b"\t", b"\x00",
          b"\xff", b"\xe4\xbd\xa0"]


def build(boundary, fields):
    b = boundary.encode()
    body = b""
    for name, filename, data in fields:
        body += b"--" + b + b"\r\nContent-Disposition: form-data; name=\"" + name + b"\""
        if filename is not None:
            body += b"; filename=\"" + filename + b"\"\r\nContent-Type: audio/wav"
        body += b"\r\n\r\n" + data + b"\r\n"
    return body + b"--" + b + b"--\r\n"


def random_request(rng):
    boundary = "".join(rng.choice("0123456789ABCDEF-") for _ in range(rng.randint(1, 70))).strip("-") or "B"
    fields = [(b"file", b"audio.wav", bytes(rng.randrange(256) for _ in range(rng.randint(0, 300))))]
    for name, value in ((b"language", b"auto"), (b"itn", b"true"), (b"remove_filler", b"true"),
                        (b"hotwords", "你好,Parlix".encode())):
        if rng.random() < 0.7:
            fields.append((name, None, value))
    return boundary, fields


def mutate(rng, data):
    data = bytearray(data)
    for _ in range(rng.randint(1, 8)):
        op = rng.randrange(6)
        pos = rng.randint(0, len(data))
        if op == 0 and data:
            i = rng.randrange(len(data))
            data[i] ^= 1 << rng.randrange(8)
        elif op == 1:
            data[pos:pos] = rng.choice(TOKENS) * rng.randint(1, 4)
        elif op == 2:
            del data[pos:pos + rng.randint(1, 64)]
        elif op == 3 and data:
            start = rng.randrange(len(data))
            data[pos:pos] = data[start:start + rng.randint(1, 200)]
        elif op == 4:
            data[pos:pos] = bytes(rng.randrange(256) for _ in range(rng.randint(1, 16)))
        else:
            data[pos:pos] = rng.choice(TOKENS) * rng.randint(100, 5000)
    return bytes(data)


def check(content_type, body):
    started = time.monotonic()
    try:
        boundary = parlix_multipart.boundary_from_content_type(content_type)
        parlix_multipart.parse(body, boundary)
    except parlix_multipart.MultipartError:
        pass
    elapsed = time.monotonic() - started
    if elapsed > SLOW_SECONDS:
        raise RuntimeError("took %.1f s" % elapsed)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    args = parser.parse_args()
    rng = random.Random(args.seed)
    deadline = time.monotonic() + args.seconds
    runs = 0
    while time.monotonic() < deadline:
        boundary, fields = random_request(rng)
        body = build(boundary, fields)
        content_type = "multipart/form-data; boundary=" + boundary
        try:
            parts = parlix_multipart.parse(body, parlix_multipart.boundary_from_content_type(content_type))
            if [(p.name.encode(), p.data) for p in parts.values()] != [(f[0], f[2]) for f in fields]:
                raise RuntimeError("a well-formed request did not parse back to its fields")
            if rng.random() < 0.2:
                content_type = mutate(rng, content_type.encode()).decode("latin-1")
            body = mutate(rng, body)
            check(content_type, body)
        except Exception:
            os.makedirs("fuzz-multipart-findings", exist_ok=True)
            path = os.path.join("fuzz-multipart-findings", "seed-%d-run-%d" % (args.seed, runs))
            with open(path, "w") as f:
                f.write(repr((content_type, body)) + "\n" + traceback.format_exc())
            print("finding after %d runs: %s" % (runs, path))
            traceback.print_exc()
            return 1
        runs += 1
    print("multipart: %d runs in %.0f s, no finding (seed %d)" % (runs, args.seconds, args.seed))
    return 0


if __name__ == "__main__":
    sys.exit(main())
