"""The Python module and the C library from Python, run by CTest with
PYTHONPATH at the build tree. KORVALA_CLI names the korvala command,
KORVALA_C_LIBRARY the shared C library."""

import csv
import ctypes
import math
import os
import re
import shutil
import subprocess
import sys
import threading
from pathlib import Path

import numpy as np
import pytest

import korvala

CLI = os.environ["KORVALA_CLI"]
C_LIBRARY = os.environ["KORVALA_C_LIBRARY"]
C_HEADER = os.environ["KORVALA_C_HEADER"]
ROOT = Path(__file__).resolve().parents[2]
SECONDS = 21  # the demo's drop at 20 s gives one transition


def demo(tmp: Path, rate: int, channels: int, ext: str) -> Path:
    path = tmp / f"demo_{rate}Hz_{channels}ch_{SECONDS}s.{ext}"
    if not path.exists():
        subprocess.run([CLI, "demo", "--seconds", str(SECONDS), "--sample-rate", str(rate),
                        "--channels", str(channels), "--out", str(path)], check=True)
    return path


def command_csv(path: Path) -> dict:
    out = path.with_suffix(".csv")
    subprocess.run([CLI, "analyze", str(path), "-q", "--out", str(out)], check=True)
    with open(out, newline="") as f:
        rows = list(csv.reader(f))
    header, rows = rows[0], rows[1:]
    columns = {}
    for i, name in enumerate(header):
        text = [row[i] for row in rows]
        if name == "frame":
            columns[name] = np.array(text, dtype=np.uint64)
        elif name == "transition":
            columns[name] = np.array([t == "1" for t in text])
        elif name == "time":
            columns[name] = np.array([float(t) for t in text])
        else:  # shortest float32 text reads back as the same float
            columns[name] = np.array([float(t) for t in text]).astype(np.float32)
    return columns


def assert_bitwise_equal(got: dict, expected: dict):
    assert list(got) == list(expected)
    for name, column in expected.items():
        assert got[name].dtype == column.dtype, name
        assert got[name].tobytes() == column.tobytes(), name


@pytest.fixture(scope="module")
def tmp(tmp_path_factory):
    return tmp_path_factory.mktemp("korvala")


@pytest.mark.parametrize("rate,channels", [(44100, 1), (48000, 2)])
def test_analyze_returns_the_commands_csv_bit_for_bit_for_a_file_and_its_samples(tmp, rate, channels):
    expected = command_csv(demo(tmp, rate, channels, "wav"))
    assert expected["transition"].sum() == 1
    assert_bitwise_equal(korvala.analyze(demo(tmp, rate, channels, "wav")), expected)
    samples = np.fromfile(demo(tmp, rate, channels, "raw"), dtype="<f4").reshape(-1, channels)
    if channels == 1:
        samples = samples[:, 0]
    assert_bitwise_equal(korvala.analyze(samples, sample_rate=rate), expected)
    # only= picks columns, vectors= adds (frames, length) arrays
    some = korvala.analyze(samples, sample_rate=rate, fps="60", only=["kor_Spectrum", "kor_BPM"],
                           vectors=True)
    assert list(some) == ["frame", "time", "kor_BPM", "transition", "kor_Spectrum"]
    assert some["kor_BPM"].tobytes() == expected["kor_BPM"].tobytes()
    assert some["kor_Spectrum"].shape == (len(expected["frame"]), 1024)


def test_engine_driven_block_by_block_reproduces_analyze(tmp):
    samples = np.fromfile(demo(tmp, 44100, 1, "raw"), dtype="<f4")
    expected = korvala.analyze(samples)
    engine = korvala.Engine()
    transitions = []
    engine.on_transition(lambda: transitions.append(frame))
    frames = len(expected["frame"])
    got = {name: np.empty(frames, np.float32) for name in engine.scalar_names}
    pushed = 0
    for frame in range(frames):
        # the command's schedule: blocks due by floor((k + 1) * 44100 / 60), then one update
        while (pushed + 1) * 512 <= (frame + 1) * 44100 // 60:
            engine.process(samples[pushed * 512:(pushed + 1) * 512])
            pushed += 1
        engine.update(1 / 60)
        for name, value in engine.values().items():
            got[name][frame] = value
    for name in engine.scalar_names:
        assert got[name].tobytes() == expected[name].tobytes(), name
    assert transitions == list(np.flatnonzero(expected["transition"]))
    assert engine.value("kor_BPM") == expected["kor_BPM"][-1]
    assert engine.vector("kor_Spectrum").dtype == np.float32
    engine.reset()
    assert engine.value("TIME") == 0.0


