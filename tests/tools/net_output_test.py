#!/usr/bin/python3
"""The network outputs of `korvala analyze` end to end: net_output_test.py KORVALA WORKDIR.

OSC and LED-sync datagrams and OS2L beats over TCP are sent to sockets this
test binds on 127.0.0.1 (nothing goes anywhere else), decoded here and compared
with the values the same analysis prints; Debian's oscdump (liblo-tools) decodes the same OSC
stream independently. Exit 77 (skip) when oscdump is missing.
"""
import csv
import json
import math
import os
import shutil
import socket
import struct
import subprocess
import sys
import threading
import time

KORVALA, WORK = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
LOOPBACK = "127.0.0.1"
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def korvala(*args):
    return subprocess.run([KORVALA, *args], cwd=WORK, capture_output=True, text=True, timeout=120)


class Receiver:
    """Collects every datagram arriving at a fresh UDP port on 127.0.0.1."""

    def __init__(self):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        # A run over a file sends faster than real time: a large buffer keeps
        # every datagram (SO_RCVBUFFORCE needs root; the plain option is capped).
        for option in (getattr(socket, "SO_RCVBUFFORCE", 33), socket.SO_RCVBUF):
            try:
                self.sock.setsockopt(socket.SOL_SOCKET, option, 16 << 20)
                break
            except OSError:
                pass
        self.sock.bind((LOOPBACK, 0))
        self.sock.settimeout(0.1)
        self.address = f"{LOOPBACK}:{self.sock.getsockname()[1]}"
        self.datagrams, self.running = [], True
        self.thread = threading.Thread(target=self._run)
        self.thread.start()

    def _run(self):
        while True:
            try:
                self.datagrams.append(self.sock.recv(1 << 16))
            except socket.timeout:
                if not self.running:
                    return

    def stop(self):
        self.running = False
        self.thread.join()
        self.sock.close()
        return self.datagrams


class TcpReceiver:
    """Accepts connections on a fresh TCP port on 127.0.0.1 and keeps what each
    sends: with hang_up, the first is closed after its first message and a
    second one is awaited."""

    def __init__(self, hang_up=False):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.bind((LOOPBACK, 0))
        self.sock.listen(1)
        self.sock.settimeout(30)
        self.address = f"{LOOPBACK}:{self.sock.getsockname()[1]}"
        self.hang_up, self.streams = hang_up, []
        self.thread = threading.Thread(target=self._run)
        self.thread.start()

    def _run(self):
        for connections in range(2 if self.hang_up else 1):
            try:
                connection, _ = self.sock.accept()
            except socket.timeout:
                return
            data = b""
            with connection:
                while (chunk := connection.recv(1 << 16)) and not (
                        self.hang_up and connections == 0 and b"}" in data + chunk):
                    data += chunk
                data += chunk
            self.streams.append(data)

    def stop(self):
        """The messages of each connection."""
        self.thread.join(timeout=60)
        self.sock.close()
        decoded = []
        for data in self.streams:
            decoder, messages, at = json.JSONDecoder(), [], 0
            while at < len(data):
                message, at = decoder.raw_decode(data.decode(), at)
                messages.append(message)
            decoded.append(messages)
        return decoded


def check_os2l(messages, rows):
    """One beat message per frame in which kor_BeatTime grew, with that frame's values."""
    expected, previous = [], 0.0
    for row in rows:
        beats = float(row["kor_BeatTime"])
        if beats > previous:
            expected.append({"evt": "beat", "change": False, "pos": int(beats),
                             "bpm": float(row["kor_BPM"]), "strength": float(row["kor_Level"])})
        previous = beats
    check(len(expected) > 0, "no beat in the analysis")
    check(len(messages) == len(expected), f"{len(messages)} OS2L messages, {len(expected)} beats")
    for got, want in zip(messages, expected):
        same = got.keys() == want.keys() and all(
            same_float(want[k], got[k]) if k in ("bpm", "strength") else got[k] == want[k]
            for k in want)
        if not check(same, f"OS2L message {got} != {want}"):
            return


