"""The engine's typed calls: a Store opened by its location, an export, a
pack read, the proposal of an import, its verification, check and the
import itself; requests and results as dataclasses, numbers as numbers,
failures as KestrelError with their number, text and place.

    with kestrel.Store("profiles.db") as source, kestrel.Store("other.db") as target:
        pack = source.export(profile=30, root="/srv/packs").folder
        report = target.import_pack(pack, renumber={30: 930})
"""

import ctypes
import dataclasses
from typing import Dict, List, Optional

from . import _library as L
from . import _structs as S
from .errors import KestrelError, Place

_INT32_MIN, _INT32_MAX = -(2 ** 31), 2 ** 31 - 1
DEFAULT_WAIT = 30


def _int32(value, name):
    """An int as a 32-bit field: ctypes would wrap a larger one silently, so
    it is refused as the library refuses a number beyond its type (6)."""
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{name} takes a number, not {type(value).__name__}")
    if not _INT32_MIN <= value <= _INT32_MAX:
        raise KestrelError(6, f"Overflow: {name} takes a 32-bit number, not {value}")
    return value


class _Keep:
    """The bytes a request points at, alive until the call returns."""

    def __init__(self):
        self._kept = []

    def text(self, value):
        data = L.to_bytes(value)
        self._kept.append(data)
        return S.Text(ctypes.cast(ctypes.c_char_p(data), ctypes.POINTER(ctypes.c_char)), len(data))

    def array(self, kind, items):
        array = (kind * len(items))(*items)
        self._kept.append(array)
        return ctypes.cast(array, ctypes.POINTER(kind)), len(items)


def _texts(pointer, count):
    return [L.from_text(pointer[i]) for i in range(count)]


@dataclasses.dataclass
class Vrc:
    version: str = ""
    release: str = ""
    customer: str = ""


@dataclasses.dataclass
class PackProfile:
    """One profile of a pack: its place in the pack's hierarchy (parent 0 and
    depth 1 for a root), its VRC and its applications' extn."""

    number: int
    source_application: str
    target_application: str
    parent: int = 0
    depth: int = 1
    vrc: Vrc = dataclasses.field(default_factory=Vrc)
    description: str = ""
    source_extn: str = ""
    target_extn: str = ""


@dataclasses.dataclass
class PackFile:
    """One file of a pack folder. `rows` is None for a kind without rows;
    `sum_matches` None when ExportMR.sums does not list the file."""

    name: str
    kind: str
    rows: Optional[int]
    sum_matches: Optional[bool]
    problem: str = ""


@dataclasses.dataclass
class PackInfo:
    folder: str
    export_succeeded: bool
    revisions: bool
    for_sync: bool
    new_profile_number: int
    has_sums: bool
    applications: List[str]
    profiles: List[PackProfile]
    files: List[PackFile]
    missing_files: List[str]


@dataclasses.dataclass
class Stored:
    """What the store holds already of a target (ignored on input)."""

    profile: bool = False
    source_application: bool = False
    target_application: bool = False
    parent_missing: bool = False


@dataclasses.dataclass
class Target:
    """What the import of one pack profile asks for: the number and parent
    (0 for a root) it gets and the applications it serves."""

    profile: int
    source_application: str
    target_application: str
    parent: int = 0
    source_extn: str = ""
    target_extn: str = ""
    stored: Stored = dataclasses.field(default_factory=Stored)


@dataclasses.dataclass
class ExportRequest:
    profile: int
    root: str = ""                # "": $KESTREL_EXPORT_ROOT, else $HOME/ImpExpMR
    single_profile: bool = False  # else the chain of base profiles
    new_number: int = 0
    traverse_parent: bool = False
    revisions: bool = False
    based_on: int = 0
    for_sync: bool = False
    overwrite: bool = False


@dataclasses.dataclass
class ExportReport:
    folder: str
    files: List[str]
    applications: List[str]
    revisions: bool
    rows: Dict[str, int]  # records written per file


@dataclasses.dataclass
class ImportRequest:
    pack: str
    targets: Optional[List[Target]] = None  # one per pack profile, in its order; None: the proposal
    renumber: Dict[int, int] = dataclasses.field(default_factory=dict)
    replace: bool = False  # else refused (9030) when it would delete stored profiles or applications
    dry_run: bool = False
    keep_work: bool = False
    allow_without_sums: bool = False
    wait: int = DEFAULT_WAIT
    user: str = ""
    registry: str = ""


