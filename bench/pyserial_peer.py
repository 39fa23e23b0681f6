#!/usr/bin/env python3
"""The peer of the pty runs of nerax-lt-bench, written with pyserial.

The same two loops as PtyPing and PtyEepromRead512: build the request with
its checksums, drop stale input, write it, read the answer of known length,
check length, acknowledge and checksum. Prints one JSON object with the
transactions per second of each loop.

usage: pyserial_peer.py DEVICE [SECONDS]
"""
import json
import sys
import time

import serial


def checksum(data):
    return (8 + sum(data)) & 0xFF


def request(code, params=b""):
    header = bytes([code, 0, 0]) + params.ljust(12, b"\0")
    return header + bytes([checksum(header)])


def transaction(port, frame, data_length):
    n = data_length + 2 if data_length > 0 else 1
    port.reset_input_buffer()
    port.write(frame)
    answer = port.read(n)
    if len(answer) != n:
        raise RuntimeError("timeout: %d of %d bytes" % (len(answer), n))
    if answer[0] != 1:
        raise RuntimeError("not acknowledged")
    if n > 1 and answer[-1] != checksum(answer[1:-1]):
        raise RuntimeError("checksum")
    return answer


def loop(port, frame, data_length, seconds):
    count = 0
    start = time.perf_counter()
    end = start + seconds
    while True:
        transaction(port, frame, data_length)
        count += 1
        now = time.perf_counter()
        if now >= end:
            return count / (now - start)


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 2.0
    # The tool's line: 38400 8N1, no flow control, 1 s per read call.
    port = serial.Serial(sys.argv[1], 38400, bytesize=8, parity="N", stopbits=1,
                         timeout=1.0, write_timeout=1.0, xonxoff=False, rtscts=False)
    try:
        result = {
            "PtyPing": loop(port, request(6), 0, seconds),
            "PtyEepromRead512": loop(port, request(3, bytes([0, 0, 0, 2])), 512, seconds),
        }
    finally:
        port.close()
    print(json.dumps(result))
    return 0


if __name__ == "__main__":
    sys.exit(main())
