import os
from typing import TYPE_CHECKING, Iterable, Literal, TypedDict

if TYPE_CHECKING:
    import pandas

__version__: str

_Style = Literal["classic", "official"]
_Path = str | bytes | os.PathLike[str] | os.PathLike[bytes]

class AddressFields(TypedDict):
    detail: str
    street: str
    district: str
    region: str
    postcode: str
    country: str
    source: str

class Result:
    @property
    def status(self) -> Literal["TooLong", "Empty", "Address", "PlainText"]: ...
    @property
    def normalized(self) -> str: ...
    @property
    def output(self) -> str: ...
    @property
    def fields(self) -> AddressFields | None: ...

class AddressDB:
    def __init__(self, path: str | None = None) -> None: ...
    def lookup(self, query: str) -> list[dict[str, str]]: ...

def convert(
    text: str, style: _Style = "classic", country: str | None = None, db: AddressDB | Literal[False] | None = None
) -> Result: ...
def convert_many(
    texts: Iterable[str],
    style: _Style = "classic",
    country: str | None = None,
    threads: int | None = None,
    db: AddressDB | Literal[False] | None = None,
) -> list[str]: ...
def convert_series(
    series: pandas.Series,
    style: _Style = "classic",
    country: str | None = None,
    threads: int | None = None,
    db: AddressDB | Literal[False] | None = None,
) -> pandas.Series: ...
def romanize(text: str, style: _Style = "classic") -> str: ...
def romanize_name(
    text: str,
    surname: Literal["common", "rr"] = "common",
    hyphen: bool = False,
    given_first: bool = False,
    upper: bool = False,
) -> str: ...
def romanize_many(texts: Iterable[str], style: _Style = "classic", threads: int | None = None) -> list[str]: ...

class ZipRecord:
    @property
    def zip_code(self) -> str: ...
    @property
    def province(self) -> str: ...
    @property
    def district(self) -> str: ...
    @property
    def locality(self) -> str: ...
    @property
    def detail(self) -> str: ...

class ZipTable:
    def __init__(self, path: _Path | None = None) -> None: ...
    def find(self, name: str) -> list[ZipRecord]: ...
    def lines(self, name: str) -> list[str]: ...
    @property
    def sample(self) -> bool: ...
    def __len__(self) -> int: ...

def default_table_path() -> str: ...