@dataclasses.dataclass
class Finding:
    """A problem of a selection: its number and text, and its place (the
    entry's index in place.entry)."""

    number: int
    text: str
    place: Place


@dataclasses.dataclass
class TableRows:
    added: int
    deleted: int


@dataclasses.dataclass
class ImportReport:
    sources: List[PackProfile]
    targets: List[Target]
    committed: bool
    dry_run: bool
    profiles_replaced: List[int]
    applications_replaced: List[str]
    rows: Dict[str, TableRows]
    seconds: float
    run_log: str


def _profile(p):
    return PackProfile(p.number, L.from_text(p.source_application), L.from_text(p.target_application), p.parent,
                       p.depth, Vrc(L.from_text(p.version), L.from_text(p.release), L.from_text(p.customer)),
                       L.from_text(p.description), L.from_text(p.source_extn), L.from_text(p.target_extn))


def _target(t):
    return Target(t.profile, L.from_text(t.source_application), L.from_text(t.target_application), t.parent,
                  L.from_text(t.source_extn), L.from_text(t.target_extn),
                  Stored(bool(t.stored & S.STORED_PROFILE), bool(t.stored & S.STORED_SOURCE_APPLICATION),
                         bool(t.stored & S.STORED_TARGET_APPLICATION), bool(t.stored & S.PARENT_MISSING)))


def _c_target(keep, t, index):
    name = f"target {index + 1}"
    return S.Target(_int32(t.profile, f"{name} profile"), _int32(t.parent, f"{name} parent"),
                    keep.text(t.source_application), keep.text(t.target_application),
                    keep.text(t.source_extn), keep.text(t.target_extn), 0, 0)


def _pack_file(f):
    rows = None if f.rows < 0 else f.rows
    sum_matches = None if f.sum == S.SUM_UNLISTED else f.sum == S.SUM_MATCHES
    return PackFile(L.from_text(f.name), L.from_text(f.kind), rows, sum_matches, L.from_text(f.problem))


class _Result:
    """A result the library handed out, freed by its function on leaving."""

    def __init__(self, kind, free):
        self.pointer = ctypes.POINTER(kind)()
        self._free = free

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.pointer:
            self._free(self.pointer)


def read_pack(folder, allow_without_sums=False):
    """Reads a pack folder (its files checked against ExportMR.sums first)."""
    lib = L.library()
    data = L.to_bytes(folder)
    with _Result(S.PackInfo, lib.kestrel_pack_info_free) as r:
        L.check(lib.kestrel_read_pack(data, len(data), S.ALLOW_WITHOUT_SUMS if allow_without_sums else 0,
                                      ctypes.byref(r.pointer)))
        c = r.pointer.contents
        return PackInfo(L.from_text(c.folder), bool(c.export_succeeded), bool(c.revisions), bool(c.for_sync),
                        c.new_profile_number, bool(c.has_sums), _texts(c.applications, c.application_count),
                        [_profile(c.profiles[i]) for i in range(c.profile_count)],
                        [_pack_file(c.files[i]) for i in range(c.file_count)],
                        _texts(c.missing_files, c.missing_file_count))


def _request(request, options):
    if isinstance(request, ImportRequest):
        return dataclasses.replace(request, **options) if options else request
    return ImportRequest(request, **options)


