"""The exceptions of the package: one KestrelError per failure the library
reports, with its number (those of docs/errors.md), text and place, raised as
the subclass its number belongs to, so that a caller catches what it can
handle (a lock held elsewhere, a replacement not consented to) and lets the
rest through.

    KestrelError
    ├── InvalidArgument (also ValueError)   5 6 13 9070
    ├── SelectionError (also ValueError)    501-504 9012
    ├── ProfileNotFound (also LookupError)  2 9131
    ├── NotFound                            53 76
    ├── PackError                           a pack that cannot be read or written
    │   └── PackExists                      3
    ├── StoreError                          the store refused (1 91 94 90xx 9130, SQLite's and a server's codes)
    │   └── LockTimeout                     9031 9033
    ├── ReplaceRefused                      9030
    ├── ImportInterrupted                   9032
    └── NotInstalled                        505
"""

import dataclasses
from typing import Dict, List, Optional, Type


@dataclasses.dataclass(frozen=True)
class Place:
    """What a failure is about, as far as it is known: a pack file and its
    line (1 up; 0 unknown), a table, the entry of a selection (0-based index
    of its target; -1 none), a path. Empty fields say nothing."""

    file: str = ""
    line: int = 0
    table: str = ""
    entry: int = -1
    path: str = ""

    def __bool__(self) -> bool:
        return self != Place()


class KestrelError(Exception):
    """A failure: `number` and `text` as the library reports them, `place`
    what it is about, `hint` what a Python caller can do about it ("" when
    nothing is to be said)."""

    HINT = ""

    def __init__(self, number: int, text, place: Optional[Place] = None, hint: Optional[str] = None):
        if isinstance(text, bytes):
            text = text.decode("utf-8", "replace")
        super().__init__(number, text)
        self.number = number
        self.text = text
        self.place = place if place is not None else Place()
        self.hint = self.HINT if hint is None else hint

    def __str__(self) -> str:
        return f"error {self.number}: {self.text}" + (f" ({self.hint})" if self.hint else "")


class InvalidArgument(KestrelError, ValueError):
    """A value the call cannot take: outside its range (5) or its type (6),
    of no form of the type wanted (13), a text holding a NUL byte (9070)."""


class SelectionError(KestrelError, ValueError):
    """Targets that do not fit each other or the store: a number used twice
    (501), a parent not above its child (502), ... (the finding's entry in
    `place.entry`)."""


class ProfileNotFound(KestrelError, LookupError):
    """A profile the store does not hold."""


class NotFound(KestrelError):
    """A file or folder that does not exist (a store file, a pack folder)."""


class PackError(KestrelError):
    """A logic pack that cannot be read, trusted or written: a file outside
    its format (with its file and line in `place`), sums that do not match,
    no sums, a record of a profile the pack lacks, an unusable export root."""


class PackExists(PackError):
    """The pack an export would write exists already (export with
    overwrite=True to replace it)."""

    HINT = "export with overwrite=True to replace it"


class StoreError(KestrelError):
    """The store refused a statement (SQLite's code or the server's SQLSTATE
    as the number, with its message), or is no profile store."""


class LockTimeout(StoreError):
    """Another program held the store longer than the wait allowed."""


class ReplaceRefused(KestrelError):
    """The import would delete and replace what the store holds, and was not
    allowed to: `replacing` names it ("profile 30", "application ACC10");
    import with replace=True to replace it."""

    HINT = "import with replace=True to replace it"

    def __init__(self, number, text, place=None, hint=None, replacing: Optional[List[str]] = None):
        super().__init__(number, text, place, hint)
        self.replacing = list(replacing or [])


class ImportInterrupted(KestrelError):
    """The import was stopped and rolled back: the store is unchanged."""


class NotInstalled(KestrelError):
    """No installation folder is recorded where the import looks for it
    (pass registry= naming the file `kestrel setup` wrote)."""

    HINT = "pass registry= naming the file that kestrel setup wrote"


# Every number with a class of its own: the one table of them.
_BY_NUMBER: Dict[int, Type[KestrelError]] = {
    2: ProfileNotFound, 9131: ProfileNotFound,
    5: InvalidArgument, 6: InvalidArgument, 13: InvalidArgument, 9070: InvalidArgument,
    501: SelectionError, 502: SelectionError, 503: SelectionError, 504: SelectionError, 9012: SelectionError,
    53: NotFound, 76: NotFound,
    100: PackError, 9002: PackError, 9006: PackError, 9008: PackError, 9013: PackError,
    9043: PackError, 9044: PackError, 9045: PackError, 9046: PackError, 9047: PackError, 9050: PackError,
    9051: PackError, 9052: PackError, 9053: PackError, 9054: PackError, 9060: PackError,
    3: PackExists,
    1: StoreError, 91: StoreError, 94: StoreError, 9003: StoreError, 9011: StoreError, 9020: StoreError, 9021: StoreError,
    9023: StoreError, 9024: StoreError, 9040: StoreError, 9041: StoreError, 9042: StoreError, 9130: StoreError,
    9031: LockTimeout, 9033: LockTimeout,
    9030: ReplaceRefused,
    9032: ImportInterrupted,
    505: NotInstalled,
}

# Our own numbers run from 9001 to 9999; below them, above the run time's and
# the procedures' (under 256, and those the table names), are SQLite's
# extended codes, and above them a server's SQLSTATE. SQLite's primary codes
# share their numbers with the run time's; of them only 1, its "SQL error"
# ("no such table: ..."), reaches a caller as itself.
_OURS = range(9001, 10000)


def class_of(number: int) -> Type[KestrelError]:
    """The exception class a failure of this number is raised as."""
    found = _BY_NUMBER.get(number)
    if found is not None:
        return found
    if number >= 256 and number not in _OURS and number not in (899, 999):
        return StoreError
    return KestrelError


def error(number: int, text, place: Optional[Place] = None, **extra) -> KestrelError:
    """The exception of a failure, of the class its number belongs to."""
    return class_of(number)(number, text, place, **extra)
