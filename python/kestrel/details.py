"""A logic pack's details as Python objects: the pack's source list and the
target list an import proposes or takes, read and put together by the
library (the details string's grammar lives there alone)."""

import ctypes
import dataclasses
from typing import List

from . import _library as L


@dataclasses.dataclass
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


@dataclasses.dataclass
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
            data = L.to_bytes("|".join(entry.fields()))
            keep.append(data)
            entries[i].bytes = ctypes.cast(ctypes.c_char_p(data), ctypes.POINTER(ctypes.c_char))
            entries[i].length = len(data)
        proposal = L.to_bytes(self.text)
        out = ctypes.POINTER(ctypes.c_char)()
        length = ctypes.c_size_t()
        L.check(L.library().kestrel_details_with_targets(proposal, len(proposal), entries, len(self.targets),
                                                         ctypes.byref(out), ctypes.byref(length)))
        return L.from_text(L.Text(out, length.value))


@dataclasses.dataclass
class Verification:
    """What a verification of a selection said: whether it passes, the details
    checked (with the markers the store gives them) and the messages, one
    per line."""

    passed: bool
    details: Details
    messages: List[str]


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
