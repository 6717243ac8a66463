#!/usr/bin/python3
"""A second XMODEM receiver for the tests: python3-xmodem on a terminal device.

usage: xmodem_receive.py DEVICE OUTPUT [crc|checksum]
"""
import os
import select
import sys
import termios
import tty

import xmodem


def main():
    device, output = sys.argv[1], sys.argv[2]
    crc = len(sys.argv) < 4 or sys.argv[3] == "crc"
    fd = os.open(device, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    termios.tcflush(fd, termios.TCIOFLUSH)

    def getc(size, timeout=1):
        data = b""
        while len(data) < size:
            ready, _, _ = select.select([fd], [], [], timeout)
            if not ready:
                return data or None
            data += os.read(fd, size - len(data))
        return data

    def putc(data, timeout=1):
        return os.write(fd, data)

    modem = xmodem.XMODEM(getc, putc)
    with open(output, "wb") as stream:
        received = modem.recv(stream, crc_mode=1 if crc else 0, quiet=1)
    sys.exit(0 if received is not None else 1)


if __name__ == "__main__":
    main()
