# jasokit serve against the command line's --json, over real HTTP on loopback.
import csv
import http.client
import json
import random
import socket
import subprocess
import threading
import time
import urllib.parse

import pytest

from conftest import SOURCE_DIR, Server


def request(port, method, path, body=None, headers=None):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    try:
        connection.request(method, path, body=body, headers=headers or {})
        response = connection.getresponse()
        return response.status, dict(response.getheaders()), response.read()
    finally:
        connection.close()


def post_json(port, payload: bytes):
    return request(port, "POST", "/v1/convert", payload, {"Content-Type": "application/json"})


def generated_texts(count):
    """Address-like and other texts as bytes, some with invalid UTF-8."""
    with open(SOURCE_DIR / "data" / "zipcode-sample.csv", encoding="utf-8", newline="") as f:
        rows = [row for row in csv.reader(f) if row and row[0] != "zipcode"]
    rng = random.Random(20261208)
    words = ["서울특별시", "경기도", "세종특별자치시", "테헤란로", "152", "(06236)", "3층", "1104호", "번지", "산1",
             "café", "😀", "ABC", "읽어요", "\t", "\\", '"', "鍾路"]
    texts = []
    for _ in range(count):
        parts = [p for p in rng.choice(rows)[1:] if p]
        kind = rng.random()
        if kind < 0.6:
            parts.append(str(rng.randint(1, 999)))
        elif kind < 0.9:
            parts = rng.sample(parts + rng.sample(words, 3), k=len(parts) + 2)
        else:
            parts = parts * rng.randint(60, 120)  # around the length limit
        text = rng.choice([" ", "  "]).join(parts).encode()
        if rng.random() < 0.05:
            text += b"\xff\xc3"
        texts.append(text)
    return texts


TEXTS = generated_texts(400)


def cli_lines(cli, args, stdin: bytes):
    result = subprocess.run([cli, *args], input=stdin, capture_output=True, timeout=60)
    return result.stdout.decode().splitlines()


def json_bytes_string(text: bytes) -> bytes:
    """A JSON string literal that keeps invalid UTF-8 bytes as they are."""
    return b'"' + text.replace(b"\\", b"\\\\").replace(b'"', b'\\"').replace(b"\t", b"\\t") + b'"'


@pytest.mark.parametrize("style", ["classic", "official"])
def test_convert_answers_equal_the_command_line(cli, server, style):
    expected = cli_lines(cli, ["convert", "--json", "--style", style, "--country", "Korea"], b"\n".join(TEXTS) + b"\n")
    assert len(expected) == len(TEXTS)
    body = (b'{"style":"' + style.encode() + b'","country":"Korea","texts":[' +
            b",".join(json_bytes_string(t) for t in TEXTS) + b"]}")
    status, headers, answer = post_json(server.port, body)
    assert status == 200 and headers["Content-Type"] == "application/json"
    assert answer.decode() == '{"results":[' + ",".join(expected) + "]}"
    for text, line in list(zip(TEXTS, expected))[::10]:
        query = urllib.parse.urlencode({"text": text, "style": style, "country": "Korea"})
        status, _, answer = request(server.port, "GET", "/v1/convert?" + query)
        assert (status, answer.decode()) == (200, line)


CSV = ("\ufeffname,address\r\n박민수,서울특별시 강남구 테헤란로 152\r\n\r\n"
       '"Lee, J",\"부산 해운대구 우동\"\r\n김철수,\r\n').encode()


@pytest.mark.parametrize("params,options", [
    ({"column": "2"}, ["--column", "2"]),
    ({"column": "address", "header": "1", "style": "official"}, ["--column", "address", "--header", "--style",
                                                                  "official"]),
    ({"column": "2", "in_place": "1"}, ["--column", "2", "--in-place"]),
    ({"column": "2", "header": "1", "output_column": "en"}, ["--column", "2", "--header", "--output-column", "en"]),
])
def test_csv_answers_equal_the_command_line(cli, server, params, options):
    for body, cp949 in [(CSV, False), (CSV.decode().replace("\ufeff", "").encode("cp949"), True)]:
        extra = {"cp949": "1"} if cp949 else {}
        expected = subprocess.run([cli, "convert", "--csv", *options] + (["--cp949"] if cp949 else []), input=body,
                                  capture_output=True, timeout=30).stdout
        status, headers, answer = request(server.port, "POST", "/v1/convert/csv?" +
                                          urllib.parse.urlencode({**params, **extra}), body,
                                          {"Content-Type": "text/csv"})
        assert (status, headers["Content-Type"].split(";")[0], answer) == (200, "text/csv", expected)


