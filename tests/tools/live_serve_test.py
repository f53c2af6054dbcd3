#!/usr/bin/env python3
"""`korvala live --monitor --serve` in a private headless PipeWire session:
the frame stream of the live page carries every value at the frame rate, and
the page's control changes the running engine; a control from elsewhere is
refused. Run inside scripts/pipewire-session.sh:
    live_serve_test.py KORVALA WORKDIR
"""
import json
import os
import re
import shutil
import subprocess
import sys
import time
import urllib.error
import urllib.request

KORVALA, WORK = sys.argv[1], sys.argv[2]


def events(url, seconds):
    """The frames the stream sends in `seconds`, after its hello."""
    hello, frames = None, []
    deadline = time.monotonic() + seconds
    with urllib.request.urlopen(url + "events", timeout=5) as stream:
        kind = None
        for raw in stream:
            line = raw.decode().rstrip("\n")
            if line.startswith("event: "):
                kind = line[7:]
            elif line.startswith("data: "):
                data = json.loads(line[6:])
                if kind == "hello":
                    hello = data
                else:
                    frames.append(data)
                kind = None
            if time.monotonic() > deadline:
                break
    return hello, frames


def control(url, origin, value):
    request = urllib.request.Request(
        url + "control", method="POST",
        data=json.dumps({"name": "reactivity", "value": value}).encode(),
        headers={"Content-Type": "application/json", **({"Origin": origin} if origin else {})})
    try:
        return urllib.request.urlopen(request, timeout=5).status
    except urllib.error.HTTPError as error:
        return error.code


def main():
    if os.environ.get("KORVALA_PIPEWIRE_SESSION") != "1" or shutil.which("paplay") is None:
        print("SKIP: run inside scripts/pipewire-session.sh with paplay installed", file=sys.stderr)
        return 77
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    subprocess.run([KORVALA, "demo", "--out", "demo.wav", "--seconds", "12"], cwd=WORK, check=True)
    player = subprocess.Popen(["paplay", "demo.wav"], cwd=WORK)
    live = subprocess.Popen([KORVALA, "live", "--monitor", "--seconds", "8", "--format", "none",
                             "--quiet", "--serve", "127.0.0.1:0"],
                            cwd=WORK, stderr=subprocess.PIPE, text=True)
    failures = []
    try:
        match = re.search(r"http://127\.0\.0\.1:\d+/", live.stderr.readline())
        if not match:
            failures.append("no address on standard error")
            return 1
        url = match.group(0)
        hello, frames = events(url, 2.0)
        if hello is None or len(hello["scalars"]) != 44:
            failures.append(f"hello names {hello and len(hello['scalars'])} scalars, not 44")
        rate = len(frames) / 2.0
        print(f"korvala live --serve: {rate:.1f} frames/s on the stream")
        # 60 frames/s are made; a stream that keeps up carries most of them. Half is
        # the bound, so a busy machine's late frames do not fail the run while a
        # stream that sends only now and then still does.
        if rate < 30:
            failures.append(f"{rate:.1f} frames/s on the stream, not at least half of 60")
        if frames and max(f["s"][hello["scalars"].index("kor_Level")] for f in frames) <= 0:
            failures.append("the stream carried silence")
        origin = url.rstrip("/")
        if control(url, "http://example.invalid", 0.25) != 400:
            failures.append("a control from another origin was taken")
        if control(url, origin, 0.75) != 204:
            failures.append("the page's control was refused")
        _, later = events(url, 0.5)
        if not later or abs(later[-1]["knobs"][0] - 0.75) > 1e-6:
            failures.append(f"the engine's reactivity is {later and later[-1]['knobs'][0]}, not 0.75")
        live.wait(timeout=30)
        if live.returncode != 0:
            failures.append(f"korvala live exited with {live.returncode}: {live.stderr.read()}")
    finally:
        live.kill()
        player.terminate()
        player.wait()
        for failure in failures:
            print("FAIL: " + failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