def osc_string(data, at):
    end = data.index(b"\0", at)
    return data[at:end].decode(), (end + 4) & ~3


def osc_messages(datagram):
    """(address, [floats]) of one datagram: a message or a bundle of them."""
    if datagram.startswith(b"#bundle\0"):
        check(datagram[8:16] == struct.pack(">Q", 1), "bundle time tag is not 'immediately'")
        messages, at = [], 16
        while at < len(datagram):
            (size,) = struct.unpack_from(">i", datagram, at)
            messages += osc_messages(datagram[at + 4:at + 4 + size])
            at += 4 + size
        return messages
    address, at = osc_string(datagram, 0)
    tags, at = osc_string(datagram, at)
    check(tags.startswith(",") and set(tags[1:]) <= {"f"}, f"type tags {tags!r}")
    values = list(struct.unpack_from(f">{len(tags) - 1}f", datagram, at))
    check(at + 4 * len(values) == len(datagram), f"{address}: stray bytes")
    return [(address, values)]


def same_float(expected, got):
    return struct.pack("<f", f32(expected)) == struct.pack("<f", got)


def read_csv(path):
    with open(path) as f:
        return list(csv.DictReader(f))


def read_jsonl(path):
    with open(path) as f:
        return [json.loads(line) for line in f]


def frames_of(datagrams, bundled):
    """Splits the messages into frames: a bundle per frame, or messages up to
    the frame's last scalar address when each message is its own datagram."""
    if bundled:
        return [osc_messages(d) for d in datagrams]
    return [m for d in datagrams for m in osc_messages(d)]


def check_osc_frames(frames, rows, prefix, scalars, vectors, label):
    check(len(frames) == len(rows), f"{label}: {len(frames)} OSC frames for {len(rows)} rows")
    for k, (messages, row) in enumerate(zip(frames, rows)):
        expected = [f"{prefix}/{n}" for n in scalars + vectors]
        if str(row["transition"]) in ("1", "True"):
            expected.append(f"{prefix}/transition")
        if not check([a for a, _ in messages] == expected, f"{label} frame {k}: addresses"):
            return
        for (address, values), name in zip(messages, scalars + vectors):
            want = row[name] if isinstance(row[name], list) else [float(row[name])]
            if not check(len(values) == len(want) and all(map(same_float, want, values)),
                         f"{label} frame {k}: {address} differs from the printed values"):
                return
        if len(messages) > len(scalars) + len(vectors):
            check(messages[-1][1] == [1.0], f"{label} frame {k}: transition argument")


def split_messages(messages, scalars, vectors, prefix):
    """Messages sent one per datagram, regrouped into frames."""
    frames, current = [], []
    last = f"{prefix}/{(scalars + vectors)[-1]}"
    for message in messages:
        if message[0] == f"{prefix}/transition":
            frames[-1].append(message)
            continue
        current.append(message)
        if message[0] == last:
            frames.append(current)
            current = []
    return frames


def wled_expected(row, previous_beats, frame, spectrum):
    edges = [2, 3, 4, 6, 8, 11, 16, 23, 32, 45, 64, 91, 128, 181, 256, 362, 512]
    level = lambda v: min(max(f32(f32(v) * 255.0), 0.0), 255.0)
    bands, strongest, strongest_bin = [], 0.0, 2
    for lo, hi in zip(edges, edges[1:]):
        largest = max([0.0] + spectrum[lo:hi])
        for k in range(lo, hi):
            if spectrum[k] > strongest:
                strongest, strongest_bin = spectrum[k], k
        bands.append(math.floor(f32(f32(min(largest, 1.0) * 255.0) + 0.5)))
    beats = float(row["kor_BeatTime"])
    return (level(float(row["kor_InputLevel"])), level(float(row["kor_Level"])),
            int(beats > previous_beats), frame % 256, bands, level(strongest),
            f32(strongest_bin * f32(44100 / 2048)))


