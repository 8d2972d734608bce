"""Finding libkestrel.so and declaring its C functions for ctypes; the
conversions of texts between Python and the library's bytes."""

import ctypes
import os
import threading

from . import _structs as S
from . import _where
from . import errors
from .errors import Place

_ENCODING = ("utf-8", "surrogateescape")
_INT64_MIN, _INT64_MAX = -(2 ** 63), 2 ** 63 - 1


Text = S.Text


class Arg(ctypes.Structure):
    _fields_ = [
        ("text", Text),
        ("number", ctypes.c_int64),
        ("items", ctypes.POINTER(Text)),
        ("count", ctypes.c_size_t),
    ]


SOURCES, TARGETS = 0, 1
ENTRY_FIELDS = 6


def to_bytes(value):
    if isinstance(value, bytes):
        return value
    if isinstance(value, str):
        return value.encode(*_ENCODING)
    if isinstance(value, os.PathLike):
        return os.fsencode(value)
    raise TypeError(f"a text is str or bytes, not {type(value).__name__}")


def to_number(value, name):
    """An int as the library's 64-bit number. ctypes would wrap a larger one
    silently (2**64 would arrive as 0), so it is refused here as the library
    refuses a number beyond its argument's type: 6, Overflow, naming it."""
    if not isinstance(value, int):
        raise TypeError(f"{name} takes a number, not {type(value).__name__}")
    if not _INT64_MIN <= value <= _INT64_MAX:
        raise errors.error(6, f"Overflow: {name} takes a 64-bit number, not {value}")
    return int(value)


def from_text(text):
    """A str of the library's bytes (which it keeps until its next call)."""
    return ctypes.string_at(text.bytes, text.length).decode(*_ENCODING) if text.length else ""


def _recorded():
    """The library the installation recorded (kestrel/_installed.py, written
    by `pip install`); None when the package runs from its source."""
    try:
        from . import _installed
    except ImportError:
        return None
    return _installed.LIBRARY


def _candidates():
    named = os.environ.get("KESTREL_LIBRARY")
    if named:
        return [named]
    recorded = _recorded()
    return ([recorded] if recorded else []) + _where.beside(os.path.dirname(os.path.abspath(__file__))) + [_where.NAME]


def _load():
    tried = []
    for path in _candidates():
        if os.sep in path and not os.path.exists(path):
            tried.append(f"{path} (no such file)")
            continue
        try:
            return ctypes.CDLL(path)
        except OSError as e:
            tried.append(f"{path} ({e})")
    raise OSError("libkestrel.so not found: install the package with pip from a built or installed Kestrel"
                  " (see README.md, Python), or set KESTREL_LIBRARY to the library's path. Tried: " + "; ".join(tried))


_lib = None
_lock = threading.Lock()

_P = ctypes.POINTER
_SIGNATURES = {
    "kestrel_create": [ctypes.c_char_p, _P(ctypes.c_void_p)],
    "kestrel_release": [ctypes.c_void_p],
    "kestrel_put_text": [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_size_t],
    "kestrel_put_number": [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int64],
    "kestrel_get_text": [ctypes.c_void_p, ctypes.c_char_p, _P(_P(ctypes.c_char)), _P(ctypes.c_size_t)],
    "kestrel_get_number": [ctypes.c_void_p, ctypes.c_char_p, _P(ctypes.c_int64)],
    "kestrel_set_store": [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t],
    "kestrel_call": [ctypes.c_void_p, ctypes.c_char_p, _P(Arg), ctypes.c_size_t, _P(ctypes.c_int)],
    "kestrel_last_error": [_P(ctypes.c_int32), _P(_P(ctypes.c_char)), _P(ctypes.c_size_t)],
    "kestrel_details_entries": [ctypes.c_char_p, ctypes.c_size_t, ctypes.c_int, _P(_P(Text)), _P(ctypes.c_size_t)],
    "kestrel_details_with_targets": [ctypes.c_char_p, ctypes.c_size_t, _P(Text), ctypes.c_size_t,
                                     _P(_P(ctypes.c_char)), _P(ctypes.c_size_t)],
    "kestrel_messages": [ctypes.c_char_p, ctypes.c_size_t, _P(_P(Text)), _P(ctypes.c_size_t)],
    **S.SIGNATURES,
}


def library():
    """The loaded library, its functions declared (loaded on first use)."""
    global _lib
    with _lock:
        if _lib is None:
            lib = _load()
            for name, argtypes in _SIGNATURES.items():
                function = getattr(lib, name)
                function.argtypes = argtypes
                function.restype = ctypes.c_int
            _lib = lib
        return _lib


def place_of(place):
    return Place(from_text(place.file), place.line, from_text(place.table), place.entry, from_text(place.path))


def last_error(status):
    """The thread's last failure as the exception of its class (`status`
    when it carries no number)."""
    error = S.Error()
    library().kestrel_get_error(ctypes.byref(error))
    return errors.error(error.number or status, from_text(error.text), place_of(error.place))


def check(status):
    """Raises the thread's last error, with its place, when a call did not succeed."""
    if status != 0:
        raise last_error(status)


class Handle:
    """What owns one handle of the library: closes it once, by `close()`, at
    the end of a `with` block or when collected. A subclass sets `_handle`
    and names the library's function that lets it go in `_FREE`. Its slots
    are its only attributes: a misspelt name is refused, not kept."""

    __slots__ = ("_lib", "_handle")
    _FREE = ""
    _WHAT = "object"

    def close(self):
        """Lets go of the handle (also when the object is collected)."""
        if getattr(self, "_handle", None):
            getattr(self._lib, self._FREE)(self._handle)
            self._handle = None

    def __del__(self):
        self.close()

    def __enter__(self):
        return self

    def _live(self):
        if not getattr(self, "_handle", None):
            raise errors.error(91, f"Object variable or With block variable not set: the {self._WHAT} was closed")
        return self._handle

    def __exit__(self, *exc):
        self.close()
