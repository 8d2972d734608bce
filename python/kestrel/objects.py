"""Export and Import: clsExport and clsImport as Python objects. Their
properties keep the classes' names; the methods of the classes' own names
return what the classes return (the result, then the by-reference
arguments), and the lower-case helpers raise KestrelError where the class
would return false."""

import ctypes

from . import _library as L
from .details import Details, Verification, messages
from .errors import KestrelError

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

    def _live(self):
        if not self._handle:
            raise KestrelError(91, "the object was released")
        return self._handle

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
        return KestrelError(self.ErrorNumber or _NO_NUMBER, self.ErrorDescription or message or "failed")


class Export(_Object):
    """Kestrel20ImpExp.clsExport: writes the logic pack of one profile."""

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
        """Exports and returns the pack folder; raises KestrelError on failure."""
        if not self.ExportMigrationProfiles():
            raise self._failure()
        return self.Path


class Import(_Object):
    """Kestrel20ImpExp.clsImport: shows, verifies and imports a logic pack.
    Creating one needs the installation folder recorded (KESTREL_REGISTRY)."""

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

    def import_pack(self, details):
        """Imports the pack with a selection (as verify takes it); returns the
        details the import ends with; raises KestrelError on failure."""
        text = details.with_targets() if isinstance(details, Details) else details
        ok, after, message = self.ImportLogicPack(text)
        if not ok:
            raise self._failure(message)
        return Details.parse(after)
