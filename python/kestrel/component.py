"""The original component's two classes for hosts written against them:
Export and Import (clsExport and clsImport) as Python objects, and a logic
pack's details string as Details and Entry. Their properties keep the
classes' names (MigrationProfileTobeExported, traveseparent, ...); a name
the class does not have is refused with AttributeError. The methods of the
classes' own names return what the classes return (the result, then the
by-reference arguments); the lower-case helpers raise KestrelError (of the
class its number belongs to) where the class would return false. Details
carry numbers as the details string does, as texts with their markers.

    from kestrel.component import Export
    with Export(store="profiles.db") as export:
        export.MigrationProfileTobeExported = 30
        export.Path = "/srv/packs"
        pack = export.export()

New code uses kestrel.Store and kestrel.Pack instead.
"""

import ctypes
import dataclasses
from typing import List

from . import _library as L
from . import errors

__all__ = ["Details", "Entry", "Export", "Import", "Verification"]

# A failure that left no number of its own (docs/errors.md: Internal).
_NO_NUMBER = 9001


def _property(name, kind, readable=True, writable=True):
    """A Python property over a property of the class: kind "text", "number"
    (int or bool) or "any" (the two that take either)."""

    def get(self):
        if kind == "text":
            return self._get_text(name)
        value = self._get_number(name)
        return bool(value) if kind == "bool" else value

    def put(self, value):
        if kind == "text" or (kind == "any" and isinstance(value, (str, bytes))):
            self._put_text(name, value)
        else:
            self._put_number(name, value)

    return property(get if readable else None, put if writable else None)


class _Object(L.Handle):
    __slots__ = ()
    PROG_ID = b""
    _FREE = "kestrel_release"

    def __init__(self, store=None):
        self._lib = L.library()
        handle = ctypes.c_void_p()
        L.check(self._lib.kestrel_create(self.PROG_ID, ctypes.byref(handle)))
        self._handle = handle
        if store is not None:
            self.set_store(store)

    def set_store(self, location):
        """Opens the store (a file, or a server's postgresql:// URI or key=value
        pairs) as the DataConnection."""
        data = L.to_bytes(location)
        L.check(self._lib.kestrel_set_store(self._live(), data, len(data)))

    ErrorNumber = _property("ErrorNumber", "number", writable=False)
    ErrorDescription = _property("ErrorDescription", "text", writable=False)

    def _put_text(self, name, value):
        data = L.to_bytes(value)
        L.check(self._lib.kestrel_put_text(self._live(), name.encode(), data, len(data)))

    def _put_number(self, name, value):
        number = L.to_number(value, name)
        L.check(self._lib.kestrel_put_number(self._live(), name.encode(), number))

    def _get_text(self, name):
        out = ctypes.POINTER(ctypes.c_char)()
        length = ctypes.c_size_t()
        L.check(self._lib.kestrel_get_text(self._live(), name.encode(), ctypes.byref(out), ctypes.byref(length)))
        return L.from_text(L.Text(out, length.value))

    def _get_number(self, name):
        out = ctypes.c_int64()
        L.check(self._lib.kestrel_get_number(self._live(), name.encode(), ctypes.byref(out)))
        return out.value

    def _call(self, name, args=()):
        """Calls a method; `args` are texts and numbers in order (None for an
        out-only one). Returns the result and the Arg array written back."""
        array = (L.Arg * max(1, len(args)))()
        keep = []
        for i, value in enumerate(args):
            if isinstance(value, int):
                array[i].number = L.to_number(value, f"{name} argument {i + 1}")
            elif value is not None:
                data = L.to_bytes(value)
                keep.append(data)
                array[i].text.bytes = ctypes.cast(ctypes.c_char_p(data), ctypes.POINTER(ctypes.c_char))
                array[i].text.length = len(data)
        result = ctypes.c_int()
        L.check(self._lib.kestrel_call(self._live(), name.encode(), array, len(args), ctypes.byref(result)))
        return bool(result.value), array

    def _failure(self, message=""):
        # A procedure's numbers mean what that procedure says (1 is a missing
        # pack folder to one, a missing profile to another): no subclass.
        return errors.KestrelError(self.ErrorNumber or _NO_NUMBER, self.ErrorDescription or message or "failed")


