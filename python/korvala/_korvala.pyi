import os
from typing import Callable, Dict, Iterable, List, Optional, Union

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
