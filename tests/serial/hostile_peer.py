#!/usr/bin/python3
"""Misbehaving RFC 2217 servers for the network port's bounds, on 127.0.0.1 at a port the
system picks, printed on the first line of standard output. Each agrees the com-port option
and the line settings (except where it says otherwise), then floods the client until it goes:

  notify     NOTIFY-MODEMSTATE and NOTIFY-LINESTATE without end, a line "OK" every 64 KiB
  ff         0xFF bytes without end (pairs are data, one 0xFF each)
  endless    a subnegotiation that never ends
  nagging    asks the client to do an option it does not know, again and again, and never
             reads its refusals
  greeting   30 MB of text before agreeing anything
"""
import re
import socket
import sys

IAC, SB, SE, WILL, DO = 255, 250, 240, 251, 253
CHUNK = 64 * 1024


def agree(conn):
    """Agrees binary and the com-port option and confirms the four line settings."""
    conn.sendall(bytes([IAC, DO, 44, IAC, WILL, 0, IAC, DO, 0]))
    received = b""
    answered = 0
    while answered < 4:
        data = conn.recv(4096)
        if not data:
            return False
        received += data
        for match in re.finditer(rb"\xff\xfa,(.)(.*?)\xff\xf0", received, re.S):
            command, value = match.group(1)[0], match.group(2)
            conn.sendall(bytes([IAC, SB, 44, command + 100]) + value + bytes([IAC, SE]))
            answered += 1
        if b"\xff\xf0" in received:
            received = received[received.rfind(b"\xff\xf0") + 2:]
    return True


def flood(conn, chunk):
    while True:
        conn.sendall(chunk)


def main():
    mode = sys.argv[1]
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    print(listener.getsockname()[1], flush=True)
    while True:
        conn, _ = listener.accept()
        try:
            if mode == "greeting":
                line = b"Welcome, here is everything the device ever said\r\n"
                chunk = line * (CHUNK // len(line))
                for _ in range(30 * 1024 * 1024 // len(chunk)):
                    conn.sendall(chunk)
                agree(conn)
            elif agree(conn):
                if mode == "notify":
                    notes = bytes([IAC, SB, 44, 107, 0x30, IAC, SE, IAC, SB, 44, 106, 0x60, IAC, SE])
                    flood(conn, notes * (CHUNK // len(notes)) + b"OK\r\n")
                elif mode == "ff":
                    flood(conn, b"\xff" * CHUNK)
                elif mode == "endless":
                    conn.sendall(bytes([IAC, SB, 44, 107]))
                    flood(conn, b"\x30" * CHUNK)
                elif mode == "nagging":
                    flood(conn, bytes([IAC, DO, 99]) * (CHUNK // 3))
        except OSError:
            pass
        conn.close()


if __name__ == "__main__":
    main()