@pytest.mark.parametrize("body,line,reason", [
    (b'name,address\n"kim,\xec\x84\x9c\xec\x9a\xb8\n', "line 2:", "quote"),
    ('박"민수,서울 강남구\n'.encode(), "line 1:", "a quote inside unquoted field 1"),
    (b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR\x00\x00\x00\x10" + b'"\x00' * 40, "line ", ""),
])
def test_csv_malformed_is_400_with_the_command_lines_words(cli, server, body, line, reason):
    err = subprocess.run([cli, "convert", "--csv", "--column", "2"], input=body, capture_output=True,
                         timeout=30).stderr.decode()
    status, _, answer = request(server.port, "POST", "/v1/convert/csv?column=2", body, {"Content-Type": "text/csv"})
    message = json.loads(answer)["error"]
    assert status == 400 and message.startswith(line) and reason in message
    assert f"jasokit convert: {message}; the output stops before this record" in err


def test_csv_hint_options_and_media_type(server):
    path = "/v1/convert/csv?column=2"
    status, headers, _ = request(server.port, "POST", path, "x,서울 강남구\n".encode("cp949"),
                                 {"Content-Type": "text/csv"})
    assert (status, headers.get("X-Jasokit-Hint")) == (200, "cp949")
    for query, content_type, expected in [
        ("column=2", "application/json", (415, "the body must be text/csv")),
        ("column=name", "text/csv", (400, "'column' 'name' is a name, which needs header=1")),
        ("column=0", "text/csv", (400, "'column' counts from 1")),
        ("column=3", "text/csv", (400, "line 1: ")),
    ]:
        status, _, answer = request(server.port, "POST", "/v1/convert/csv?" + query, b"a,b\n",
                                    {"Content-Type": content_type})
        assert (status, json.loads(answer)["error"][:len(expected[1])]) == expected
    status, headers, _ = request(server.port, "GET", path)
    assert (status, headers["Allow"]) == (405, "POST")


def test_a_nul_cuts_the_text_with_a_warning(server):
    query = urllib.parse.urlencode({"text": "서울특별시 강남구\0 테헤란로 152", "style": "official"})
    status, _, answer = request(server.port, "GET", "/v1/convert?" + query)
    result = json.loads(answer)
    assert (status, result["normalized"], [w["code"] for w in result["warnings"]]) == (
        200, "서울특별시 강남구", ["text-cut-at-nul"])
    status, _, answer = post_json(server.port, '{"texts": ["한국\\u0000어"]}'.encode())
    assert [w["code"] for w in json.loads(answer)["results"][0]["warnings"]] == ["text-cut-at-nul"]


def test_romanize_and_zip_answers_equal_the_command_line(cli, server, zip_table):
    for text in ["읽어요 같이", "종로 café"]:
        expected = cli_lines(cli, ["romanize", "--style", "official", text], b"")[0]
        status, _, answer = request(server.port, "GET", "/v1/romanize?" +
                                    urllib.parse.urlencode({"text": text, "style": "official"}))
        assert (status, json.loads(answer)) == (200, {"output": expected})
    for key, option, value in [("name", [], "청운동"), ("prefix", ["--prefix"], "역삼"), ("code", ["--code"], "110710"),
                               ("name", [], "없는동")]:
        expected = cli_lines(cli, ["zip", "--db", zip_table, "--json", *option, value], b"")[0]
        status, _, answer = request(server.port, "GET", "/v1/zip?" + urllib.parse.urlencode({key: value}))
        assert (status, answer.decode()) == (200, expected)


def test_lookup_health_and_official_conversion_use_the_address_database(cli, address_db):
    s = Server(cli, "--addrdb", address_db)
    try:
        # A query without a match is an answer too: 200 with no matches.
        for query, limit in [("개포로17길", "2"), ("06303", None), ("개포동 1245", None), ("G-heim", None),
                             ("없는로 1", None), ("rovhfh", "8")]:
            expected = cli_lines(cli, ["lookup", "--addrdb", address_db, "--json", "--limit", limit or "100"],
                                 query.encode() + b"\n")[0]
            params = {"q": query, **({"limit": limit} if limit else {})}
            status, _, answer = request(s.port, "GET", "/v1/lookup?" + urllib.parse.urlencode(params))
            assert (status, answer.decode()) == (200, expected)
        for params, error in [({"q": "x" * 1100}, "parameter 'q' is too long"), ({"q": " "}, "parameter 'q' is empty"),
                              ({"q": "06303", "limit": "0"}, "parameter 'limit' must be a number from 1 on")]:
            status, _, answer = request(s.port, "GET", "/v1/lookup?" + urllib.parse.urlencode(params))
            assert (status, json.loads(answer)["error"]) == (400, error)
        health = json.loads(request(s.port, "GET", "/healthz")[2])["address_database"]
        assert (health["rows"], health["skipped"], len(health["sources"])) == (313, 0, 1)
        assert health["sources"][0].startswith("korea-post-sample.txt (edition ")
        texts = ["서울특별시 강남구 개포로17길 9-3 2층", "서울 강남구 개포동 1245-5"]
        expected = cli_lines(cli, ["convert", "--addrdb", address_db, "--style", "official", "--json"],
                             "\n".join(texts).encode() + b"\n")
        assert '"source":"database"' in expected[0]  # written from the database
        for text, line in zip(texts, expected):
            query = urllib.parse.urlencode({"text": text, "style": "official"})
            assert request(s.port, "GET", "/v1/convert?" + query)[2].decode() == line
    finally:
        assert s.stop()[0] == 0


NAME_QUERIES = [
    ({}, []),
    ({"surname": "rr", "hyphen": "1"}, ["--surname", "rr", "--hyphen"]),
    ({"given_first": "true", "upper": "1", "surname": "common"}, ["--given-first", "--upper", "--surname", "common"]),
    ({"hyphen": "0"}, []),
]


@pytest.mark.parametrize("params,options", NAME_QUERIES, ids=range(len(NAME_QUERIES)))
def test_romanize_names_equal_the_command_line(cli, server, params, options):
    names = ["홍길동", "이주은", "남궁민", "황보 영", "김 연아", "서울특별시 강남구 테헤란로", "John", "가나다라마바사"]
    expected = cli_lines(cli, ["romanize", "--name", "--json", *options], "\n".join(names).encode() + b"\n")
    for name, line in zip(names, expected):
        query = urllib.parse.urlencode({"text": name, "name": "1", **params})
        assert request(server.port, "GET", "/v1/romanize?" + query)[:3:2] == (200, line.encode())
    # The same as one batch, with a name too long for the command line too.
    names.append("가" * 1400)
    expected = cli_lines(cli, ["romanize", "--name", "--json", *options], "\n".join(names).encode() + b"\n")
    body = json.dumps({"texts": names}).encode()
    status, _, answer = request(server.port, "POST", "/v1/romanize?" + urllib.parse.urlencode({"name": "1", **params}),
                                body, {"Content-Type": "application/json"})
    assert (status, answer.decode()) == (200, '{"results":[' + ",".join(expected) + "]}")


def test_health_page_and_headers(server):
    status, headers, answer = request(server.port, "GET", "/healthz")
    health = json.loads(answer)
    assert status == 200 and health["status"] == "ok" and health["zip_rows"] > 0 and health["zip_sample"] is True
    assert headers["X-Content-Type-Options"] == "nosniff"
    assert not any(h.lower().startswith("access-control") for h in headers)
    status, headers, page = request(server.port, "GET", "/")
    nonce = headers["Content-Security-Policy"].split("'nonce-")[1].split("'")[0]
    assert status == 200 and headers["Content-Type"] == "text/html; charset=utf-8"
    assert page.count(b'nonce="' + nonce.encode() + b'"') == 2 and b"%NONCE%" not in page
    assert nonce != request(server.port, "GET", "/")[1]["Content-Security-Policy"].split("'nonce-")[1].split("'")[0]


ERRORS = [
    ("GET", "/v1/convert", None, None, 400, "missing parameter 'text'"),
    ("GET", "/v1/convert?text=a&style=modern", None, None, 400, "unknown style 'modern' (classic or official)"),
    ("GET", "/v1/zip", None, None, 400, "missing parameter 'name', 'prefix' or 'code'"),
    ("GET", "/v1/zip?prefix=", None, None, 400, "an empty prefix would list every row"),
    ("POST", "/v1/convert", b'{"texts": ["a", 1]}', "application/json", 400,
     "invalid JSON at byte 16: \"texts\" must be an array of strings"),
    ("POST", "/v1/convert", b'{"texts": ["a"]', "application/json", 400, "invalid JSON at byte 15: '}' expected"),
    ("POST", "/v1/convert", b'{"style": "x"}', "application/json", 400, 'missing "texts"'),
    ("GET", "/v1/romanize?text=a&name=yes", None, None, 400, "'name' takes 1 or 0, not 'yes'"),
    ("GET", "/v1/romanize?text=a&name=1&surname=kim", None, None, 400, "unknown surname table 'kim' (common or rr)"),
    ("GET", "/v1/romanize?text=a&name=1&upper=2", None, None, 400, "'upper' takes 1 or 0, not '2'"),
    ("GET", "/v1/romanize?text=a&name=1&style=rr", None, None, 400, "'style' does not apply to names"),
    ("GET", "/v1/romanize?text=a&hyphen=1", None, None, 400, "'hyphen' needs name=1"),
    ("POST", "/v1/romanize", b'{"texts": []}', "application/json", 400,
     "POST /v1/romanize takes names: give name=1"),
    ("GET", "/v2/convert", None, None, 404, "no such path"),
    ("GET", "/v1/lookup?q=x", None, None, 404, "no address database"),
    ("POST", "/v1/zip", b"{}", "application/json", 405, "method not allowed"),
    ("DELETE", "/v1/convert", None, None, 405, "method not allowed"),
    ("POST", "/v1/convert", b"x" * 262145, "application/json", 413, "request body too large"),
    ("POST", "/v1/convert", b'{"texts": [' + b'"a",' * 10000 + b'"a"]}', "application/json", 413,
     "more than 10000 texts"),
    ("GET", "/v1/convert?text=" + "a" * 65536, None, None, 414, "URI too long"),
    ("POST", "/v1/convert", b'{"texts": []}', "text/plain", 415, "the body must be application/json"),
]


def test_the_longest_uri_with_headers_is_answered_by_the_service(server):
    # The connection's memory holds a URI at the bound and a head of headers
    # with it; what does not fit would be refused by the library without JSON.
    headers = {"X-Pad%d" % i: "p" * 7000 for i in range(8)}
    status, _, answer = request(server.port, "GET", "/v1/convert?text=" + "a" * 65400, None, headers)
    assert (status, json.loads(answer)["status"]) == (200, "TooLong")


@pytest.mark.parametrize("method,path,body,content_type,status,message", ERRORS, ids=range(len(ERRORS)))
def test_errors(server, method, path, body, content_type, status, message):
    headers = {"Content-Type": content_type} if content_type else {}
    got, response_headers, answer = request(server.port, method, path, body, headers)
    assert (got, json.loads(answer)) == (status, {"error": message, "status": status})
    assert response_headers["Content-Type"] == "application/json"


def test_a_uri_up_to_64_kib_is_served(cli, server):
    text = ("서울특별시 강남구 테헤란로 152 " * 200)[:3000]
    expected = cli_lines(cli, ["convert", "--json"], text.encode() + b"\n")[0]
    path = "/v1/convert?" + urllib.parse.urlencode({"text": text}, quote_via=urllib.parse.quote)
    for padded in [path, path + "%20" * ((60 * 1024 - len(path)) // 3)]:  # the text's own, and some 60 KiB
        status, _, answer = request(server.port, "GET", padded)
        assert (status, answer.decode()) == (200, expected)


def raw_exchange(port, data: bytes, wait=5.0) -> bytes:
    """Sends data, then reads one answer, or until the server closes."""
    with socket.create_connection(("127.0.0.1", port), timeout=wait) as s:
        s.sendall(data)
        answer = b""
        try:
            while chunk := s.recv(65536):
                answer += chunk
                head, _, body = answer.partition(b"\r\n\r\n")
                length = [line for line in head.split(b"\r\n") if line.lower().startswith(b"content-length:")]
                if length and len(body) >= int(length[0].split(b":")[1]):
                    break
        except (ConnectionResetError, socket.timeout) as e:
            return answer or repr(e).encode()
        return answer


MALFORMED = [
    b"\x00\xff garbage \r\n\r\n",
    b"GET / HTTP/1.1\r\nHost: x\r\nX: " + b"y" * 20000 + b"\r\n\r\n",
    b"POST /v1/convert HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: -5\r\n\r\n",
    b"POST /v1/convert HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: 99999999999999999999999\r\n\r\n",
    b"POST /v1/convert HTTP/1.1\r\nTransfer-Encoding: chunked\r\nContent-Type: application/json\r\n\r\nzz\r\n",
    bytes(random.Random(7).randrange(256) for _ in range(3000)),
]


@pytest.mark.parametrize("data", MALFORMED, ids=range(len(MALFORMED)))
def test_malformed_http_gets_400_or_a_closed_connection(server, data):
    answer = raw_exchange(server.port, data)
    assert answer == b"" or answer.startswith((b"HTTP/1.1 400", b"HTTP/1.1 413", b"ConnectionResetError")), answer
    assert request(server.port, "GET", "/healthz")[0] == 200


POST_HEAD = b"POST /v1/convert HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
# Heads that a proxy in front could read otherwise, and targets the HTTP library reads in ways of its own.
STRICT = [
    (POST_HEAD + b"Content-Length: 13\r\nContent-Length: 5\r\n\r\n{\"texts\":[]}x", 400,
     "conflicting Content-Length headers", True),
    (POST_HEAD + b"Transfer-Encoding: identity\r\n\r\n{\"texts\":[]}", 501,
     "only the chunked transfer coding is taken", True),
    (POST_HEAD + b"Transfer-Encoding: gzip, chunked\r\n\r\n0\r\n\r\n", 501,
     "only the chunked transfer coding is taken", True),
    (POST_HEAD + b"Content-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 400,
     "both Transfer-Encoding and Content-Length", True),
    (b"GET /v1/convert?" + b"&".join(b"p%d=v" % i for i in range(4000)) + b" HTTP/1.1\r\nHost: x\r\n\r\n", 400,
     "more than 100 query parameters", False),
    (b"GET /healthz%00 HTTP/1.1\r\nHost: x\r\n\r\n", 404, "no such path", False),
    # Over --max-body and of unknown length: answered while the body still comes, then read to its end.
    (POST_HEAD + b"Transfer-Encoding: chunked\r\n\r\n" + (b"10000\r\n" + b"x" * 65536 + b"\r\n") * 16 + b"0\r\n\r\n",
     413, "request body too large", True),
]


@pytest.mark.parametrize("data,status,message,closes", STRICT, ids=range(len(STRICT)))
def test_strict_http(server, data, status, message, closes):
    answer = raw_exchange(server.port, data)
    head, _, body = answer.partition(b"\r\n\r\n")
    assert head.startswith(b"HTTP/1.1 %d " % status), answer[:200]
    assert json.loads(body) == {"error": message, "status": status}
    assert (b"\r\nConnection: close" in head) == closes


def test_many_or_long_headers_are_refused(server):
    many = b"".join(b"X-%d: y\r\n" % i for i in range(200))
    answer = raw_exchange(server.port, b"GET /healthz HTTP/1.1\r\nHost: x\r\n" + many + b"\r\n")
    assert answer.startswith(b"HTTP/1.1 400") and answer.endswith(b'{"error":"request header fields too large","status":400}')
    # Past what a connection may hold: refused by the HTTP library, or closed.
    long = b"".join(b"X-%d: %s\r\n" % (i, b"y" * 8000) for i in range(64))
    answer = raw_exchange(server.port, b"GET /healthz HTTP/1.1\r\nHost: x\r\n" + long + b"\r\n")
    assert answer == b"" or answer.startswith((b"HTTP/1.1 4", b"ConnectionResetError")), answer[:100]
    assert request(server.port, "GET", "/healthz")[0] == 200


def test_a_slow_client_is_cut_off(server):
    start = time.monotonic()
    with socket.create_connection(("127.0.0.1", server.port), timeout=10) as s:
        s.sendall(b"GET /healthz HTTP/1.1\r\nHo")
        answer = s.recv(100)  # --timeout 1
        assert answer == b"" or answer.startswith(b"HTTP/1.1 400")
        while answer:
            answer = s.recv(100)
    assert time.monotonic() - start < 5


def test_concurrent_clients_and_the_bound_on_connections(cli, server):
    texts = [t.decode() for t in TEXTS[:60] if b"\xff" not in t and len(t) < 300]
    expected = cli_lines(cli, ["convert", "--json"], "\n".join(texts).encode() + b"\n")
    failures = []

    def client(offset):
        for i in range(offset, len(texts), 4):
            status, _, answer = request(server.port, "GET", "/v1/convert?" + urllib.parse.urlencode({"text": texts[i]}))
            if (status, answer.decode()) != (200, expected[i]):
                failures.append((status, answer))

    threads = [threading.Thread(target=client, args=(n,)) for n in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=60)
    assert not failures

    # Connections without a request hold no slot; with one thread, two with a request in (their bodies
    # awaited) do, and a third request is refused with 503.
    small = Server(cli, "--threads", "1", "--timeout", "2")
    try:
        idle = [socket.create_connection(("127.0.0.1", small.port), timeout=5) for _ in range(3)]
        time.sleep(0.2)
        served = raw_exchange(small.port, b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n")
        for _ in range(2):
            idle.append(socket.create_connection(("127.0.0.1", small.port), timeout=5))
            idle[-1].sendall(POST_HEAD + b"Content-Length: 10\r\n\r\n")
        time.sleep(0.2)
        answer = raw_exchange(small.port, b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n")
        for s in idle:
            s.close()
    finally:
        rc, _ = small.stop()
    assert rc == 0
    assert served.startswith(b"HTTP/1.1 200")
    assert answer.startswith(b"HTTP/1.1 503") and b"Retry-After: 1" in answer
    assert answer.endswith(b'{"error":"server overloaded; try again","status":503}')


def test_a_second_service_cannot_take_the_same_port(cli, server):
    second = subprocess.run([cli, "serve", "--listen", f"127.0.0.1:{server.port}"], capture_output=True, timeout=20,
                            env={"JASOKIT_ADDRDB": str(SOURCE_DIR / "no-such-address.db")})
    assert second.returncode == 3
    assert second.stderr.decode().splitlines()[-1] == \
        f"jasokit serve: cannot listen on 127.0.0.1:{server.port}: Address already in use"


def test_sigterm_finishes_the_request_in_flight_and_cors_and_log(cli):
    s = Server(cli, "--cors", "https://shop.example", "--log")
    status, headers, _ = request(s.port, "OPTIONS", "/v1/convert")
    assert status == 204 and headers["Access-Control-Allow-Origin"] == "https://shop.example"
    assert headers["Access-Control-Allow-Methods"] == "GET, POST"
    # Each field of the log escaped, and cut: the method as much as the path.
    for method in [b"G\rE\x1bT", b"X" * 5000]:
        raw_exchange(s.port, method + b" /a%0d%0a\\b HTTP/1.1\r\nHost: x\r\n\r\n")
    body = b'{"texts": [' + b",".join([b'"\xec\x84\x9c\xec\x9a\xb8 secret"'] * 10000) + b"]}"
    connection = socket.create_connection(("127.0.0.1", s.port), timeout=20)
    connection.sendall(b"POST /v1/convert HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                       b"Content-Length: %d\r\n\r\n" % len(body) + body)
    time.sleep(0.2)
    answer = []  # read while the server stops: a large answer leaves only as fast as it is read

    def read():
        while chunk := connection.recv(1 << 20):
            answer.append(chunk)

    reader = threading.Thread(target=read)
    reader.start()
    rc, err = s.stop()
    reader.join(timeout=20)
    connection.close()
    answer = b"".join(answer)
    assert answer.startswith(b"HTTP/1.1 200") and answer.endswith(b"}]}")
    assert rc == 0
    log = err.splitlines()
    assert [line.split(" ")[1:4] for line in log] == [
        ["OPTIONS", "/v1/convert", "204"], ["G\\x0dE\\x1bT", "/a\\x0d\\x0a\\x5cb", "404"],
        ["X" * 200 + "...", "/a\\x0d\\x0a\\x5cb", "404"], ["POST", "/v1/convert", "200"]]
    assert "secret" not in err


def kept_connections(port, n, seconds=5):
    """n connections the server keeps open, once it has seen the earlier ones close (a loaded
    server may count a closed connection a little longer against the client's cap)."""
    deadline = time.monotonic() + seconds
    while True:
        held = [socket.create_connection(("127.0.0.1", port), timeout=5) for _ in range(n)]
        if closed_within(held, 0.3) == 0 or time.monotonic() > deadline:
            return held
        for c in held:
            c.close()
        time.sleep(0.2)


def closed_within(sockets, seconds):
    """How many of the sockets the server closed (or reset) within the time, reading what comes."""
    deadline = time.monotonic() + seconds
    closed = 0
    for s in sockets:
        s.settimeout(max(0.01, deadline - time.monotonic()))
        try:
            while s.recv(65536):
                pass
            closed += 1
        except ConnectionResetError:
            closed += 1
        except socket.timeout:
            pass
    return closed


def test_slow_heads_and_idle_connections_neither_hold_slots_nor_stay(cli):
    # A byte of the head each 0.2 s stays under --timeout; --header-timeout cuts it all the same.
    s = Server(cli, "--threads", "2", "--timeout", "5", "--header-timeout", "2")
    idle = [socket.create_connection(("127.0.0.1", s.port), timeout=5) for _ in range(200)]
    slow = [socket.create_connection(("127.0.0.1", s.port), timeout=5) for _ in range(20)]
    started = time.monotonic()
    stop = threading.Event()

    def trickle():
        head = b"GET /healthz HTTP/1.1\r\nX-Slow: " + b"y" * 100
        for i in range(len(head)):
            for c in slow:
                try:
                    c.send(head[i:i + 1])
                except OSError:
                    pass
            if stop.wait(0.2):
                return

    sender = threading.Thread(target=trickle)
    sender.start()
    try:
        answers = [request(s.port, "GET", "/healthz")[0] for _ in range(20)]
        closed = closed_within(slow + idle, 2 + 2 - (time.monotonic() - started))
    finally:
        stop.set()
        sender.join(timeout=10)
        for c in slow + idle:
            c.close()
        assert s.stop()[0] == 0
    assert answers == [200] * 20
    assert closed == len(slow) + len(idle)


def test_a_slow_reader_of_a_large_answer_is_cut_off(cli):
    # Never silent for --timeout, but slower than --min-rate.
    s = Server(cli, "--threads", "2", "--timeout", "3", "--min-rate", "400000")
    # An answer of some 4 MB, far more than the sockets between the server and the reader hold.
    body = json.dumps({"texts": ["서울특별시 종로구 청운동 %d 1층 (%d호) 청운빌딩 앞" % (i, i) for i in range(10000)],
                       "style": "official"}, ensure_ascii=False).encode()
    c = socket.socket()
    c.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 65536)
    c.settimeout(5)
    received, ended = 0, False
    try:
        c.connect(("127.0.0.1", s.port))
        c.sendall(POST_HEAD + b"Content-Length: %d\r\n\r\n" % len(body) + body)
        started = time.monotonic()
        try:
            while time.monotonic() - started < 5:  # some 100 KB/s
                received += len(c.recv(8192))
                time.sleep(0.08)
            # Then as fast as it comes: what the server let go of, not the whole answer.
            while chunk := c.recv(65536):
                received += len(chunk)
            ended = True
        except ConnectionResetError:
            ended = True
    finally:
        c.close()
        assert s.stop()[0] == 0
    assert ended and received < 3_000_000, received


def test_bodies_past_the_answer_memory_and_clients_past_their_cap_are_refused(cli):
    s = Server(cli, "--answer-memory", "1000000", "--max-per-client", "3")
    try:
        body = json.dumps({"texts": ["서울"] * 20000}).encode()[:200000]
        status, _, answer = request(s.port, "POST", "/v1/convert", body, {"Content-Type": "application/json"})
        assert (status, json.loads(answer)) == (503, {"error": "server overloaded; try again", "status": 503})
        held = kept_connections(s.port, 3)
        assert closed_within(held, 0.3) == 0
        assert closed_within([socket.create_connection(("127.0.0.1", s.port), timeout=5)], 2) == 1
        for c in held:
            c.close()
    finally:
        assert s.stop()[0] == 0
