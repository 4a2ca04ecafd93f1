# jasokit serve with its address database file changed under it: cut short or
# written over in place (errors, never a crash), replaced by rename (loaded
# again without a failed request), and SIGHUP.
import json
import os
import shutil
import signal
import subprocess
import threading
import time
import urllib.parse

from conftest import SOURCE_DIR, Server
from test_serve import request

LOOKUP = "/v1/lookup?" + urllib.parse.urlencode({"q": "개포로17길 9-3"})
CONVERT = "/v1/convert?" + urllib.parse.urlencode({"text": "서울 강남구 개포로17길 9-3", "style": "official"})


def rows(port):
    status, _, body = request(port, "GET", "/healthz")
    return json.loads(body)["address_database"]["rows"] if status == 200 else status


def wait_for(what, expected, deadline=10.0):
    end = time.monotonic() + deadline
    while time.monotonic() < end:
        got = what()
        if got == expected:
            return
        time.sleep(0.1)
    assert got == expected


def test_a_database_changed_under_the_service(cli, address_db, tmp_path):
    db = tmp_path / "address.db"
    shutil.copyfile(address_db, db)
    with open(SOURCE_DIR / "data" / "korea-post-sample.txt", encoding="utf-8") as f:
        lines = f.readlines()
    (tmp_path / "part.txt").write_text("".join(lines[:101]), encoding="utf-8")
    subprocess.run([cli, "addrdb", "build", str(tmp_path / "part.txt"), "-o", str(tmp_path / "part.db")],
                   check=True, capture_output=True, timeout=60)
    s = Server(cli, "--addrdb", str(db))
    try:
        status, _, found = request(s.port, "GET", LOOKUP)
        assert status == 200 and json.loads(found)["matches"]
        converted = request(s.port, "GET", CONVERT)
        assert b'"source":"database"' in converted[2]

        # Cut short in place: every answer that needs the data is an error.
        os.truncate(db, 100)
        for path in [LOOKUP, CONVERT, "/healthz"]:
            status, _, body = request(s.port, "GET", path)
            assert status == 503 and b"changed while open" in body, path
        assert request(s.port, "GET", "/v1/convert?text=x")[0] == 200  # the rest still works

        # Written back in place, as cp does: loaded again.
        shutil.copyfile(address_db, db)
        wait_for(lambda: request(s.port, "GET", LOOKUP)[::2], (200, found))
        assert request(s.port, "GET", CONVERT)[2] == converted[2]

        # Replaced by rename while requests keep coming: none fails.
        statuses, stop = [], threading.Event()

        def keep_asking():
            while not stop.is_set():
                statuses.append(request(s.port, "GET", CONVERT)[0])

        asking = threading.Thread(target=keep_asking)
        asking.start()
        try:
            os.rename(tmp_path / "part.db", db)
            wait_for(lambda: rows(s.port), 100)
        finally:
            stop.set()
            asking.join()
        assert statuses and set(statuses) == {200}

        # SIGHUP loads the file at once, whatever it looks like.
        shutil.copyfile(address_db, tmp_path / "full.db")
        os.rename(tmp_path / "full.db", db)
        s.process.send_signal(signal.SIGHUP)
        wait_for(lambda: rows(s.port), 313)
    finally:
        rc, err = s.stop()
    assert rc == 0, err
    assert "address database loaded again" in err
