#!/usr/bin/env python3
"""Sends the hostile-HTTP catalogue to a running aspserve.exe and checks each answer.

    hostile_http.py PORT CASE_FILE... [--label TEXT]

Each CASE_FILE (tests/data/hostile-http/*.case) holds one request and the answer expected:

    # why the request is hostile and what the server must do
    expect: 400 close
    send: "GET /%FF HTTP/1.1\\r\\nHost: x\\r\\n\\r\\n"
    send: repeat 70000 "a"
    hold: 300 "GET / HTTP/1.1\\r\\nHost: x\\r\\n"

- expect: the statuses of the responses in order, then "close" when the server must close the
  connection after them (nothing more may arrive), or only "close" when it must close without
  answering. Without "close" the connection is left after the listed responses.
- send: bytes appended to the request: a quoted string (escapes \\r \\n \\t \\0 \\\\ \\" \\xHH) or
  "repeat N" and a quoted string.
- hold: before the request, N other connections each send the quoted bytes and wait; after the
  answer they must all still be open (no answer and no close from the server yet), which shows
  the request was served while they waited.

After each case a plain GET /hello.html on a new connection must answer 200: the server keeps
serving. Prints one "ok" or "FAIL" line per case with the answer seen; exits 1 when one failed.
"""
import re
import select
import socket
import sys
import time

ANSWER_SECONDS = 20  # the longest wait for an answer or a close; deadlines in tests are shorter


def unquote(text, where):
    if len(text) < 2 or text[0] != '"' or text[-1] != '"':
        raise ValueError(f"{where}: expected a quoted string, got {text!r}")
    out = bytearray()
    body = text[1:-1]
    i = 0
    simple = {"r": b"\r", "n": b"\n", "t": b"\t", "0": b"\0", "\\": b"\\", '"': b'"'}
    while i < len(body):
        c = body[i]
        if c != "\\":
            out += c.encode("utf-8")
            i += 1
            continue
        nxt = body[i + 1 : i + 2]
        if nxt in simple:
            out += simple[nxt]
            i += 2
        elif nxt == "x":
            out.append(int(body[i + 2 : i + 4], 16))
            i += 4
        else:
            raise ValueError(f"{where}: unknown escape \\{nxt}")
    return bytes(out)


def load_case(path):
    case = {"expect": None, "send": b"", "hold": None}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            where = f"{path}:{number}"
            if not line.strip() or line.startswith("#"):
                continue
            key, _, value = line.partition(":")
            value = value.strip()
            if key == "expect":
                words = value.split()
                if not words or any(not re.fullmatch(r"\d{3}", w) for w in words[:-1]) or not (
                    re.fullmatch(r"\d{3}", words[-1]) or words[-1] == "close"
                ):
                    raise ValueError(f"{where}: expect takes statuses and an optional final 'close'")
                case["expect"] = words
            elif key == "send":
                m = re.fullmatch(r"repeat (\d+) (\".*\")", value)
                case["send"] += unquote(m.group(2), where) * int(m.group(1)) if m else unquote(value, where)
            elif key == "hold":
                m = re.fullmatch(r"(\d+) (\".*\")", value)
                if not m:
                    raise ValueError(f"{where}: hold takes a count and a quoted string")
                case["hold"] = (int(m.group(1)), unquote(m.group(2), where))
            else:
                raise ValueError(f"{where}: unknown key {key!r}")
    if case["expect"] is None or not case["send"]:
        raise ValueError(f"{path}: needs expect and send")
    return case


