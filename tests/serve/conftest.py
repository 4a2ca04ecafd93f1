import os
import pathlib
import signal
import subprocess
import time

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
def zip_table(cli) -> str:
    return str(pathlib.Path(cli).parent / "zipcode030101t6.dbf")


STARTED = []


@pytest.fixture(scope="session", autouse=True)
def no_server_left():
    """A test that failed before stopping its server does not leave it running."""
    yield
    for process in STARTED:
        if process.poll() is None:
            process.kill()
            process.wait(timeout=10)


class Server:
    """jasokit serve on a free loopback port, stopped by SIGTERM at the end."""

    def __init__(self, cli, *options):
        # No address database but one given with --addrdb, whatever this machine holds.
        env = dict(os.environ, JASOKIT_ADDRDB=str(SOURCE_DIR / "no-such-address.db"))
        self.process = subprocess.Popen([cli, "serve", "--listen", "127.0.0.1:0", *options],
                                        stderr=subprocess.PIPE, stdout=subprocess.DEVNULL, env=env)
        STARTED.append(self.process)
        self.lines = []
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            line = self.process.stderr.readline().decode()
            self.lines.append(line)
            if "listening on http://" in line:
                self.port = int(line.rsplit(":", 1)[1].strip().rstrip("/"))
                return
            if not line:
                break
        self.process.kill()
        raise RuntimeError("jasokit serve did not start: " + "".join(self.lines))

    def stop(self):
        """SIGTERM; the exit status and what was left on standard error."""
        self.process.send_signal(signal.SIGTERM)
        try:
            _, err = self.process.communicate(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise
        return self.process.returncode, err.decode()


@pytest.fixture(scope="session")
def address_db(cli, tmp_path_factory) -> str:
    """An address database built from the committed Korea Post sample."""
    path = tmp_path_factory.mktemp("addrdb") / "address.db"
    subprocess.run([cli, "addrdb", "build", str(SOURCE_DIR / "data" / "korea-post-sample.txt"), "-o", str(path)],
                   check=True, capture_output=True, timeout=60)
    return str(path)


@pytest.fixture(scope="module")
def server(cli, zip_table):
    s = Server(cli, "--db", zip_table, "--threads", "4", "--timeout", "1", "--max-body", "262144")
    yield s
    rc, _ = s.stop()
    assert rc == 0
