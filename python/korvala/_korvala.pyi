import os
from typing import Callable, Dict, Iterable, List, Optional, Tuple, Union

import numpy as np
import numpy.typing as npt

_Samples = npt.ArrayLike

class Engine:
    """The analysis engine, driven block by block (not thread-safe)."""

    def __init__(self) -> None: ...
    def process(self, samples: _Samples) -> None:
        """Analyses one block of at most 2048 mono 44100 Hz samples."""
    def update(self, dt: float) -> None:
        """Advances every component by one frame of dt seconds."""
    def reset(self) -> None:
        """Restarts the clocks and resettable state."""
    def value(self, name: str) -> float:
        """The value of a scalar component; KeyError for an unknown name."""
    def values(self) -> Dict[str, float]:
        """Every scalar component's value, by name."""
    def vector(self, name: str) -> npt.NDArray[np.float32]:
        """A copy of a vector component; KeyError for an unknown name."""
    reactivity: float
    audio_speed: float
    def on_transition(self, callback: Optional[Callable[[], object]]) -> None:
        """Calls callback() inside update() when the music changes sharply."""
    @property
    def scalar_names(self) -> List[str]: ...
    @property
    def vector_names(self) -> List[str]: ...

class Snapshot:
    """Every value of a LiveEngine after one frame (a copy)."""

    def value(self, name: str) -> float: ...
    def values(self) -> Dict[str, float]: ...
    def vector(self, name: str) -> npt.NDArray[np.float32]: ...
    @property
    def frames(self) -> int: ...
    @property
    def blocks(self) -> int: ...
    @property
    def transitions(self) -> int: ...
    @property
    def input_frames(self) -> int: ...
    @property
    def dropped_frames(self) -> int: ...
    @property
    def seconds_analysed(self) -> float: ...
    @property
    def latency_seconds(self) -> float: ...

class LiveEngine:
    """The engine for live audio: push from any thread, frame on one, read anywhere."""

    def __init__(self, sample_rate: float, channels: int = 1, ring_frames: int = 0,
                 fps: float = 60.0) -> None: ...
    def push(self, samples: _Samples) -> None:
        """Pushes (frames, channels) samples, or interleaved ones in one dimension."""
    def frame(self, dt: float) -> None:
        """Analyses everything pushed so far, advances by dt seconds, publishes a snapshot."""
    def latest(self) -> Optional[Snapshot]:
        """The latest snapshot, or None before the first frame."""
    def enable_felt(self, *, tempo_range: Tuple[float, float] = (80.0, 160.0), gate: bool = False,
                    latency_ms: float = 0.0) -> None:
        """Adds the felt layer: later snapshots also carry felt_BPM … beat_Predicted."""
    reactivity: float
    audio_speed: float
    def on_transition(self, callback: Optional[Callable[[], object]]) -> None: ...
    @property
    def sample_rate(self) -> float: ...
    @property
    def channels(self) -> int: ...

def analyze(
    path_or_array: Union[str, bytes, os.PathLike, _Samples],
    sample_rate: Optional[int] = None,
    fps: Union[int, float, str] = 60,
    only: Optional[Union[str, Iterable[str]]] = None,
    vectors: bool = False,
    *,
    reactivity: float = 0.5,
    audio_speed: float = 0.5,
) -> Dict[str, np.ndarray]:
    """Analyses a whole file or array as `korvala analyze` does, bit for bit."""
