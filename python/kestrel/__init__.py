"""Kestrel from Python through the C interface of libkestrel.so
(include/kestrel.h), with ctypes and nothing to compile: the engine's typed
calls (a Store, export, read_pack, propose, verify, check, import_pack, with
requests and results as dataclasses), and the two classes of the original
component with their properties and methods by name.

    import kestrel
    with kestrel.Store("profiles.db") as source, kestrel.Store("other.db") as target:
        pack = source.export(profile=30, root="/srv/packs").folder
        report = target.import_pack(pack, renumber={30: 930})

    export = kestrel.Export(store="profiles.db")
    export.MigrationProfileTobeExported = 30
    export.Path = "/srv/packs"
    pack = export.export()                    # the pack folder; kestrel.KestrelError on failure

The library is the file KESTREL_LIBRARY names, else libkestrel.so beside
this package, else the one of an installation (PREFIX/lib, this package being
in PREFIX/share/kestrel/python), else the one the dynamic linker finds.
Texts cross as the library's bytes, never transcoded: a str is encoded as
UTF-8 with surrogateescape on the way in (bytes pass as they are) and texts
come back as str decoded the same way, so that any byte, valid UTF-8 or not,
comes back as it went (as os.fsencode and os.fsdecode treat file names).
A text holding a NUL byte is refused by the library (KestrelError 9070,
naming it); a number is refused before it reaches the library when it is
beyond its field's type (6: 64 bits for the objects' numbers, 32 for the
typed calls' fields), and by the library when it is outside what its property,
argument or field takes (5 or 6, see include/kestrel.h).
One thread at a time per object or Store.
"""

from .errors import KestrelError, Place
from .details import Details, Entry, Verification
from .engine import (ExportReport, ExportRequest, Finding, ImportReport, ImportRequest, PackFile, PackInfo,
                     PackProfile, Store, Stored, TableRows, Target, Vrc, read_pack)
from .objects import Export, Import

__all__ = ["Details", "Entry", "Export", "ExportReport", "ExportRequest", "Finding", "Import", "ImportReport",
           "ImportRequest", "KestrelError", "PackFile", "PackInfo", "PackProfile", "Place", "Store", "Stored",
           "TableRows", "Target", "Verification", "Vrc", "read_pack"]
