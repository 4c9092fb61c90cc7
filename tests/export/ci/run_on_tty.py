#!/usr/bin/python3
"""Runs a command with its standard output on a terminal (a pseudo-terminal
in raw mode, so no line ends are rewritten) and copies what it writes there
to this script's standard output; exits with the command's status.

    run_on_tty.py COMMAND [ARGS...]
"""
import os
import pty
import subprocess
import sys
import tty


def main():
    master, slave = pty.openpty()
    tty.setraw(slave)
    child = subprocess.Popen(sys.argv[1:], stdout=slave)
    os.close(slave)
    chunks = []
    while True:
        try:
            data = os.read(master, 65536)
        except OSError:  # the terminal closed with the child
            break
        if not data:
            break
        chunks.append(data)
    status = child.wait()
    sys.stdout.buffer.write(b"".join(chunks))
    return status


if __name__ == "__main__":
    sys.exit(main())
