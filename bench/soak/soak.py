#!/usr/bin/env python3
"""Soak run: one built parlix in remote mode dictates --count times into a receiving
window, against a recognition server answering with a seeded mix of faults, with chords
of the trigger key mixed in. Prints what was typed against what had to be, the totals
against their sums, and the process's memory, descriptors and threads at start and end.
Runs inside tests/tools/test-session.sh (see the README)."""
import argparse
import os
import random
import re
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
import harness as h  # noqa: E402
from fault_server import FaultServer  # noqa: E402


class Receiver:
    """The Tk window of tests/tools/tk_receiver.py, which takes the keyboard focus."""

    def __init__(self, folder):
        self.out = os.path.join(folder, "received.txt")
        tool = os.path.join(os.path.dirname(h.__file__), "..", "tools", "tk_receiver.py")
        self.proc = subprocess.Popen(["/usr/bin/python3", tool, "receiver", self.out],
                                     stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
        assert h.wait_until(lambda: os.path.exists(self.out), 10), "receiver window did not start"

    def text(self):
        with open(self.out, encoding="utf-8") as f:
            return f.read()

    def stop(self):
        self.proc.stdin.close()
        self.proc.terminate()
        self.proc.wait()

SHIFT_L = "50"
HOLD = 0.5  # 16 KB of recording, well over the shortest one that is sent; not a tap
GAP = 0.3  # from a release to the next press
CHORDS = 0.06


def parlix_pid(pid):
    """The parlix process itself, also when it runs under a debugger (--parlix a wrapper)."""
    with open(f"/proc/{pid}/comm") as f:
        if f.read().strip() == "parlix":
            return pid
    with open(f"/proc/{pid}/task/{pid}/children") as f:
        children = f.read().split()
    return parlix_pid(int(children[0])) if children else pid


def resources(pid):
    pid = parlix_pid(pid)
    with open(f"/proc/{pid}/status") as f:
        status = dict(line.split(":", 1) for line in f)
    return {"rss_kb": int(status["VmRSS"].split()[0]), "fds": len(os.listdir(f"/proc/{pid}/fd")),
            "threads": int(status["Threads"])}


def dictate(chord):
    if chord:  # a shortcut with the trigger key: dropped, never sent
        h.xdotool("keydown", h.SUPER_R, "sleep", str(HOLD / 3), "keydown", SHIFT_L, "keyup", SHIFT_L,
                  "sleep", str(HOLD * 2 / 3), "keyup", h.SUPER_R)
    else:
        h.xdotool("keydown", h.SUPER_R, "sleep", str(HOLD), "keyup", h.SUPER_R)
    time.sleep(GAP)


def report_typed(typed, expected):
    markers = re.findall(r"#(X?)(\d{6})#", typed)
    failed = [m for x, m in markers if x]
    good = [m for x, m in markers if not x]
    want = re.findall(r"#(\d{6})#", "".join(expected))
    print(f"good replies:           {len(want)}")
    print(f"typed good replies:     {len(good)} ({len(set(good))} distinct)")
    print(f"lost good replies:      {len(set(want) - set(good))}")
    print(f"typed twice:            {len(good) - len(set(good))}")
    place = {m: i for i, m in enumerate(want)}
    print(f"typed out of order:     {sum(1 for a, b in zip(good, good[1:]) if place.get(a, -1) > place.get(b, -1))}")
    print(f"typed failed replies:   {len(failed)}")
    exact = typed == "".join(expected)
    print(f"typed text exact:       {'yes' if exact else 'NO'}")
    lost = [m for m in want if m not in set(good)]
    if lost:
        print(f"first lost:             #{lost[0]}# (of answers #{want[0]}#..#{want[-1]}#; "
              f"{sum(1 for m in good if m > lost[0])} typed after it)")
    return exact and not failed


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--count", type=int, default=1000, help="dictations (default 1000)")
    ap.add_argument("--seed", type=int, default=14)
    ap.add_argument("--parlix", default=os.environ.get("PARLIX_BIN", "build/ci/app/parlix"))
    args = ap.parse_args()
    for var in ("DISPLAY", "PULSE_SERVER", "PARLIX_MIC_QUEUE"):
        if not os.environ.get(var):
            sys.exit(f"{var} is not set: run inside tests/tools/test-session.sh")

    server = FaultServer(args.seed)
    home = h.Home()
    home.write_settings({"setupCompleted": True, "useLocalServer": False, "serverURL": server.url(),
                         "triggerKey": "rightCommand"})
    os.environ["PARLIX_RECEIVER_SECONDS"] = str(int(args.count * 2 + 300))
    receiver = Receiver(home.root)
    parlix = h.Parlix(home, binary=os.path.abspath(args.parlix))
    ok = False
    try:
        if not parlix.wait_for_line("Parlix 已启动"):
            sys.exit("parlix did not start:\n" + parlix.output())
        time.sleep(1)
        begin = resources(parlix.proc.pid)
        started = time.monotonic()
        rng = random.Random(args.seed)
        chords, warm_at, warm = 0, min(50, args.count // 5), begin
        for i in range(args.count):
            chord = rng.random() < CHORDS
            chords += chord
            dictate(chord)
            if parlix.proc.poll() is not None:
                break
            if i + 1 == warm_at:
                warm = resources(parlix.proc.pid)
            if (i + 1) % 100 == 0:
                print(f"  {i + 1} dictations, {time.monotonic() - started:.0f} s", flush=True)
        dictations = i + 1
        sent = dictations - chords
        server.wait_answered(sent, 30)
        h.wait_until(lambda: receiver.text().count("#") >= 2 * len(server.typed_in_order), 30)
        time.sleep(2)  # a paste too many would land now
        duration = time.monotonic() - started
        alive = parlix.proc.poll() is None
        end = resources(parlix.proc.pid) if alive else {}
        expected = list(server.typed_in_order)
        typed = receiver.text()
        parlix.stop()
        settings = home.read_settings()  # the totals' last write may wait for the end
        crashes = 0 if alive and parlix.proc.returncode == 0 else 1

        print(f"dictations:             {dictations} ({chords} chords) in {duration:.0f} s")
        print(f"crashes:                {crashes} (exit status {parlix.proc.returncode})")
        print(f"requests:               {len(server.received)} (expected {sent})")
        taps = sum("翻译失败" in line for line in parlix.lines)
        print(f"holds taken for taps:   {taps} (each turns the next hold into a translation)")
        mix = {k: server.received.count(k) for k in dict.fromkeys(server.received)}
        print("answers:                " + ", ".join(f"{k} {n}" for k, n in sorted(mix.items())))
        exact = report_typed(typed, expected)
        sums = {"totalRecognitions": len(expected), "totalCharactersTyped": sum(map(len, expected))}
        totals_ok = all(settings.get(k) == str(v) for k, v in sums.items())
        for k, v in sums.items():
            print(f"{k + ':':24}{settings.get(k)} (sum {v})")
        print(f"totalRecordingSeconds:  {settings.get('totalRecordingSeconds')}")
        print(f"resources:              at launch -> after {warm_at} dictations -> at the end")
        for key in ("rss_kb", "fds", "threads"):
            print(f"  {key + ':':22}{begin[key]} -> {warm[key]} -> {end.get(key, '?')}")
        ok = crashes == 0 and exact and totals_ok and len(server.received) == sent - taps
        print("soak: " + ("PASS" if ok else "FAIL"))
        expected_lines = ("Parlix 已启动", "ASR error: ", "翻译失败", "翻译不可用")
        said = [line for line in parlix.lines if not line.startswith(expected_lines)]
        print("parlix also said:       " + ("\n  ".join([""] + said[:30]) if said else "nothing"))
        if not ok:
            for name, text in (("typed.txt", typed), ("expected.txt", "".join(expected)),
                               ("parlix.log", parlix.output())):
                with open(os.path.join(home.root, name), "w", encoding="utf-8") as f:
                    f.write(text)
    finally:
        parlix.stop()
        receiver.stop()
        server.stop()
        if ok:
            home.stop()
        else:  # its folder is parlix's working directory: a core file lands there
            print(f"kept {home.root}")
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
