#!/usr/bin/env python3
"""Loopback listener that captures HTTP requests byte for byte.

    capture_server.py PORT OUT.http [COUNT]

Listens on 127.0.0.1:PORT only, writes the raw bytes of each request (head and the body of its
Content-Length) to OUT.http (OUT-2.http, ... for later ones), answers "200 OK" and stops after
COUNT requests (default 1). Used at capture time only; the captures are committed as data.
"""
import socket
import sys


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(65536)
        if not chunk:
            return data
        data += chunk
    head, _, rest = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip())
    while len(rest) < length:
        chunk = conn.recv(65536)
        if not chunk:
            break
        rest += chunk
    return head + b"\r\n\r\n" + rest


def main():
    port, out = int(sys.argv[1]), sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as server:
        server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        server.bind(("127.0.0.1", port))
        server.listen(1)
        print("listening", flush=True)
        for n in range(count):
            conn, _ = server.accept()
            with conn:
                request = read_request(conn)
                name = out if n == 0 else out.replace(".http", f"-{n + 1}.http")
                with open(name, "wb") as f:
                    f.write(request)
                body = b"captured\n"
                conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n"
                             b"Connection: close\r\n\r\n%s" % (len(body), body))


if __name__ == "__main__":
    main()
