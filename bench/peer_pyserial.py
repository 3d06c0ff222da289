#!/usr/bin/python3
"""The peer a user would pick instead of Quarvel's engine: a short pyserial script doing the same request and
reply against the same simulated tool. Usage: peer_pyserial.py DEVICE N roundtrip|session
Prints one JSON object with the median and the 99th percentile in microseconds."""
import json
import sys
import time

import serial

REPLY_BYTES = {}  # filled from the reply's own length byte


def exchange(port, code):
    port.write(bytes([0x55, code, 0x00, code]))
    head = port.read(3)
    if len(head) != 3:
        raise SystemExit('peer: no reply')
    rest = port.read(head[2] + 1)
    if len(rest) != head[2] + 1:
        raise SystemExit('peer: short reply')
    x = 0
    for b in head[1:] + rest[:-1]:
        x ^= b
    if x != rest[-1] or head[1] != 0x5A:
        raise SystemExit('peer: bad reply')


def main():
    device, n, what = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    codes = [ord('H')] if what == 'roundtrip' else [ord(c) for c in 'DAaceghh'[:7]]
    samples = []
    with serial.Serial(device, 115200, timeout=2) as port:
        for _ in range(50 // len(codes)):  # warm-up, unmeasured, as for the engine and its floor
            for code in codes:
                exchange(port, code)
        for _ in range(n):
            start = time.perf_counter()
            for code in codes:
                exchange(port, code)
            samples.append((time.perf_counter() - start) * 1e6)
    samples.sort()
    print(json.dumps({'median_us': samples[len(samples) // 2], 'p99_us': samples[int(0.99 * (len(samples) - 1))],
                      'samples': n}))


main()