class Reader:
    """Reads responses off one connection, each within the time left until a fixed end."""

    def __init__(self, sock, end):
        self.sock, self.end, self.data, self.closed = sock, end, b"", False

    def more(self):
        left = self.end - time.monotonic()
        if left <= 0 or self.closed:
            return False
        ready, _, _ = select.select([self.sock], [], [], left)
        if not ready:
            return False
        try:
            chunk = self.sock.recv(65536)
        except (ConnectionResetError, ConnectionAbortedError):
            chunk = b""
        if not chunk:
            self.closed = True
            return False
        self.data += chunk
        return True

    def take(self, n):
        while len(self.data) < n:
            if not self.more():
                return None
        out, self.data = self.data[:n], self.data[n:]
        return out

    def line(self):
        while b"\r\n" not in self.data:
            if not self.more():
                return None
        out, _, self.data = self.data.partition(b"\r\n")
        return out

    def response(self):
        """The status of the next response (its body read), or None when none came."""
        status = self.line()
        if status is None:
            return None
        m = re.match(rb"HTTP/1\.[01] (\d{3})", status)
        if not m:
            return "garbage"
        headers = {}
        while True:
            line = self.line()
            if line is None:
                return m.group(1).decode() + "(cut)"
            if not line:
                break
            name, _, value = line.partition(b":")
            headers[name.strip().lower()] = value.strip().lower()
        code = m.group(1).decode()
        if code == "100":
            return self.response()
        if headers.get(b"transfer-encoding") == b"chunked":
            while True:
                size = self.line()
                if size is None:
                    return code + "(cut)"
                n = int(size.split(b";")[0], 16)
                if self.take(n + 2) is None:
                    return code + "(cut)"
                if n == 0:
                    break
        elif self.take(int(headers.get(b"content-length", b"0"))) is None:
            return code + "(cut)"
        return code

    def closes(self):
        """True when the server closes the connection (sending nothing more) before the end."""
        while not self.closed:
            if self.data or not self.more():
                break
        return self.closed and not self.data


def connect(port):
    sock = socket.create_connection(("127.0.0.1", port), timeout=10)
    sock.settimeout(None)
    return sock


def still_open(sock):
    """True when the server has neither answered nor closed this connection."""
    ready, _, _ = select.select([sock], [], [], 0)
    return not ready


def run_case(port, case):
    """The answer seen, as a string like "400 close", and whether it is the one expected."""
    held = []
    try:
        if case["hold"]:
            count, prefix = case["hold"]
            for _ in range(count):
                s = connect(port)
                s.sendall(prefix)
                held.append(s)
        sock = connect(port)
        try:
            try:
                sock.sendall(case["send"])
            except (BrokenPipeError, ConnectionResetError):
                pass  # the server may answer and close before it has read everything
            reader = Reader(sock, time.monotonic() + ANSWER_SECONDS)
            seen = []
            wanted = [w for w in case["expect"] if w != "close"]
            for _ in wanted:
                status = reader.response()
                if status is None:
                    break
                seen.append(status)
            if len(seen) == len(wanted) and case["expect"][-1] == "close":
                seen.append("close" if reader.closes() else "open")
            elif len(seen) < len(wanted):
                seen.append("close" if reader.closed else "no answer")
        finally:
            sock.close()
        answer = " ".join(seen)
        ok = seen == case["expect"]
        if held:
            open_count = sum(1 for s in held if still_open(s))
            if open_count != len(held):
                answer += f" (only {open_count} of {len(held)} held connections still open)"
                ok = False
        return answer, ok
    except OSError as e:
        return f"connection failed: {e}", False
    finally:
        for s in held:
            s.close()


def plain_request_served(port):
    try:
        sock = connect(port)
        try:
            sock.sendall(b"GET /hello.html HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n")
            return Reader(sock, time.monotonic() + ANSWER_SECONDS).response() == "200"
        finally:
            sock.close()
    except OSError:
        return False


def main(argv):
    label = ""
    if "--label" in argv:
        i = argv.index("--label")
        label = argv[i + 1] + ": "
        del argv[i : i + 2]
    if len(argv) < 3:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    port = int(argv[1])
    failed = 0
    for path in argv[2:]:
        name = re.sub(r"\.case$", "", path.rsplit("/", 1)[-1])
        case = load_case(path)
        answer, ok = run_case(port, case)
        served = plain_request_served(port)
        if ok and served:
            print(f"ok    {label}hostile http {name}: {answer}")
        else:
            failed += 1
            detail = f"expected {' '.join(case['expect'])}, got {answer}"
            if not served:
                detail += "; a plain request afterwards was not answered 200"
            print(f"FAIL  {label}hostile http {name}: {detail}")
        sys.stdout.flush()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
