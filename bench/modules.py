#!/usr/bin/python3
"""A building of simulated modules for the bench, in one process: an
anonymous FTP server on port 21 of every address given, each serving a
folder of its own (ROOT/ADDRESS if it exists, else ROOT), every reply sent
a fixed delay late, as a module on a slow LAN would.

One asyncio loop serves them all, so that a hundred modules answering at
once cost the machine little and the client is what the bench times
(bench/run.py checks it with curl and ftplib). It knows only the commands
a module's client needs; the tests' servers (tools/) play the ways a
module can fail.

Prints "ready" on standard output once every address listens. Runs until
killed.
"""
import argparse
import asyncio
import os
import pathlib
import socket
import tempfile

FILE = "vtpx_domo"


class Session(asyncio.Protocol):
    """One control connection. Callbacks rather than coroutines: a hundred
    sessions stepping at once must cost next to nothing."""

    def __init__(self, root, delay):
        self.root, self.delay = root, delay
        self.loop = asyncio.get_running_loop()
        self.buffer = b""
        self.listener = None  # the passive data socket, listening
        self.accepted = None  # its connection, once the client has made it
        self.pending = None  # what to do with that connection once it is there

    def connection_made(self, transport):
        self.transport = transport
        self.reply("220 Module ready.")

    def reply(self, line, then=None):
        def send():
            if not self.transport.is_closing():
                self.transport.write(line.encode() + b"\r\n")
                if then:
                    then()
        self.loop.call_later(self.delay, send)

    def data_received(self, data):
        self.buffer += data
        while b"\n" in self.buffer:
            line, self.buffer = self.buffer.split(b"\n", 1)
            command, _, argument = line.decode("latin-1").strip().partition(" ")
            self.answer(command.upper(), argument)

    def connection_lost(self, exc):
        self.close_listener()

    def answer(self, command, argument):
        path = self.root / FILE
        if command == "USER":
            self.reply("331 Any password will do.")
        elif command in ("PASS", "TYPE"):
            self.reply("230 Logged in." if command == "PASS" else "200 Type set.")
        elif command in ("SIZE", "RETR") and (argument != FILE or not path.exists()):
            self.reply("550 No such file.")
        elif command == "SIZE":
            self.reply(f"213 {path.stat().st_size}")
        elif command == "PASV":
            self.passive()
        elif command == "RETR":
            self.transfer(lambda data: self.send_file(data, path.read_bytes()))
        elif command == "STOR" and argument == FILE:
            self.transfer(lambda data: self.receive_file(data, []))
        elif command == "QUIT":
            self.reply("221 Goodbye.", self.transport.close)
        else:
            self.reply("502 Not implemented.")

    def passive(self):
        self.close_listener()
        host = self.transport.get_extra_info("sockname")[0]
        self.listener = socket.create_server((host, 0), backlog=1)
        self.listener.setblocking(False)
        self.loop.add_reader(self.listener, self.accept)
        port = self.listener.getsockname()[1]
        self.reply(f"227 Entering passive mode ({host.replace('.', ',')},{port >> 8},{port & 255}).")

    def close_listener(self):
        if self.accepted:
            self.accepted.close()
            self.accepted = None
        if self.listener:
            self.loop.remove_reader(self.listener)
            self.listener.close()
            self.listener = None

    def transfer(self, work):
        if self.listener is None and self.accepted is None:
            return self.reply("425 Use PASV first.")
        self.reply("150 Opening data connection.")
        self.pending = work
        if self.accepted:
            self.start()

    def accept(self):
        accepted, _ = self.listener.accept()
        self.close_listener()
        self.accepted = accepted
        if self.pending:
            self.start()

    def start(self):
        data, work = self.accepted, self.pending
        self.accepted = self.pending = None
        work(data)

    def send_file(self, data, content):
        data.setblocking(True)  # a module's file fits in the socket's buffer
        try:
            data.sendall(content)
        except OSError:  # the client broke off
            return self.reply("426 Connection broken off.")
        finally:
            data.close()
        self.reply("226 Transfer complete.")

    def receive_file(self, data, received):
        def read():
            try:
                chunk = data.recv(65536)
            except OSError:  # the client broke off: the file stays as it was
                chunk = None
            if chunk:
                return received.append(chunk)
            self.loop.remove_reader(data)
            data.close()
            if chunk is None:
                return self.reply("426 Connection broken off.")
            with tempfile.NamedTemporaryFile(dir=self.root, delete=False) as new:
                new.write(b"".join(received))
            os.replace(new.name, self.root / FILE)
            self.reply("226 Transfer complete.")
        data.setblocking(False)
        self.loop.add_reader(data, read)


async def serve(root, addresses, delay):
    loop = asyncio.get_running_loop()
    servers = []
    for address in addresses:
        folder = root / address if (root / address).is_dir() else root
        servers.append(await loop.create_server(lambda folder=folder: Session(folder, delay), address, 21,
                                                reuse_address=True, backlog=1024))
    print("ready", flush=True)
    await asyncio.gather(*(server.serve_forever() for server in servers))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("root", type=pathlib.Path)
    parser.add_argument("addresses", nargs="+")
    parser.add_argument("--reply-delay", type=float, default=0, metavar="SECONDS")
    options = parser.parse_args()
    asyncio.run(serve(options.root, options.addresses, options.reply_delay))


if __name__ == "__main__":
    main()