def test_live_engine_pushed_from_a_thread_on_the_commands_schedule_equals_analyze(tmp):
    samples = np.fromfile(demo(tmp, 44100, 1, "raw"), dtype="<f4")
    expected = korvala.analyze(samples)
    live = korvala.LiveEngine(44100, channels=2)
    assert live.latest() is None
    transitions = []
    live.on_transition(lambda: transitions.append(1))
    stereo = np.repeat(samples[:, None], 2, axis=1)  # two equal channels average to the same
    frames = len(expected["frame"])
    pushed, done = threading.Semaphore(0), threading.Semaphore(0)

    def producer():  # pushes each frame's audio in 480-frame callbacks, then waits
        start = 0
        for frame in range(frames):
            end = (frame + 1) * 44100 // 60
            for at in range(start, end, 480):
                live.push(stereo[at:min(at + 480, end)])
            start = end
            pushed.release()
            done.acquire()

    thread = threading.Thread(target=producer)
    thread.start()
    got = {}
    for frame in range(frames):
        pushed.acquire()
        live.frame(1 / 60)
        snapshot = live.latest()
        done.release()
        for name, value in snapshot.values().items():
            got.setdefault(name, np.empty(frames, np.float32))[frame] = value
    thread.join()
    for name, column in got.items():
        assert column.tobytes() == expected[name].tobytes(), name
    assert snapshot.frames == frames and snapshot.dropped_frames == 0
    assert snapshot.transitions == len(transitions) == expected["transition"].sum()
    assert snapshot.vector("kor_Spectrum").shape == (1024,)
    with pytest.raises(ValueError):
        live.push(np.zeros((4, 3)))
    with pytest.raises(ValueError):
        korvala.LiveEngine(100)

    # The opt-in felt layer adds its names to every later snapshot; the others keep their values.
    felt = korvala.LiveEngine(44100)
    with pytest.raises(ValueError):
        felt.enable_felt(tempo_range=(160, 80))
    felt.enable_felt(tempo_range=(80, 160), gate=True, latency_ms=100)
    for frame in range(frames):
        felt.push(samples[frame * 44100 // 60:(frame + 1) * 44100 // 60])
        felt.frame(1 / 60)
    values = felt.latest().values()
    assert set(values) - set(expected) == {"felt_BPM", "felt_Confidence", "felt_Pulse",
                                           "music_Playing", "music_Starts", "music_Stops",
                                           "beat_Phase", "beat_Predicted"}
    assert 80 <= values["felt_BPM"] <= 160 and values["music_Playing"] == 1
    assert np.float32(values["kor_BPM"]).tobytes() == expected["kor_BPM"][-1].tobytes()
    with pytest.raises(KeyError):
        snapshot.value("felt_BPM")


def test_bad_input_raises_the_matching_exception(tmp):
    engine = korvala.Engine()
    mono = np.zeros(44100, np.float32)
    cases = [
        (lambda: engine.process(np.zeros((2, 256))), ValueError),
        (lambda: engine.process(np.zeros(2049)), ValueError),
        (lambda: engine.process(["loud"]), TypeError),
        (lambda: engine.value("kor_Nope"), KeyError),
        (lambda: engine.vector("kor_BPM"), KeyError),
        (lambda: engine.on_transition(3), TypeError),
        (lambda: korvala.analyze(np.zeros((4, 2, 2))), ValueError),
        (lambda: korvala.analyze(np.zeros(0)), ValueError),
        (lambda: korvala.analyze(np.zeros((10, 0))), ValueError),
        (lambda: korvala.analyze(mono, sample_rate=10), ValueError),
        (lambda: korvala.analyze(mono, sample_rate=44100.5), TypeError),
        (lambda: korvala.analyze(mono, fps=0), ValueError),
        (lambda: korvala.analyze(mono, fps=None), TypeError),
        (lambda: korvala.analyze(mono, only=["kor_Nope"]), ValueError),
        (lambda: korvala.analyze(mono, only="kor_Spectrum"), ValueError),
        (lambda: korvala.analyze(mono, reactivity=1.5), ValueError),
        (lambda: korvala.analyze(object()), TypeError),
        (lambda: korvala.analyze(tmp / "missing.wav"), OSError),
        (lambda: korvala.analyze(demo(tmp, 44100, 1, "wav"), sample_rate=44100), ValueError),
    ]
    for call, exception in cases:
        with pytest.raises(exception):
            call()
    # Knobs clamp, NaN is ignored; integer and list input is converted.
    engine.reactivity = 2.0
    engine.audio_speed = float("nan")
    assert (engine.reactivity, engine.audio_speed) == (1.0, 0.5)
    engine.process([0, 1, 0, -1] * 128)
    engine.process(np.arange(512, dtype=np.int16))


def test_a_raising_transition_handler_raises_from_update(tmp):
    samples = np.fromfile(demo(tmp, 44100, 1, "raw"), dtype="<f4")
    engine = korvala.Engine()
    engine.on_transition(lambda: 1 / 0)
    with pytest.raises(ZeroDivisionError):
        for start in range(0, len(samples) - 511, 512):
            engine.process(samples[start:start + 512])
            engine.update(512 / 44100)


def test_the_c_library_exports_exactly_its_header_and_matches_the_engine():
    header = Path(C_HEADER).read_text()
    declared = set(re.findall(r"KORVALA_C_EXPORT[^;(]*?\b(korvala_\w+)\s*\(", header, re.S))
    exported = set(subprocess.run(["nm", "-D", "--defined-only", "--format=just-symbols",
                                   C_LIBRARY], check=True, capture_output=True,
                                  text=True).stdout.split())
    assert len(declared) == 41 and exported == declared

    lib = ctypes.CDLL(C_LIBRARY)
    lib.korvala_strerror.restype = ctypes.c_char_p
    lib.korvala_version.restype = ctypes.c_char_p
    assert lib.korvala_version().decode() == korvala.__version__
    handle = ctypes.c_void_p()
    assert lib.korvala_engine_create(ctypes.byref(handle)) == 0
    assert lib.korvala_engine_create(None) == 1
    assert lib.korvala_strerror(1) == b"a handle, buffer or output pointer was NULL"

    # The same blocks through the C library and through korvala.Engine, both
    # random sequences seeded with 1.
    block = (np.sin(np.arange(512) * 2 * math.pi * 110 / 44100) * 0.5).astype(np.float32)
    blocks = [block * (frame % 7) / 7 for frame in range(200)]
    assert lib.korvala_engine_set_random_seed(handle, 1) == 0
    for data in blocks:
        assert lib.korvala_engine_process(handle, data.ctypes.data_as(ctypes.c_void_p),
                                          ctypes.c_size_t(512)) == 0
        assert lib.korvala_engine_update(handle, ctypes.c_float(1 / 60)) == 0
    engine = korvala.Engine()
    for data in blocks:
        engine.process(data)
        engine.update(1 / 60)
    lib.korvala_scalar_count.restype = ctypes.c_size_t
    lib.korvala_scalar_name.restype = ctypes.c_char_p
    assert lib.korvala_scalar_count() == len(engine.scalar_names)
    value = ctypes.c_float()
    for index in range(lib.korvala_scalar_count()):
        name = lib.korvala_scalar_name(ctypes.c_size_t(index)).decode()
        assert lib.korvala_engine_scalar(handle, ctypes.c_size_t(index), ctypes.byref(value)) == 0
        assert np.float32(value.value).tobytes() == np.float32(engine.value(name)).tobytes(), name
    lib.korvala_engine_destroy(ctypes.byref(handle))
    assert handle.value is None


def readme_example(section: str, language: str) -> str:
    text = (ROOT / "README.md").read_text().split(f"### {section}\n", 1)[1]
    return text.split(f"```{language}\n", 1)[1].split("```", 1)[0]


def test_the_readme_examples_build_and_run(tmp):
    source = tmp / "host.c"
    source.write_text(readme_example("From C", "c"))
    program = tmp / "host"
    subprocess.run(["cc", "-std=c99", "-Wall", "-Werror", "-I", str(ROOT), str(source), C_LIBRARY,
                    "-Wl,-rpath," + str(Path(C_LIBRARY).parent), "-o", str(program)], check=True)
    out = subprocess.run([str(program)], check=True, capture_output=True, text=True).stdout
    assert out.startswith("success: kor_BassLevel")

    shutil.copy(demo(tmp, 44100, 1, "wav"), tmp / "song.wav")
    out = subprocess.run([sys.executable, "-c", readme_example("From Python", "python")], cwd=tmp,
                         check=True, capture_output=True, text=True).stdout
    assert out.splitlines()[-1].endswith("(1024,)")
