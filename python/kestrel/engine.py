"""Stores and packs: a Store opened by its location (its profiles, its row
counts, an export, and the proposal, verification, check and import of a
pack) and a Pack read from its folder. Results are dataclasses with numbers
as ints; failures are KestrelError subclasses (kestrel.errors).

    with kestrel.Store("profiles.db") as source, kestrel.Store("other.db") as target:
        pack = source.export(30, "/srv/packs", revisions=True)
        report = target.import_pack(pack, renumber={30: 930})
"""

import ctypes
import dataclasses
import os
from typing import Dict, List, Mapping, Optional, Sequence, Union

from . import _library as L
from . import _structs as S
from . import errors
from .errors import Place

_INT32_MIN, _INT32_MAX = -(2 ** 31), 2 ** 31 - 1
DEFAULT_WAIT = 30

PathLike = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


def _int32(value, name):
    """An int as a 32-bit field: ctypes would wrap a larger one silently, so
    it is refused as the library refuses a number beyond its type (6)."""
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{name} takes an int, not {type(value).__name__}")
    if not _INT32_MIN <= value <= _INT32_MAX:
        raise errors.error(6, f"Overflow: {name} takes a 32-bit number, not {value}")
    return value


def _flag(value, name):
    if not isinstance(value, bool):
        raise TypeError(f"{name} takes True or False, not {type(value).__name__}")
    return int(value)


class _Keep:
    """The bytes a request points at, alive until the call returns."""

    def __init__(self):
        self._kept = []

    def text(self, value):
        data = L.to_bytes(value if value is not None else "")
        self._kept.append(data)
        return S.Text(ctypes.cast(ctypes.c_char_p(data), ctypes.POINTER(ctypes.c_char)), len(data))

    def array(self, kind, items):
        array = (kind * len(items))(*items)
        self._kept.append(array)
        return ctypes.cast(array, ctypes.POINTER(kind)), len(items)


def _texts(pointer, count):
    return [L.from_text(pointer[i]) for i in range(count)]


def _counts(pointer, count):
    return {L.from_text(pointer[i].name): pointer[i].rows for i in range(count)}


# ---- What the calls hand out ----

@dataclasses.dataclass(slots=True)
class Vrc:
    """A profile's version, release and customer."""

    version: str = ""
    release: str = ""
    customer: str = ""


@dataclasses.dataclass(slots=True)
class Profile:
    """A profile a store holds: its place in the hierarchy (parent 0 and
    depth 1 for a root), its VRC, and its rows of each rule table that holds
    any (table name to rows)."""

    number: int
    source_application: str
    target_application: str
    parent: int = 0
    depth: int = 1
    vrc: Vrc = dataclasses.field(default_factory=Vrc)
    description: str = ""
    rules: Dict[str, int] = dataclasses.field(default_factory=dict)


@dataclasses.dataclass(slots=True)
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


@dataclasses.dataclass(slots=True)
class PackFile:
    """One file of a pack folder. `rows` is None for a kind without rows;
    `sum_matches` None when ExportMR.sums does not list the file."""

    name: str
    kind: str
    rows: Optional[int]
    sum_matches: Optional[bool]
    problem: str = ""


@dataclasses.dataclass(slots=True)
class Stored:
    """What the store holds already of a target (ignored on input)."""

    profile: bool = False
    source_application: bool = False
    target_application: bool = False
    parent_missing: bool = False


@dataclasses.dataclass(slots=True)
class Target:
    """What the import of one pack profile asks for: the number and parent
    (0 for a root) it gets and the applications it serves; an extn left ""
    takes the pack's."""

    profile: int
    source_application: str
    target_application: str
    parent: int = 0
    source_extn: str = ""
    target_extn: str = ""
    stored: Stored = dataclasses.field(default_factory=Stored)


@dataclasses.dataclass(slots=True)
class ExportReport:
    """What an export wrote: the files as the manifest lists them and the
    records written per file."""

    files: List[str]
    applications: List[str]
    revisions: bool
    rows: Dict[str, int]


