"""Kestrel from Python: profile stores and logic packs through libkestrel.so
(its C interface, include/kestrel.h, with ctypes and nothing to compile).

    import kestrel
    with kestrel.Store("profiles.db") as source, kestrel.Store("other.db") as target:
        print(source.profiles())                       # [Profile(number=10, ...), ...]
        pack = source.export(30, "/srv/packs", revisions=True)
        print([p.number for p in pack.profiles])       # [10, 20, 30]
        print(target.would_replace(pack, renumber={30: 40}))
        report = target.import_pack(pack, renumber={30: 40}, replace=False)

Numbers are ints; results are dataclasses; a failure is a KestrelError of
the class its number belongs to (PackError, StoreError, LockTimeout,
ReplaceRefused, ... see kestrel.errors), with its number, text and place.
An import never replaces what the store holds unless asked (replace=True).
The original component's classes are in kestrel.component.

The library is the one KESTREL_LIBRARY names, else the one recorded when the
package was installed with pip, else libkestrel.so beside this package, else
that of an installation (PREFIX/lib, this package being in
PREFIX/share/kestrel/python), else the project's build (build/release, this
package being the sources' python/kestrel), else the one the dynamic linker
finds.
Texts cross as the library's bytes, never transcoded: a str goes as UTF-8
with surrogateescape (bytes as they are) and texts come back decoded the
same way, so that any byte comes back as it went (as os.fsencode and
os.fsdecode treat file names). One thread at a time per Store.
"""

from .errors import (ImportInterrupted, InvalidArgument, KestrelError, LockTimeout, NotFound, NotInstalled,
                     PackError, PackExists, Place, ProfileNotFound, ReplaceRefused, SelectionError, StoreError)
from .engine import (ExportReport, Finding, ImportReport, Pack, PackFile, PackProfile, Profile, Store, Stored,
                     TableRows, Target, Vrc)
from . import component

__version__ = "0.1.0"

__all__ = ["ExportReport", "Finding", "ImportInterrupted", "ImportReport", "InvalidArgument", "KestrelError",
           "LockTimeout", "NotFound", "NotInstalled", "Pack", "PackError", "PackExists", "PackFile", "PackProfile",
           "Place", "Profile", "ProfileNotFound", "ReplaceRefused", "SelectionError", "Store", "StoreError", "Stored",
           "TableRows", "Target", "Vrc", "component"]
