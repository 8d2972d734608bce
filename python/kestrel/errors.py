"""The exception the binding raises: a failure's number, text and place, as
the library reports them (the numbers are those of docs/errors.md)."""

import dataclasses


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

    def __bool__(self):
        return self != Place()


class KestrelError(Exception):
    def __init__(self, number, text, place=None):
        if isinstance(text, bytes):
            text = text.decode("utf-8", "replace")
        super().__init__(f"error {number}: {text}")
        self.number = number
        self.text = text
        self.place = place if place is not None else Place()
