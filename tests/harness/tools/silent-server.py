#!/usr/bin/python3
"""A TCP server that accepts connections and never answers.

Usage: silent-server.py PORT  (binds 127.0.0.1:PORT; 0 picks a free port)
Prints the port on stdout once it accepts connections, then holds every
connection open without reading or writing until it is terminated.
"""
import signal
import socket
import sys


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", int(sys.argv[1])))
    server.listen(16)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    sys.stdout.write("%d\n" % server.getsockname()[1])
    sys.stdout.flush()
    held = []
    while True:
        connection, _ = server.accept()
        held.append(connection)


if __name__ == "__main__":
    main()
