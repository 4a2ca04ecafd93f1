import os
import pathlib

import pytest

SOURCE_DIR = pathlib.Path(os.environ.get("JASOKIT_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))


@pytest.fixture(scope="session")
def cli() -> str:
    """The built jasokit program (ctest passes its path)."""
    path = os.environ.get("JASOKIT_CLI", "")
    if not os.access(path, os.X_OK):
        pytest.skip("JASOKIT_CLI does not name the built jasokit program")
    return path


@pytest.fixture(scope="session")
def full_data() -> pathlib.Path:
    """The folder with the real zip code data, when it is there."""
    folder = pathlib.Path(os.environ.get("JASOKIT_TEST_DATA_DIR", SOURCE_DIR.parent / "shared" / "data"))
    if not (folder / "zipcode030101t6.dbf").is_file():
        pytest.skip("no full zip code table in JASOKIT_TEST_DATA_DIR")
    return folder
