"""The exception the binding raises: a failure's number and text, as the
library reports them (the numbers are those of docs/errors.md)."""


class KestrelError(Exception):
    def __init__(self, number, text):
        if isinstance(text, bytes):
            text = text.decode("utf-8", "replace")
        super().__init__(f"error {number}: {text}")
        self.number = number
        self.text = text