@dataclasses.dataclass(slots=True)
class Finding:
    """A problem of a selection: its number and text, and its place (the
    entry's index in place.entry)."""

    number: int
    text: str
    place: Place


@dataclasses.dataclass(slots=True)
class TableRows:
    """Rows an import added to and deleted from one table."""

    added: int
    deleted: int


@dataclasses.dataclass(slots=True)
class ImportReport:
    """What an import did (or, with dry_run, would have done): the pack's
    profiles, what each became, what it replaced, the rows per table."""

    sources: List[PackProfile]
    targets: List[Target]
    committed: bool
    dry_run: bool
    profiles_replaced: List[int]
    applications_replaced: List[str]
    rows: Dict[str, TableRows]
    seconds: float
    run_log: str


def _vrc(c):
    return Vrc(L.from_text(c.version), L.from_text(c.release), L.from_text(c.customer))


def _pack_profile(p):
    return PackProfile(p.number, L.from_text(p.source_application), L.from_text(p.target_application), p.parent,
                       p.depth, _vrc(p), L.from_text(p.description), L.from_text(p.source_extn),
                       L.from_text(p.target_extn))


def _stored_profile(p):
    return Profile(p.number, L.from_text(p.source_application), L.from_text(p.target_application), p.parent,
                   p.depth, _vrc(p), L.from_text(p.description), _counts(p.rules, p.rule_count))


def _target(t):
    return Target(t.profile, L.from_text(t.source_application), L.from_text(t.target_application), t.parent,
                  L.from_text(t.source_extn), L.from_text(t.target_extn),
                  Stored(bool(t.stored & S.STORED_PROFILE), bool(t.stored & S.STORED_SOURCE_APPLICATION),
                         bool(t.stored & S.STORED_TARGET_APPLICATION), bool(t.stored & S.PARENT_MISSING)))


def _c_target(keep, t, index):
    name = f"target {index + 1}"
    if not isinstance(t, Target):
        raise TypeError(f"{name} is a kestrel.Target, not {type(t).__name__}")
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


# ---- Packs ----

@dataclasses.dataclass(frozen=True, slots=True)
class _PackInfo:
    export_succeeded: bool
    revisions: bool
    for_sync: bool
    new_profile_number: int
    has_sums: bool
    applications: List[str]
    profiles: List[PackProfile]
    files: List[PackFile]
    missing_files: List[str]


class Pack:
    """A logic pack folder, read (its files checked against ExportMR.sums
    first; a pack without them is refused unless allow_without_sums). A Pack
    is a path: pass it wherever a folder is taken."""

    __slots__ = ("_path", "_info", "_written")

    def __init__(self, path: PathLike, *, allow_without_sums: bool = False):
        lib = L.library()
        data = L.to_bytes(path)
        with _Result(S.PackInfo, lib.kestrel_pack_info_free) as r:
            L.check(lib.kestrel_read_pack(data, len(data), S.ALLOW_WITHOUT_SUMS if _flag(
                allow_without_sums, "allow_without_sums") else 0, ctypes.byref(r.pointer)))
            c = r.pointer.contents
            self._path = L.from_text(c.folder)
            self._info = _PackInfo(bool(c.export_succeeded), bool(c.revisions), bool(c.for_sync),
                                   c.new_profile_number, bool(c.has_sums), _texts(c.applications, c.application_count),
                                   [_pack_profile(c.profiles[i]) for i in range(c.profile_count)],
                                   [_pack_file(c.files[i]) for i in range(c.file_count)],
                                   _texts(c.missing_files, c.missing_file_count))
        self._written = None

    def __fspath__(self) -> str:
        return self._path

    def __repr__(self) -> str:
        return f"kestrel.Pack({self._path!r})"

    @property
    def path(self) -> str:
        """The pack folder."""
        return self._path

    @property
    def export_succeeded(self) -> bool:
        """The manifest's status line says the export succeeded."""
        return self._info.export_succeeded

    @property
    def revisions(self) -> bool:
        """The pack carries revision information."""
        return self._info.revisions

    @property
    def for_sync(self) -> bool:
        """The pack was exported for a synchronisation."""
        return self._info.for_sync

    @property
    def new_profile_number(self) -> int:
        """The number a single-profile pack announces to the import; 0 none."""
        return self._info.new_profile_number

    @property
    def has_sums(self) -> bool:
        """The pack has ExportMR.sums (its files were checked against it)."""
        return self._info.has_sums

    @property
    def applications(self) -> List[str]:
        """The application codes the pack carries data of, as its manifest lists them."""
        return list(self._info.applications)

    @property
    def profiles(self) -> List[PackProfile]:
        """The pack's profiles, in its header file's order."""
        return list(self._info.profiles)

    @property
    def files(self) -> List[PackFile]:
        """Every file of the folder, by name, with its rows and sum."""
        return list(self._info.files)

    @property
    def missing_files(self) -> List[str]:
        """Files ExportMR.sums lists that the folder lacks."""
        return list(self._info.missing_files)

    @property
    def written(self) -> Optional[ExportReport]:
        """What the export that made this Pack wrote; None for a pack read."""
        return self._written


