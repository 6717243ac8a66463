#!/usr/bin/python3
"""Servers for the network port tests, on 127.0.0.1 at the port given after the mode or else
one the system picks, printed on the first line of standard output.

  pyserial  pyserial's RFC 2217 port manager over a loop:// port: what is sent comes back,
            DTR shows as DSR and RTS as CTS.
  silent    takes connections and never answers.
  refuse    agrees the com-port option but answers every baud rate with 9600.
  banner    greets with a line of text, then agrees everything and sends "ready".
  nocontrol agrees the line settings but never answers SET-CONTROL, as a server that does
            not know flow control.
"""
import re
import select
import socket
import sys

IAC, SB, SE, WILL, DO = 255, 250, 240, 251, 253


class SocketWriter:
    def __init__(self, conn):
        self.conn = conn

    def write(self, data):
        self.conn.sendall(data)


def serve_pyserial(conn):
    import serial
    import serial.rfc2217

    port = serial.serial_for_url("loop://", timeout=0)
    manager = serial.rfc2217.PortManager(port, SocketWriter(conn))
    while True:
        readable, _, _ = select.select([conn], [], [], 0.02)
        if readable:
            data = conn.recv(65536)
            if not data:
                return
            port.write(b"".join(manager.filter(data)))
        waiting = port.in_waiting
        if waiting:
            conn.sendall(b"".join(manager.escape(port.read(waiting))))
        manager.check_modem_lines()


def serve_telnet(conn, greeting, baud_answer, answer_control=True):
    if greeting:
        conn.sendall(greeting)
    conn.sendall(bytes([IAC, DO, 44, IAC, WILL, 0, IAC, DO, 0]))
    received = b""
    answered = 0
    while True:
        data = conn.recv(4096)
        if not data:
            return
        received += data
        for match in re.finditer(rb"\xff\xfa,(.)(.*?)\xff\xf0", received, re.S):
            command, value = match.group(1)[0], match.group(2)
            if command == 1 and baud_answer is not None:
                value = baud_answer
            if command == 5 and not answer_control:
                continue
            conn.sendall(bytes([IAC, SB, 44, command + 100]) + value + bytes([IAC, SE]))
            answered += 1
            # The four line settings and the flow control answered: the port is ready.
            if answered == 5 and greeting:
                conn.sendall(b"ready")
        received = received[received.rfind(b"\xff\xf0") + 2:] if b"\xff\xf0" in received else received


def main():
    mode = sys.argv[1]
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    # A server started again on its old port while the old connections linger.
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", int(sys.argv[2]) if len(sys.argv) > 2 else 0))
    listener.listen(4)
    print(listener.getsockname()[1], flush=True)
    while True:
        conn, _ = listener.accept()
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        try:
            if mode == "pyserial":
                serve_pyserial(conn)
            elif mode == "silent":
                while conn.recv(4096):
                    pass
            elif mode == "refuse":
                serve_telnet(conn, b"", (9600).to_bytes(4, "big"))
            elif mode == "banner":
                serve_telnet(conn, b"Welcome to the rack\r\n", None)
            elif mode == "nocontrol":
                serve_telnet(conn, b"", None, answer_control=False)
        except OSError:
            pass
        conn.close()


if __name__ == "__main__":
    main()
