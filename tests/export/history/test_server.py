#!/usr/bin/env python3
"""A PostgreSQL server of the tests' own, never a shared one: Debian's
version-15 server programs, run as the postgres user when root (as CI runs
the tests), else as the current user, with the data, a private socket
folder and the log in DIR and a free port on 127.0.0.1. The history's URL
is written to DIR/url, one line, for the tests (and CI pipelines) to read:

    test_server.py start DIR     # a new server; fails when it cannot start
    test_server.py url DIR       # postgresql://postgres@127.0.0.1:PORT/postgres
    test_server.py stop DIR      # stops it and removes its data

Where the postgres user cannot reach DIR, the server's files go to a
folder of its own under the system's temporary folder, named in DIR/home.
"""
import glob
import os
import pwd
import shutil
import socket
import subprocess
import sys
import tempfile


def server_programs():
    """The folder of initdb and pg_ctl: not on PATH in Debian's packages."""
    found = sorted(glob.glob("/usr/lib/postgresql/*/bin/pg_ctl"))
    if not found:
        sys.exit("test_server: no PostgreSQL server programs (Debian's postgresql package)")
    return os.path.dirname(found[-1])


def as_server_user():
    """The command prefix that runs as the postgres user when root."""
    return ["runuser", "-u", "postgres", "--"] if os.getuid() == 0 else []


def reachable(folder):
    return subprocess.run(as_server_user() + ["test", "-w", folder]).returncode == 0


def home(folder):
    """The folder of the server's files: DIR itself, or the one named in DIR/home."""
    named = os.path.join(folder, "home")
    if os.path.exists(named):
        with open(named) as f:
            return f.read().strip()
    return folder


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start(folder):
    stop(folder)
    os.makedirs(folder, exist_ok=True)
    if os.getuid() == 0:
        shutil.chown(folder, "postgres")
        if not reachable(folder):
            own = tempfile.mkdtemp(prefix="veldora-postgres-")
            shutil.chown(own, "postgres")
            with open(os.path.join(folder, "home"), "w") as f:
                f.write(own + "\n")
    root = home(folder)
    bin_dir = server_programs()
    data, sockets, log = (os.path.join(root, n) for n in ("data", "socket", "log"))
    run = as_server_user()
    subprocess.run(run + ["mkdir", "-p", sockets], check=True)
    subprocess.run(run + [os.path.join(bin_dir, "initdb"), "-D", data, "-U", "postgres", "-A", "trust",
                          "-E", "UTF8", "--no-sync"], check=True, stdout=subprocess.DEVNULL)
    port = free_port()
    options = "-p %d -k %s -c listen_addresses=127.0.0.1 -c max_connections=60" % (port, sockets)
    started = subprocess.run(run + [os.path.join(bin_dir, "pg_ctl"), "-D", data, "-l", log, "-o", options,
                                    "-w", "-t", "60", "start"], stdout=subprocess.DEVNULL)
    if started.returncode != 0:
        with open(log) as f:
            sys.stderr.write(f.read())
        sys.exit("test_server: the server did not start")
    with open(os.path.join(folder, "url"), "w") as f:
        f.write("postgresql://postgres@127.0.0.1:%d/postgres\n" % port)


def stop(folder):
    root = home(folder)
    data = os.path.join(root, "data")
    if os.path.exists(os.path.join(data, "postmaster.pid")):
        subprocess.run(as_server_user() + [os.path.join(server_programs(), "pg_ctl"), "-D", data, "-m", "fast",
                                           "-w", "stop"], stdout=subprocess.DEVNULL)
    for name in ("url", "home"):
        if os.path.exists(os.path.join(folder, name)):
            os.remove(os.path.join(folder, name))
    if root != folder:
        shutil.rmtree(root, ignore_errors=True)
    shutil.rmtree(os.path.join(folder, "data"), ignore_errors=True)


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop", "url"):
        sys.exit("usage: test_server.py start|stop|url DIR")
    folder = os.path.abspath(sys.argv[2])
    if sys.argv[1] == "start":
        start(folder)
    elif sys.argv[1] == "stop":
        stop(folder)
    else:
        with open(os.path.join(folder, "url")) as f:
            print(f.read().strip())


if __name__ == "__main__":
    main()
