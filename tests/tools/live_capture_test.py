#!/usr/bin/python3
"""`korvala live` on a real capture: live_capture_test.py KORVALA WORKDIR.

Run inside scripts/pipewire-session.sh (a private headless PipeWire with a null
sink as the default output): plays the demo into the null sink with paplay and
captures its monitor for 40 s with `korvala live --monitor`, sending OSC to a
socket bound here on 127.0.0.1. Checks the tempo (128 BPM within 2 %), every
value against its range, that no audio was dropped, and that OSC carried every
frame. Prints the run's CPU time and latency figures.
"""
import csv
import json
import math
import os
import resource
import shutil
import socket
import subprocess
import sys
import threading
import time

KORVALA, WORK = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
SECONDS = 40
UNIT = {"kor_FadeInOut", "kor_Intensity", "kor_PrimeBang", "kor_RawLevel", "kor_Level",
        "kor_HighLevel", "kor_MidHighLevel", "kor_MidLevel", "kor_BassLevel", "kor_Hits",
        "kor_HighHits", "kor_MidHighHits", "kor_MidHits", "kor_BassHits", "kor_OnBeat",
        "kor_ToggleOnBeat", "kor_RandomOnBeat", "kor_BassExpoCurve", "kor_Presence",
        "kor_HighPresence", "kor_BassPresence", "kor_MidPresence", "kor_MidHighPresence",
        "kor_BPMSin", "kor_BPMSin2", "kor_BPMSin4", "kor_BPMSin8", "kor_BPMTri", "kor_BPMTri2",
        "kor_BPMTri4", "kor_BPMTri8", "kor_BPMConfidence", "kor_Threshold"}
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def in_range(name, value):
    if not math.isfinite(value) or value < 0.0:
        return False
    if name in UNIT:
        return value <= 1.0
    return value <= 220.0 if name == "kor_BPM" else True


def main():
    if os.environ.get("KORVALA_PIPEWIRE_SESSION") != "1" or shutil.which("paplay") is None:
        print("SKIP: run inside scripts/pipewire-session.sh with paplay installed", file=sys.stderr)
        return 77
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    subprocess.run([KORVALA, "demo", "--out", "demo.wav", "--seconds", str(SECONDS + 5)],
                   cwd=WORK, check=True)

    osc = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    osc.bind(("127.0.0.1", 0))
    osc.settimeout(0.5)
    datagrams = []
    receiving = threading.Event()
    receiving.set()

    def receive():
        while receiving.is_set():
            try:
                datagrams.append(osc.recv(1 << 16))
            except socket.timeout:
                pass

    receiver = threading.Thread(target=receive)
    receiver.start()

    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    live = subprocess.Popen([KORVALA, "live", "--monitor", "--seconds", str(SECONDS),
                             "--summary", "json", "--out", "live.csv", "--tempo-range", "80-160",
                             "--osc",
                             f"127.0.0.1:{osc.getsockname()[1]}"],
                            cwd=WORK, stderr=subprocess.PIPE, text=True)
    time.sleep(0.5)
    player = subprocess.Popen(["paplay", "demo.wav"], cwd=WORK)
    _, err = live.communicate(timeout=SECONDS + 30)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    player.terminate()
    player.wait()
    receiving.clear()
    receiver.join()
    osc.close()

    if not check(live.returncode == 0, f"korvala live: status {live.returncode}: {err}"):
        return 1
    summary = json.loads(err.strip().splitlines()[-1])
    with open(os.path.join(WORK, "live.csv")) as f:
        rows = list(csv.DictReader(f))

    for key in ("median_bpm_last_half", "final_bpm", "felt_bpm"):
        check(abs(summary[key] - 128.0) <= 0.02 * 128.0, f"{key} {summary[key]} is not 128 ± 2 %")
    check(summary["dropped_frames"] == 0, f"{summary['dropped_frames']} frames dropped in the ring")
    check(summary["device_overflows"] == 0, f"{summary['device_overflows']} device overflows")
    check(abs(len(rows) - SECONDS * 60) <= 60, f"{len(rows)} rows for {SECONDS} s at 60 fps")
    check(summary["frames"] == len(rows), f"{summary['frames']} frames, {len(rows)} rows")
    check(len(datagrams) == len(rows), f"{len(datagrams)} OSC bundles for {len(rows)} rows")
    bad = [(r["frame"], n, v) for r in rows for n, v in r.items()
           if n not in ("frame", "time", "transition") and not in_range(n, float(v))]
    check(not bad, f"values out of range, first: {bad[:3]}")
    check(max(float(r["kor_Level"]) for r in rows) > 0.5, "the capture stayed quiet")
    check(summary["steady_beat"] and abs(float(rows[-1]["felt_BPM"]) - summary["felt_bpm"]) < 1,
          "the felt tempo's column and summary")
    check(sum(int(r["transition"]) for r in rows) >= 1, "no transition at the demo's drop")

    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    print(f"korvala live, 48 kHz stereo, 60 fps, {summary['wall_seconds']:.1f} s: CPU "
          f"{cpu:.2f} s = {100 * cpu / summary['wall_seconds']:.2f} % of one core; waiting audio "
          f"{summary['latency_mean_ms']:.1f} ms mean, {summary['latency_max_ms']:.1f} ms max, "
          f"frame thread at most {summary['frame_late_max_ms']:.1f} ms late; tempo "
          f"{summary['final_bpm']:.2f} (median {summary['median_bpm_last_half']:.2f})")
    # No such device, and no sound server at all: one line, status 1.
    empty_runtime = os.path.join(WORK, "no-server")
    os.makedirs(empty_runtime, mode=0o700)
    for args, env in ((["--device", "no-such-source"], None),
                      (["--monitor"], dict(os.environ, XDG_RUNTIME_DIR=empty_runtime))):
        run = subprocess.run([KORVALA, "live", "--seconds", "1", *args], cwd=WORK, env=env,
                             capture_output=True, text=True, timeout=30)
        check(run.returncode == 1 and len(run.stderr.splitlines()) == 1,
              f"live {' '.join(args)}: status {run.returncode}, {run.stderr!r}")
    for message in failures:
        print("FAIL:", message, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
