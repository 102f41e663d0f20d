#!/usr/bin/python3
"""A scripted FTP server for the client's edge cases: anonymous sessions on
plain sockets, so that what it sends (data, resets, replies, closes, garbage)
and in which order is exactly what the options say. Serves ROOT/vtpx_domo.
Prints "ready" once it listens; runs until killed.
"""
import argparse
import os
import select
import socket
import struct
import threading
import time

ANSWERS = {"USER": "230 Logged in.", "PASS": "230 Logged in.", "TYPE": "200 Binary mode.",
           "SIZE": "213 {size}", "QUIT": "221 Bye."}


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("root")
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--log", metavar="FILE", help="append every command received to FILE")
    parser.add_argument("--greeting", default="220 Scripted module ready.",
                        help="the greeting's lines, separated by '|' (an empty one: a blank line)")
    parser.add_argument("--endless", choices=["line", "reply"],
                        help="greet with a line, or a multi-line reply, that never ends")
    parser.add_argument("--full", action="store_true",
                        help="take no connection at all: the kernel drops every new one unanswered")
    parser.add_argument("--answer", action="append", default=[], metavar="COMMAND=LINE",
                        help="answer COMMAND with LINE ({size}: the file's size now) instead of "
                             "carrying it out; an empty LINE: never answer")
    parser.add_argument("--reply-delay", type=float, default=0, metavar="SECONDS", help="before every reply")
    parser.add_argument("--pasv-format", default="227 Entering Passive Mode ({h1},{h2},{h3},{h4},{p1},{p2}).")
    parser.add_argument("--pasv-port", type=int, default=0, help="listen for data connections on this port")
    parser.add_argument("--data-bytes", type=int, help="send, or read, only this many bytes of the file")
    parser.add_argument("--extra-bytes", type=int, default=0, help="send this many bytes more than the file")
    parser.add_argument("--trickle", type=float, metavar="SECONDS",
                        help="send a download ten bytes at a time, waiting between them")
    parser.add_argument("--keep", type=int, help="store only this many bytes of what an upload sent")
    parser.add_argument("--alter", action="store_true", help="store an upload with its first byte changed")
    parser.add_argument("--data-end", choices=["close", "reset", "open"], default="close",
                        help="how the data connection ends once the bytes are through")
    parser.add_argument("--final-reply", default="226 Transfer complete.", help="empty: none")
    parser.add_argument("--reply-first", type=float, metavar="SECONDS",
                        help="send the final reply first, and end the data connection this much later")
    parser.add_argument("--then", choices=["serve", "reset", "close", "bye"], default="serve",
                        help="what the control connection does after the final reply")
    options = parser.parse_args()
    options.answers = dict(ANSWERS, **dict(answer.split("=", 1) for answer in options.answer))
    return options


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
        time.sleep(self.options.reply_delay)
        self.control.sendall(line.encode("latin-1") + b"\r\n")

    def run(self):
        try:  # until the client leaves
            self.greet()
            for line in self.control.makefile("rb"):
                command = line.decode("latin-1").strip().partition(" ")[0].upper()
                if self.options.log:
                    with open(self.options.log, "a") as log:
                        log.write(command + "\n")
                if not self.answer(command):
                    break
        except OSError:
            pass
        self.control.close()

    def greet(self):
        endless = {"line": b"220 " + b"x" * 4096, "reply": b"220-Welcome to the module, once more.\r\n"}
        while self.options.endless:
            self.control.sendall(endless[self.options.endless])
        for line in self.options.greeting.split("|"):
            self.say(line)

    def answer(self, command):
        if command in ("PASV", "RETR", "STOR") and command not in self.options.answers:
            return self.passive() if command == "PASV" else self.transfer(command)
        if command not in self.options.answers:
            self.say("502 Not implemented.")
        elif self.options.answers[command]:
            size = os.path.getsize(self.path) if os.path.exists(self.path) else 0
            self.say(self.options.answers[command].format(size=size))
        return command != "QUIT"

    def passive(self):
        self.listener = socket.create_server((self.options.address, self.options.pasv_port))
        port = self.listener.getsockname()[1]
        h1, h2, h3, h4 = self.options.address.split(".")
        self.say(self.options.pasv_format.format(h1=h1, h2=h2, h3=h3, h4=h4, p1=port // 256, p2=port % 256))
        return True

    def transfer(self, command):
        data, _ = self.listener.accept()
        self.listener.close()
        self.say("150 Opening data connection.")
        if command == "RETR":
            self.send(data)
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

    def send(self, data):
        with open(self.path, "rb") as file:
            content = (file.read() + b"#" * self.options.extra_bytes)[:self.options.data_bytes]
        piece = 10 if self.options.trickle else len(content) or 1
        for start in range(0, len(content), piece):
            time.sleep(self.options.trickle or 0)
            data.sendall(content[start:start + piece])

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