class Export(_Object):
    """Kestrel20ImpExp.clsExport: writes the logic pack of one profile."""

    __slots__ = ()
    PROG_ID = b"Kestrel20ImpExp.clsExport"

    traveseparent = _property("traveseparent", "bool")
    NewProfileNumber = _property("NewProfileNumber", "number", readable=False)
    MigrationProfileTobeExported = _property("MigrationProfileTobeExported", "number", readable=False)
    # Read back after an export: the pack folder.
    Path = _property("Path", "text")
    OverWrite = _property("OverWrite", "bool", readable=False)
    ExportRevisionInformation = _property("ExportRevisionInformation", "bool", readable=False)
    ExportToSingleProfile = _property("ExportToSingleProfile", "bool", readable=False)
    TreskDataPath = _property("TreskDataPath", "text", readable=False)
    ExportBasedOn = _property("ExportBasedOn", "any", readable=False)
    ExportForSync = _property("ExportForSync", "any", readable=False)

    def ExportMigrationProfiles(self):
        return self._call("ExportMigrationProfiles")[0]

    def export(self):
        """Exports and returns the pack folder; raises KestrelError on failure.
        Path keeps the root it was given, so that the next export writes
        beside this pack, not inside it (the class itself leaves Path
        naming the pack folder)."""
        root = self.Path
        if not self.ExportMigrationProfiles():
            raise self._failure()
        folder = self.Path
        self.Path = root
        return folder


class Import(_Object):
    """Kestrel20ImpExp.clsImport: shows, verifies and imports a logic pack.
    Creating one needs the installation folder recorded (KESTREL_REGISTRY)."""

    __slots__ = ()
    PROG_ID = b"Kestrel20ImpExp.clsImport"

    LastModifiedUser = _property("LastModifiedUser", "text")
    Path = _property("Path", "text")
    DatabaseServer = _property("DatabaseServer", "text", readable=False)
    DatabaseName = _property("DatabaseName", "text", readable=False)
    DatabaseUser = _property("DatabaseUser", "text", readable=False)
    DatabasePassword = _property("DatabasePassword", "text", readable=False)
    DryRun = _property("DryRun", "bool", readable=False)
    KeepWork = _property("KeepWork", "bool", readable=False)
    AllowWithoutSums = _property("AllowWithoutSums", "bool", readable=False)
    LockWait = _property("LockWait", "number", readable=False)
    RefusedAt = _property("RefusedAt", "text", writable=False)

    # The methods of the class: (result, by-reference arguments...).
    def LoadToMAP150(self):
        return self._call("LoadToMAP150")[0]

    def ImportLogicPack(self, details):
        ok, a = self._call("ImportLogicPack", [details, None])
        return ok, L.from_text(a[0].text), L.from_text(a[1].text)

    def VerifyUserSelections(self, details):
        ok, a = self._call("VerifyUserSelections", [details, None, None])
        return ok, L.from_text(a[1].text), L.from_text(a[2].text)

    def ShowLogicPackDetails(self):
        ok, a = self._call("ShowLogicPackDetails", [None])
        return ok, L.from_text(a[0].text)

    def CheckLogicPack(self, details):
        ok, a = self._call("CheckLogicPack", [details, None])
        return ok, L.from_text(a[0].text), L.from_text(a[1].text)

    def GetDepthOfProfile(self, profile, parent):
        ok, a = self._call("GetDepthOfProfile", [profile, parent, 0])
        return ok, a[0].number, a[1].number, a[2].number

    def GetDevelopmentVRC(self, profile):
        ok, a = self._call("GetDevelopmentVRC", [profile, None])
        return ok, a[0].number, [L.from_text(a[1].items[i]) for i in range(a[1].count)]

    def GetLumoInstallationPath(self):
        ok, a = self._call("GetLumoInstallationPath", [None])
        return ok, L.from_text(a[0].text)

    # The flow of a host: details, an edited selection verified, the import.
    def details(self):
        """The pack's details (Path) against the store; raises on failure."""
        ok, text = self.ShowLogicPackDetails()
        if not ok:
            raise self._failure()
        return Details.parse(text)

    def verify(self, details):
        """Verifies a selection (Details, edited or not, or a details string)."""
        text = details.with_targets() if isinstance(details, Details) else details
        passed, checked, message = self.VerifyUserSelections(text)
        return Verification(passed, Details.parse(checked), messages(message))

    def import_pack(self, details, replace=False):
        """Imports the pack with a selection (as verify takes it); returns the
        details the import ends with; raises KestrelError on failure. What
        the store holds already (a target the verification marks "*") is
        deleted and replaced only with replace=True, else ReplaceRefused
        names it: ImportLogicPack itself replaces without asking."""
        text = details.with_targets() if isinstance(details, Details) else details
        if not replace:
            verified = self.verify(text)
            replacing = _replacing(verified.details.targets) if verified.passed else []
            if replacing:
                raise errors.ReplaceRefused(9030, "The import would delete and replace what the store holds: "
                                            + ", ".join(replacing), replacing=replacing)
        ok, after, message = self.ImportLogicPack(text)
        if not ok:
            raise self._failure(message)
        return Details.parse(after)


