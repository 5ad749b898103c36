"""The exceptions that the library's errors become, one class per kind of error."""

from typing import Optional


class PackageError(Exception):
    """An error of the package library. Catch this to catch every one of its kinds."""


class CapnpError(PackageError):
    """The message layer failed: malformed framing, truncated input, a limit exceeded.

    ``description`` is the layer's own text.
    """

    def __init__(self, text: str, *, description: str) -> None:
        super().__init__(text)
        self.description = description


class IoError(PackageError):
    """An operating-system input/output error, with its ``errno`` and ``strerror``."""

    def __init__(self, text: str, *, errno: int, strerror: str) -> None:
        super().__init__(text)
        self.errno = errno
        self.strerror = strerror


class Utf8Error(PackageError):
    """A text of the message is not valid UTF-8.

    ``valid_up_to`` is the length in bytes of the valid prefix; ``error_len`` the length of
    the invalid sequence, or None when the text ends inside a sequence.
    """

    def __init__(self, text: str, *, valid_up_to: int, error_len: Optional[int]) -> None:
        super().__init__(text)
        self.valid_up_to = valid_up_to
        self.error_len = error_len


class SchemaEnumError(PackageError):
    """An enumeration number of the message that the schema does not define (``value``)."""

    def __init__(self, text: str, *, value: int) -> None:
        super().__init__(text)
        self.value = value


class InvalidPackageError(PackageError):
    """A rule of the package is broken.

    ``message`` is the rule's fixed text (also ``str(error)``); ``location`` the path of the
    element at fault in the records' field names, such as "tiles[3].segments[1]", or "" where
    no single element is at fault.
    """

    def __init__(self, message: str, *, location: str = "") -> None:
        super().__init__(message)
        self.message = message
        self.location = location