class Store(L.Handle):
    """A profile store opened by its location: a file (never created), or a
    server's postgresql:// URI or key=value pairs. Every statement waits at
    most `wait` seconds for a lock another program holds (then 9031). One
    thread at a time."""

    _FREE = "kestrel_store_close"

    def __init__(self, location, wait=DEFAULT_WAIT):
        self._lib = L.library()
        data = L.to_bytes(location)
        handle = ctypes.c_void_p()
        L.check(self._lib.kestrel_store_open(data, len(data), _int32(wait, "wait_seconds"), ctypes.byref(handle)))
        self._handle = handle

    def _live(self):
        if not self._handle:
            raise KestrelError(91, "the store was closed")
        return self._handle

    def export(self, request=None, **fields):
        """Exports a profile: an ExportRequest (its fields given by name
        replacing its own), or the fields by name alone."""
        request = dataclasses.replace(request, **fields) if request is not None else ExportRequest(**fields)
        keep = _Keep()
        c = S.ExportRequest(ctypes.sizeof(S.ExportRequest), _int32(request.profile, "profile"), keep.text(request.root),
                            request.single_profile, _int32(request.new_number, "new_number"),
                            request.traverse_parent, request.revisions, _int32(request.based_on, "based_on"),
                            request.for_sync, request.overwrite, 0)
        with _Result(S.ExportReport, self._lib.kestrel_export_report_free) as r:
            L.check(self._lib.kestrel_export(self._live(), ctypes.byref(c), ctypes.byref(r.pointer)))
            out = r.pointer.contents
            return ExportReport(L.from_text(out.folder), _texts(out.files, out.file_count),
                                _texts(out.applications, out.application_count), bool(out.revisions),
                                {L.from_text(out.rows[i].name): out.rows[i].rows for i in range(out.row_count)})

    def propose(self, pack, allow_without_sums=False):
        """The targets an import of the pack into this store starts from."""
        data = L.to_bytes(pack)
        with _Result(S.Targets, self._lib.kestrel_targets_free) as r:
            L.check(self._lib.kestrel_propose(self._live(), data, len(data),
                                              S.ALLOW_WITHOUT_SUMS if allow_without_sums else 0, ctypes.byref(r.pointer)))
            out = r.pointer.contents
            return [_target(out.targets[i]) for i in range(out.count)]

    def _c_request(self, request, keep):
        targets, target_count = keep.array(
            S.Target, [_c_target(keep, t, i) for i, t in enumerate(request.targets or [])])
        renumber, renumber_count = keep.array(
            S.Renumber, [S.Renumber(_int32(a, f"renumber {i + 1} from"), _int32(b, f"renumber {i + 1} to"))
                         for i, (a, b) in enumerate(request.renumber.items())])
        return S.ImportRequest(ctypes.sizeof(S.ImportRequest), S.REPLACE if request.replace else S.REPLACE_REFUSE,
                               keep.text(request.pack), targets, target_count, renumber, renumber_count,
                               request.dry_run, request.keep_work, request.allow_without_sums,
                               _int32(request.wait, "wait_seconds"), keep.text(request.user),
                               keep.text(request.registry))

    def verify(self, request, **options):
        """The findings of a selection (an ImportRequest, or a pack folder and
        the request's fields by name), each a Finding whose place names its
        entry; [] when the selection passes."""
        keep = _Keep()
        c = self._c_request(_request(request, options), keep)
        with _Result(S.Findings, self._lib.kestrel_findings_free) as r:
            L.check(self._lib.kestrel_verify(self._live(), ctypes.byref(c), ctypes.byref(r.pointer)))
            out = r.pointer.contents
            return [Finding(f.number, L.from_text(f.text), L.place_of(f.place))
                    for f in (out.findings[i] for i in range(out.count))]

    def check(self, request, **options):
        """The check an import runs first, alone; raises the first refusal
        with its place. Changes nothing."""
        keep = _Keep()
        c = self._c_request(_request(request, options), keep)
        L.check(self._lib.kestrel_check(self._live(), ctypes.byref(c)))

    def import_pack(self, request, **options):
        """Imports the pack as one unit of the store: all of it, or nothing."""
        keep = _Keep()
        c = self._c_request(_request(request, options), keep)
        with _Result(S.ImportReport, self._lib.kestrel_import_report_free) as r:
            L.check(self._lib.kestrel_import(self._live(), ctypes.byref(c), ctypes.byref(r.pointer)))
            out = r.pointer.contents
            return ImportReport(
                [_profile(out.sources[i]) for i in range(out.source_count)],
                [_target(out.targets[i]) for i in range(out.target_count)],
                bool(out.committed), bool(out.dry_run),
                [out.profiles_replaced[i] for i in range(out.profiles_replaced_count)],
                _texts(out.applications_replaced, out.applications_replaced_count),
                {L.from_text(out.rows[i].table): TableRows(out.rows[i].added, out.rows[i].deleted)
                 for i in range(out.row_count)},
                out.seconds, L.from_text(out.run_log))
