"""Zelta-900 linker from Python: ctypes over the linker library.

    import zlt900
    result = zlt900.link("demo.zlp", "demo.cfo", timestamp=0)
    if not result.success:
        print("\\n".join(result.lines))
    for d in zlt900.check("demo.zlp"):
        print(f"{d.file}:{d.line}:{d.column}: {d.severity}: {d.message} [{d.kind}]")

The library is found through the environment variable ZLT900_LIBRARY, else
beside this module as installed (see _paths.py), else by the loader's search.
"""
import ctypes
import os
import threading
from typing import List, NamedTuple, Optional

try:
    from ._paths import LIBRARY_RELATIVE_PATH
except ImportError:  # running from the source tree
    LIBRARY_RELATIVE_PATH = None

__all__ = ["Diagnostic", "LinkResult", "check", "link", "library"]

_FPUTS = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_char_p)
_lock = threading.Lock()
_library = None


class _Diagnostic(ctypes.Structure):
    _fields_ = [("severity", ctypes.c_int), ("file", ctypes.c_char_p), ("line", ctypes.c_uint),
                ("column", ctypes.c_uint), ("length", ctypes.c_uint), ("key", ctypes.c_char_p),
                ("kind", ctypes.c_char_p), ("message", ctypes.c_char_p), ("linkLine", ctypes.c_char_p)]


_DIAGNOSTIC_FN = ctypes.CFUNCTYPE(None, ctypes.POINTER(_Diagnostic), ctypes.c_void_p)
_SEVERITIES = ("error", "warning", "note")


class Diagnostic(NamedTuple):
    severity: str   # "error", "warning" or "note"
    file: str
    line: int       # from 1; 0 for the project file as a whole
    column: int     # from 1, in bytes
    length: int     # bytes of the offending text
    key: str        # the entry key ("W0005"), or ""
    kind: str       # the kind's short name ("unknown-key"), see docs/diagnostics.md
    message: str
    link_line: str  # for the error at which a link stops: its error line; else ""


class LinkResult(NamedTuple):
    success: bool      # the image was written completely
    lines: List[str]   # the library's lines, each without its leading line break


def _candidates():
    env = os.environ.get("ZLT900_LIBRARY")
    if env:
        yield env
        return
    if LIBRARY_RELATIVE_PATH:
        yield os.path.normpath(os.path.join(os.path.dirname(__file__), LIBRARY_RELATIVE_PATH))
    yield "libZlt900_Lnk.so.0"


def library() -> ctypes.CDLL:
    """The loaded linker library, with its functions' types declared."""
    global _library
    if _library is None:
        errors = []
        for path in _candidates():
            try:
                lib = ctypes.CDLL(path)
                break
            except OSError as e:
                errors.append(str(e))
        else:
            raise OSError("cannot load the Zelta-900 linker library: " + "; ".join(errors))
        lib.ZltLnk_MakeZltCfo.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
        lib.ZltLnk_MakeZltCfo.restype = ctypes.c_bool
        lib.ZltLnk_SetDefFputs.argtypes = [_FPUTS]
        lib.ZltLnk_SetDefFputs.restype = ctypes.c_bool
        lib.ZltLnk_CheckProject.argtypes = [ctypes.c_char_p, _DIAGNOSTIC_FN, ctypes.c_void_p]
        lib.ZltLnk_CheckProject.restype = ctypes.c_int
        lib.ZltLnk_SetLinkTime.argtypes = [ctypes.c_longlong]
        lib.ZltLnk_SetLinkTime.restype = ctypes.c_bool
        _library = lib
    return _library


def _text(value) -> bytes:
    return os.fsencode(value)


def _str(raw: bytes) -> str:
    return raw.decode("utf-8", errors="surrogateescape") if raw else ""


def _line(raw: bytes) -> str:
    text = _str(raw)
    return text[1:] if text.startswith("\n") else text


def link(project, image, timestamp: Optional[int] = None) -> LinkResult:
    """Links the project file into the image file.

    timestamp fixes the link time (seconds since 1970, shown as UTC) for a
    reproducible image; None takes the local time. Paths are taken as the
    library takes them: relative to the working directory.
    """
    lib = library()
    lines: List[str] = []
    sink = _FPUTS(lambda raw: lines.append(_line(raw)) or 0)
    with _lock:  # the output function and the link time belong to the process
        lib.ZltLnk_SetDefFputs(sink)
        lib.ZltLnk_SetLinkTime(-1 if timestamp is None else int(timestamp))
        try:
            ok = lib.ZltLnk_MakeZltCfo(_text(project), _text(image))
        finally:
            lib.ZltLnk_SetDefFputs(_FPUTS())
            lib.ZltLnk_SetLinkTime(-1)
    return LinkResult(bool(ok), lines)


def check(project) -> List[Diagnostic]:
    """Runs every check of a link on every entry of the project, without
    writing an image, and returns the diagnostics in the order of the file.
    The project links exactly when none of them is an error."""
    lib = library()
    found: List[Diagnostic] = []

    def take(d, _user):
        v = d.contents
        found.append(Diagnostic(_SEVERITIES[v.severity], _str(v.file), v.line, v.column, v.length,
                                _str(v.key), _str(v.kind), _str(v.message), _line(v.linkLine)))

    if lib.ZltLnk_CheckProject(_text(project), _DIAGNOSTIC_FN(take), None) < 0:
        raise RuntimeError("the project could not be checked")
    return found
