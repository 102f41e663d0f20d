#!/usr/bin/python3
"""A scripted FTP server for the client's edge cases: anonymous sessions on
plain sockets, so that the order of what it sends (data, resets, replies,
closes) is exactly what the options say. Serves ROOT/vtpx_domo. Prints
"ready" once it listens; runs until killed.
"""
import argparse
import os
import select
import socket
import struct
import threading
import time


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("root")
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--log", metavar="FILE", help="append every command received to FILE")
    parser.add_argument("--greeting", default="220 Scripted module ready.",
                        help="the greeting's lines, separated by '|' (an empty one: a blank line)")
    parser.add_argument("--endless-line", action="store_true", help="greet with a line that never ends")
    parser.add_argument("--full", action="store_true",
                        help="take no connection at all: the kernel drops every new one unanswered")
    parser.add_argument("--login-reply", default="230 Logged in.", help="the answer to USER")
    parser.add_argument("--type-reply", default="200 Binary mode.")
    parser.add_argument("--size-reply", default="213 {size}", help="{size}: the file's size now")
    parser.add_argument("--pasv-format", default="227 Entering Passive Mode ({h1},{h2},{h3},{h4},{p1},{p2}).")
    parser.add_argument("--pasv-port", type=int, help="name this port in 227 instead of the one listening")
    parser.add_argument("--data-bytes", type=int, help="send, or read, only this many bytes of the file")
    parser.add_argument("--extra-bytes", type=int, default=0, help="send this many bytes more than the file")
    parser.add_argument("--keep", type=int, help="store only this many bytes of what an upload sent")
    parser.add_argument("--alter", action="store_true", help="store an upload with its first byte changed")
    parser.add_argument("--data-end", choices=["close", "reset", "open"], default="close",
                        help="how the data connection ends once the bytes are through")
    parser.add_argument("--final-reply", default="226 Transfer complete.", help="empty: none")
    parser.add_argument("--reply-first", type=float, metavar="SECONDS",
                        help="send the final reply first, and end the data connection this much later")
    parser.add_argument("--then", choices=["serve", "reset", "close", "bye"], default="serve",
                        help="what the control connection does after the final reply")
    return parser.parse_args()


def reset(connection):
    connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    connection.close()


class Session:
    def __init__(self, control, options):
        self.control = control
        self.options = options
        self.path = os.path.join(options.root, "vtpx_domo")
        self.listener = None

    def say(self, line):
        self.control.sendall(line.encode("latin-1") + b"\r\n")

    def run(self):
        if self.options.endless_line:
            try:
                while True:
                    self.control.sendall(b"220 " + b"x" * 4096)
            except OSError:
                return
        for line in self.options.greeting.split("|"):
            self.say(line)
        lines = self.control.makefile("rb")
        for line in lines:
            command, _, argument = line.decode("latin-1").strip().partition(" ")
            if self.options.log:
                with open(self.options.log, "a") as log:
                    log.write(command.upper() + "\n")
            if not self.answer(command.upper()):
                break
        self.control.close()

    def answer(self, command):
        if command == "USER":
            self.say(self.options.login_reply)
        elif command == "PASS":
            self.say("230 Logged in.")
        elif command == "TYPE":
            self.say(self.options.type_reply)
        elif command == "SIZE":
            size = os.path.getsize(self.path) if os.path.exists(self.path) else 0
            self.say(self.options.size_reply.format(size=size))
        elif command == "PASV":
            self.listener = socket.create_server((self.options.address, 0))
            port = self.options.pasv_port or self.listener.getsockname()[1]
            h1, h2, h3, h4 = self.options.address.split(".")
            self.say(self.options.pasv_format.format(h1=h1, h2=h2, h3=h3, h4=h4,
                                                     p1=port // 256, p2=port % 256))
        elif command in ("RETR", "STOR"):
            return self.transfer(command)
        elif command == "QUIT":
            self.say("221 Bye.")
            return False
        else:
            self.say("502 Not implemented.")
        return True

    def transfer(self, command):
        data, _ = self.listener.accept()
        self.listener.close()
        self.say("150 Opening data connection.")
        if command == "RETR":
            with open(self.path, "rb") as file:
                content = file.read() + b"#" * self.options.extra_bytes
            data.sendall(content[:self.options.data_bytes])
        else:
            self.receive(data)
        if self.options.reply_first is not None:
            self.confirm()
            going_on = self.after_final_reply()
            time.sleep(self.options.reply_first)
            self.end_data(data)
            return going_on
        self.end_data(data)
        self.confirm()
        return self.after_final_reply()

    def confirm(self):
        if self.options.final_reply:
            self.say(self.options.final_reply)

    def receive(self, data):
        received = b""
        wanted = self.options.data_bytes
        while wanted is None or len(received) < wanted:
            piece = data.recv(65536 if wanted is None else wanted - len(received))
            if not piece:
                break
            received += piece
        if wanted is not None:  # what is not read stays waiting, unread
            select.select([data], [], [], 2)
        kept = received[:self.options.keep]
        if self.options.alter and kept:
            kept = bytes([kept[0] ^ 0x20]) + kept[1:]
        with open(self.path, "wb") as file:
            file.write(kept)

    def end_data(self, data):
        if self.options.data_end == "reset":
            reset(data)
        elif self.options.data_end == "close":
            data.close()
        else:  # left open until the client goes
            threading.Thread(target=lambda: (data.recv(1), data.close()), daemon=True).start()

    def after_final_reply(self):
        then = self.options.then
        if then == "serve":
            return True
        if then == "bye":
            self.say("221 Bye.")
        if then == "reset":
            time.sleep(0.1)  # a reset drops whatever is still unsent: the reply goes out first
            reset(self.control)
        else:
            self.control.close()
        return False


def serve_full(options):
    """Listens with no room for a connection, and fills it itself."""
    listener = socket.create_server((options.address, 21), backlog=0)
    fillers = []
    try:
        while True:  # until a connection is no longer answered
            fillers.append(socket.create_connection((options.address, 21), timeout=0.5))
    except socket.timeout:
        pass
    print("ready", flush=True)
    while fillers:  # never accepted
        time.sleep(3600)


def main():
    options = parse_arguments()
    if options.full:
        serve_full(options)
    listener = socket.create_server((options.address, 21))
    print("ready", flush=True)
    while True:
        control, _ = listener.accept()
        control.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        threading.Thread(target=Session(control, options).run, daemon=True).start()


if __name__ == "__main__":
    main()