# ---- Details: the lists of a details string ----

@dataclasses.dataclass(slots=True)
class Entry:
    """One profile of a list. A "*" after a number or an application marks
    what the store holds already (an import replaces it); after a parent, a
    profile the store lacks ("0*": no parent). Markers are never typed into
    a target: leave them out when editing."""

    profile: str
    source_application: str
    target_application: str
    parent: str
    source_extn: str
    target_extn: str

    def fields(self):
        return [getattr(self, f.name) for f in dataclasses.fields(self)]


@dataclasses.dataclass(slots=True)
class Details:
    """The details string as the import hands it out (`text`) and its two
    lists. Edit `targets` and pass the Details to Import.verify or
    Import.import_pack: they send the proposal's sources with these targets."""

    text: str
    sources: List[Entry]
    targets: List[Entry]

    @classmethod
    def parse(cls, text):
        return cls(text, _entries(text, L.SOURCES), _entries(text, L.TARGETS))

    def with_targets(self):
        """The details string of the sources and the (edited) targets."""
        entries = (L.Text * max(1, len(self.targets)))()
        keep = []
        for i, entry in enumerate(self.targets):
            # A number given as an int goes as its digits.
            data = L.to_bytes("|".join(f if isinstance(f, (str, bytes)) else str(f) for f in entry.fields()))
            keep.append(data)
            entries[i].bytes = ctypes.cast(ctypes.c_char_p(data), ctypes.POINTER(ctypes.c_char))
            entries[i].length = len(data)
        proposal = L.to_bytes(self.text)
        out = ctypes.POINTER(ctypes.c_char)()
        length = ctypes.c_size_t()
        L.check(L.library().kestrel_details_with_targets(proposal, len(proposal), entries, len(self.targets),
                                                         ctypes.byref(out), ctypes.byref(length)))
        return L.from_text(L.Text(out, length.value))


@dataclasses.dataclass(slots=True)
class Verification:
    """What a verification of a selection said: whether it passes, the details
    checked (with the markers the store gives them) and the messages, one
    per line."""

    passed: bool
    details: Details
    messages: List[str]


def _replacing(targets):
    """What verified targets say an import would replace: the profiles the
    store holds, then the applications, each once."""
    profiles = [f"profile {t.profile[:-1]}" for t in targets if t.profile.endswith("*")]
    applications = []
    for t in targets:
        for code in (t.source_application, t.target_application):
            if code.endswith("*") and f"application {code[:-1]}" not in applications:
                applications.append(f"application {code[:-1]}")
    return profiles + applications


def _entries(text, which):
    data = L.to_bytes(text)
    fields = ctypes.POINTER(L.Text)()
    count = ctypes.c_size_t()
    L.check(L.library().kestrel_details_entries(data, len(data), which, ctypes.byref(fields), ctypes.byref(count)))
    return [Entry(*(L.from_text(fields[i * L.ENTRY_FIELDS + k]) for k in range(L.ENTRY_FIELDS)))
            for i in range(count.value)]


def messages(text):
    """A verification's messages, split where the library splits them."""
    data = L.to_bytes(text)
    items = ctypes.POINTER(L.Text)()
    count = ctypes.c_size_t()
    L.check(L.library().kestrel_messages(data, len(data), ctypes.byref(items), ctypes.byref(count)))
    return [L.from_text(items[i]) for i in range(count.value)]