def check_wled(datagrams, rows, spectra):
    check(len(datagrams) == len(rows), f"{len(datagrams)} LED-sync packets for {len(rows)} frames")
    previous_beats = 0.0
    for k, (packet, row, spectrum) in enumerate(zip(datagrams, rows, spectra)):
        if not check(len(packet) == 44 and packet[:8] == b"00002\0\0\0"
                     and packet[34:36] == b"\0\0", f"LED-sync packet {k}: size or header"):
            return
        raw, smooth, peak, counter = struct.unpack_from("<ffBB", packet, 8)
        got = (raw, smooth, peak, counter, list(packet[18:34]),
               *struct.unpack_from("<ff", packet, 36))
        want = wled_expected(row, previous_beats, k, spectrum)
        if not check(got == want, f"LED-sync packet {k}: {got} != {want}"):
            return
        previous_beats = float(row["kor_BeatTime"])
    check(any(p[16] for p in datagrams), "no LED-sync packet carries a beat")


def feed_paced(run, name):
    """Writes WORK/name to the process's standard input in 4096-sample chunks,
    25 ms apart (a live stream), then closes it."""
    with open(os.path.join(WORK, name), "rb") as raw:
        while chunk := raw.read(4096 * 4):
            run.stdin.write(chunk)
            run.stdin.flush()
            time.sleep(0.025)
    run.stdin.close()


def oscdump_frames(extra_args):
    """Runs analyze into oscdump and compares its printed floats with the CSV.
    oscdump keeps the system's default receive buffer, so the raw samples are
    fed in paced chunks, at 15 frames per second, rather than all at once."""
    probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    probe.bind((LOOPBACK, 0))
    port = probe.getsockname()[1]
    probe.close()
    dump_path = os.path.join(WORK, "oscdump.txt")
    dump_file = open(dump_path, "w")
    dump = subprocess.Popen(["oscdump", "-L", str(port)], stdout=dump_file,
                            stderr=subprocess.STDOUT)
    time.sleep(0.5)
    run = subprocess.Popen([KORVALA, "analyze", "-", "--quiet", "--out", "dump.csv", "--fps", "15",
                            "--osc", f"{LOOPBACK}:{port}", *extra_args], cwd=WORK, stdin=subprocess.PIPE,
                           stderr=subprocess.PIPE)
    feed_paced(run, "one.raw")
    check(run.wait(timeout=60) == 0, f"analyze into oscdump: {run.stderr.read()}")
    time.sleep(0.5)
    dump.terminate()
    dump.wait(timeout=10)
    dump_file.close()
    with open(dump_path) as f:
        lines = f.read().splitlines()
    label = "oscdump " + (" ".join(extra_args) or "bundles")
    values = []
    for line in lines:
        fields = line.split()
        at = next((i for i, f in enumerate(fields) if f.startswith("/korvala/")), None)
        if at is not None:
            check(fields[at + 1] == "f", f"{label}: {line}")
            values.append((fields[at], float(fields[at + 2])))
    rows = read_csv(os.path.join(WORK, "dump.csv"))
    scalars = [n for n in rows[0] if n not in ("frame", "time", "transition")]
    expected = [(f"/korvala/{n}", float(r[n])) for r in rows for n in scalars]
    check(len(values) == len(expected), f"{label}: {len(values)} messages, {len(expected)} expected")
    for (a, v), (b, w) in zip(values, expected):
        if not check(a == b and abs(v - w) <= 1e-6 * max(1.0, abs(w)), f"{label}: {a} {v} != {w}"):
            break