# ---- Stores ----

class Store(L.Handle):
    """A profile store opened by its location: a file (never created), or a
    server's postgresql:// URI or key=value pairs. Every statement waits at
    most `wait` seconds for a lock another program holds (then LockTimeout).
    Close it with close() or a `with` block. One thread at a time."""

    __slots__ = ("_location", "_wait")
    _FREE = "kestrel_store_close"
    _WHAT = "store"

    def __init__(self, location: PathLike, *, wait: int = DEFAULT_WAIT):
        self._handle = None
        self._lib = L.library()
        data = L.to_bytes(location)
        handle = ctypes.c_void_p()
        L.check(self._lib.kestrel_store_open(data, len(data), _int32(wait, "wait_seconds"), ctypes.byref(handle)))
        self._handle = handle
        self._location = location if isinstance(location, str) else os.fsdecode(location)
        self._wait = wait

    def __repr__(self) -> str:
        state = "" if self._handle else ", closed"
        return f"kestrel.Store({self._location!r}{state})"

    @property
    def location(self) -> str:
        """The location the store was opened by, as given."""
        return self._location

    def profiles(self) -> List[Profile]:
        """Every profile of the store, by number."""
        with _Result(S.StoredProfiles, self._lib.kestrel_stored_profiles_free) as r:
            L.check(self._lib.kestrel_store_profiles(self._live(), ctypes.byref(r.pointer)))
            out = r.pointer.contents
            return [_stored_profile(out.profiles[i]) for i in range(out.count)]

    def counts(self) -> Dict[str, int]:
        """The rows of every table, in the schema's order."""
        with _Result(S.Counts, self._lib.kestrel_counts_free) as r:
            L.check(self._lib.kestrel_store_counts(self._live(), ctypes.byref(r.pointer)))
            out = r.pointer.contents
            return _counts(out.tables, out.count)

    def export(self, profile: int, root: Optional[PathLike] = None, *, revisions: bool = False,
               single_profile: bool = False, new_number: int = 0, traverse_parent: bool = False,
               based_on: int = 0, for_sync: bool = False, overwrite: bool = False) -> Pack:
        """Exports a profile into a logic pack below `root` (None:
        $KESTREL_EXPORT_ROOT, else $HOME/ImpExpMR) and returns it: the chain
        of its base profiles, or with single_profile the profile alone with
        its rules resolved (announcing new_number to the import, and with
        traverse_parent taking an object's rules from its nearest ancestor
        that has them); based_on leaves ancestors numbered at or below it
        out. A pack of the same name is refused (PackExists) unless
        overwrite."""
        keep = _Keep()
        c = S.ExportRequest(ctypes.sizeof(S.ExportRequest), _int32(profile, "profile"), keep.text(root),
                            _flag(single_profile, "single_profile"), _int32(new_number, "new_number"),
                            _flag(traverse_parent, "traverse_parent"), _flag(revisions, "revisions"),
                            _int32(based_on, "based_on"), _flag(for_sync, "for_sync"), _flag(overwrite, "overwrite"), 0)
        with _Result(S.ExportReport, self._lib.kestrel_export_report_free) as r:
            L.check(self._lib.kestrel_export(self._live(), ctypes.byref(c), ctypes.byref(r.pointer)))
            out = r.pointer.contents
            folder = L.from_text(out.folder)
            written = ExportReport(_texts(out.files, out.file_count), _texts(out.applications, out.application_count),
                                   bool(out.revisions), _counts(out.rows, out.row_count))
        pack = Pack(folder)
        pack._written = written
        return pack

    def propose(self, pack: PathLike, *, allow_without_sums: bool = False) -> List[Target]:
        """The targets an import of the pack into this store starts from, one
        per pack profile, each marked with what the store holds (`stored`).
        Edit them and pass them as import_pack's `targets`."""
        data = L.to_bytes(pack)
        flags = S.ALLOW_WITHOUT_SUMS if _flag(allow_without_sums, "allow_without_sums") else 0
        with _Result(S.Targets, self._lib.kestrel_targets_free) as r:
            L.check(self._lib.kestrel_propose(self._live(), data, len(data), flags, ctypes.byref(r.pointer)))
            out = r.pointer.contents
            return [_target(out.targets[i]) for i in range(out.count)]

    def verify(self, pack: PathLike, *, targets: Optional[Sequence[Target]] = None,
               renumber: Optional[Mapping[int, int]] = None, allow_without_sums: bool = False,
               registry: Optional[PathLike] = None) -> List[Finding]:
        """The findings of a selection (the targets, else the proposal,
        renumbered), each naming its entry in place.entry; [] when it passes.
        Changes nothing."""
        keep = _Keep()
        c = self._request(keep, pack, targets, renumber, allow_without_sums=allow_without_sums, registry=registry)
        with _Result(S.Findings, self._lib.kestrel_findings_free) as r:
            L.check(self._lib.kestrel_verify(self._live(), ctypes.byref(c), ctypes.byref(r.pointer)))
            out = r.pointer.contents
            return [Finding(f.number, L.from_text(f.text), L.place_of(f.place))
                    for f in (out.findings[i] for i in range(out.count))]

    def check(self, pack: PathLike, *, targets: Optional[Sequence[Target]] = None,
              renumber: Optional[Mapping[int, int]] = None, allow_without_sums: bool = False,
              registry: Optional[PathLike] = None) -> None:
        """The check an import runs first, alone: the selection verified and
        every file the import would load read. Raises the first refusal with
        its place (file and line). Changes nothing."""
        keep = _Keep()
        c = self._request(keep, pack, targets, renumber, allow_without_sums=allow_without_sums, registry=registry)
        L.check(self._lib.kestrel_check(self._live(), ctypes.byref(c)))

    def would_replace(self, pack: PathLike, *, targets: Optional[Sequence[Target]] = None,
                      renumber: Optional[Mapping[int, int]] = None, allow_without_sums: bool = False,
                      registry: Optional[PathLike] = None) -> List[str]:
        """What importing the pack would delete and replace ("profile 30",
        "application ACC10"), to show before asking for consent; [] when
        nothing. Changes nothing."""
        keep = _Keep()
        c = self._request(keep, pack, targets, renumber, allow_without_sums=allow_without_sums, registry=registry)
        return self._would_replace(c)

    def _would_replace(self, c):
        with _Result(S.Texts, self._lib.kestrel_texts_free) as r:
            L.check(self._lib.kestrel_would_replace(self._live(), ctypes.byref(c), ctypes.byref(r.pointer)))
            out = r.pointer.contents
            return _texts(out.items, out.count)

    def import_pack(self, pack: PathLike, *, targets: Optional[Sequence[Target]] = None,
                    renumber: Optional[Mapping[int, int]] = None, replace: bool = False, dry_run: bool = False,
                    keep_work: bool = False, allow_without_sums: bool = False, wait: Optional[int] = None,
                    user: Optional[str] = None, registry: Optional[PathLike] = None) -> ImportReport:
        """Imports the pack as one unit of the store: all of it, or nothing.
        `targets` (one per pack profile, in its order; None: the proposal)
        then `renumber` (pack number to store number, applied to numbers and
        parents) say what each profile becomes. What the store holds already
        is deleted and replaced only with replace=True, else ReplaceRefused
        naming it. dry_run runs it all and rolls back. The import waits `wait`
        seconds (None: the store's) for another program's write lock; `user`
        is recorded as the last to change the rules (None: the login name);
        `registry` names the file recording the installation folder (None:
        the default one)."""
        keep = _Keep()
        c = self._request(keep, pack, targets, renumber, replace=replace, dry_run=dry_run, keep_work=keep_work,
                          allow_without_sums=allow_without_sums, wait=wait, user=user, registry=registry)
        with _Result(S.ImportReport, self._lib.kestrel_import_report_free) as r:
            status = self._lib.kestrel_import(self._live(), ctypes.byref(c), ctypes.byref(r.pointer))
            if status != 0:
                raise self._refusal(L.last_error(status), c)
            out = r.pointer.contents
            return ImportReport(
                [_pack_profile(out.sources[i]) for i in range(out.source_count)],
                [_target(out.targets[i]) for i in range(out.target_count)],
                bool(out.committed), bool(out.dry_run),
                [out.profiles_replaced[i] for i in range(out.profiles_replaced_count)],
                _texts(out.applications_replaced, out.applications_replaced_count),
                {L.from_text(out.rows[i].table): TableRows(out.rows[i].added, out.rows[i].deleted)
                 for i in range(out.row_count)},
                out.seconds, L.from_text(out.run_log))

    def _refusal(self, error, c):
        """A refused replacement carries what it would have replaced and the
        argument that allows it; the library's text may give the command
        line's advice, which a Python caller cannot follow."""
        if not isinstance(error, errors.ReplaceRefused):
            return error
        text = error.text.replace("; run it again with --replace", "")
        return errors.ReplaceRefused(error.number, text, error.place, replacing=self._would_replace(c))

    def _request(self, keep, pack, targets, renumber, *, replace=False, dry_run=False, keep_work=False,
                 allow_without_sums=False, wait=None, user=None, registry=None):
        if isinstance(targets, (str, bytes)) or (targets is not None and not isinstance(targets, Sequence)):
            raise TypeError("targets is a list of kestrel.Target")
        if renumber is not None and not isinstance(renumber, Mapping):
            raise TypeError("renumber maps a pack's profile number to the store's, as {30: 40}")
        c_targets, target_count = keep.array(S.Target, [_c_target(keep, t, i) for i, t in enumerate(targets or [])])
        pairs = [S.Renumber(_int32(a, f"renumber {i + 1} from"), _int32(b, f"renumber {i + 1} to"))
                 for i, (a, b) in enumerate((renumber or {}).items())]
        c_renumber, renumber_count = keep.array(S.Renumber, pairs)
        return S.ImportRequest(ctypes.sizeof(S.ImportRequest),
                               S.REPLACE if _flag(replace, "replace") else S.REPLACE_REFUSE, keep.text(pack),
                               c_targets, target_count, c_renumber, renumber_count, _flag(dry_run, "dry_run"),
                               _flag(keep_work, "keep_work"), _flag(allow_without_sums, "allow_without_sums"),
                               _int32(self._wait if wait is None else wait, "wait_seconds"), keep.text(user),
                               keep.text(registry))
