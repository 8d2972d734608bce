"""Kestrel from Python: the two classes of libkestrel.so through its C
interface (include/kestrel.h), with ctypes and nothing to compile.

    import kestrel
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
beyond 64 bits (6), and by the library when it is outside what its property
or argument takes (5 or 6, see include/kestrel.h).
One thread at a time per object.
"""

from .errors import KestrelError
from .details import Details, Entry, Verification
from .objects import Export, Import

__all__ = ["Details", "Entry", "Export", "Import", "KestrelError", "Verification"]