def main():
    if shutil.which("oscdump") is None:
        print("SKIP: oscdump (Debian liblo-tools) is missing; run scripts/install-deps.sh",
              file=sys.stderr)
        return 77
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    for name, seconds in (("short.wav", "3"), ("one.raw", "1"), ("beats.raw", "8"),
                          ("long.wav", "24")):
        subprocess.run([KORVALA, "demo", "--out", name, "--seconds", seconds], cwd=WORK, check=True)

    # Bundles of every scalar beside the CSV, LED sync beside the spectrum, beats over TCP.
    osc, led, beats = Receiver(), Receiver(), TcpReceiver()
    run = korvala("analyze", "short.wav", "--quiet", "--out", "all.csv", "--osc", osc.address,
                  f"--wled={led.address}", "--os2l", beats.address)
    check(run.returncode == 0, f"analyze --osc --wled --os2l: {run.stderr}")
    bundles, packets = osc.stop(), led.stop()
    rows = read_csv(os.path.join(WORK, "all.csv"))
    check_os2l(beats.stop()[0], rows)
    # Nobody listening for beats: one warning, one count, every row written.
    probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    probe.bind((LOOPBACK, 0))
    closed = f"{LOOPBACK}:{probe.getsockname()[1]}"
    probe.close()
    run = korvala("analyze", "short.wav", "--quiet", "--out", "away.csv", "--os2l", closed)
    check(run.returncode == 0 and len(run.stderr.splitlines()) == 2
          and "beat messages not sent" in run.stderr, f"--os2l to nobody: {run.stderr!r}")
    check(len(read_csv(os.path.join(WORK, "away.csv"))) == len(rows), "--os2l to nobody: rows lost")
    # A receiver that hangs up after the first beat: the beats go on over a new
    # connection (tried once a second), in order, while a live stream is analysed.
    beats = TcpReceiver(hang_up=True)
    run = subprocess.Popen([KORVALA, "analyze", "-", "--quiet", "--out", "/dev/null", "--os2l",
                            beats.address], cwd=WORK, stdin=subprocess.PIPE,
                           stderr=subprocess.PIPE)
    feed_paced(run, "beats.raw")
    check(run.wait(timeout=60) == 0, f"--os2l reconnecting: {run.stderr.read()}")
    streams = beats.stop()
    positions = [m["pos"] for s in streams for m in s]
    check(len(streams) == 2 and len(streams[1]) > 0 and positions == sorted(set(positions)),
          f"--os2l after a hang-up: beats {[[m['pos'] for m in s] for s in streams]}")
    scalars = [n for n in rows[0] if n not in ("frame", "time", "transition")]
    check(len(scalars) == 44, f"{len(scalars)} scalar columns")
    check_osc_frames(frames_of(bundles, True), rows, "/korvala", scalars, [], "bundles")
    korvala("analyze", "short.wav", "--quiet", "--format", "jsonl", "--vectors", "--only",
            "kor_Spectrum", "--out", "spectrum.jsonl")
    spectra = [r["kor_Spectrum"] for r in read_jsonl(os.path.join(WORK, "spectrum.jsonl"))]
    check_wled(packets, rows, spectra)

    # One datagram per message, another prefix, a vector, and the transition
    # the demo fires after its breakdown.
    osc = Receiver()
    run = korvala("analyze", "long.wav", "--quiet", "--format", "jsonl", "--vectors", "--only",
                  "kor_OnBeat,kor_Waveform", "--out", "some.jsonl", "--osc", osc.address,
                  "--osc-no-bundle", "--osc-prefix", "/show/a", "--osc-vectors")
    check(run.returncode == 0, f"analyze --osc-no-bundle: {run.stderr}")
    rows = read_jsonl(os.path.join(WORK, "some.jsonl"))
    check(any(r["transition"] for r in rows), "the long demo fired no transition")
    messages = frames_of(osc.stop(), False)
    frames = split_messages(messages, ["kor_OnBeat"], ["kor_Waveform"], "/show/a")
    check_osc_frames(frames, rows, "/show/a", ["kor_OnBeat"], ["kor_Waveform"], "no bundle")

    # The independent decoder reads both forms the same way.
    for args in ([], ["--osc-no-bundle"]):
        oscdump_frames(args)

    # Malformed options: one line, status 2.
    for args in (["--osc", "127.0.0.1"], ["--osc", "127.0.0.1:70000"],
                 ["--osc-vectors"], ["--osc", "127.0.0.1:9", "--osc-prefix", "/a b"],
                 ["--wled", "short.wav"], ["--only", "kor_Spectrum", "--osc", "127.0.0.1:9"]):
        run = korvala("analyze", "short.wav", *args)
        check(run.returncode == 2 and len(run.stderr.splitlines()) == 1,
              f"analyze {' '.join(args)}: status {run.returncode}, {run.stderr!r}")

    for message in failures:
        print("FAIL:", message, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
