#!/usr/bin/python3
# A null-modem cable between two pseudo-terminals, for the Windows serial tests under Wine: prints the two
# slave paths on one line, then relays bytes between the masters until SIGTERM. Each slave is also held
# open here, so a client may open and close it any number of times without a hang-up.
import os, pty, select, signal, sys, tty

def make():
    master, slave = pty.openpty()
    tty.setraw(slave)
    return master, slave, os.ttyname(slave)

def main():
    a, a_slave, a_path = make()
    b, b_slave, b_path = make()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print(a_path, b_path, flush=True)
    peer = {a: b, b: a}
    while True:
        ready, _, _ = select.select([a, b], [], [])
        for fd in ready:
            try:
                data = os.read(fd, 4096)
            except OSError:
                continue  # no client on that side just now
            if data:
                os.write(peer[fd], data)

main()
