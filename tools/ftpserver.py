#!/usr/bin/python3
"""An FTP server that plays the VTPX02/04 module: it serves a folder holding
vtpx_domo to anonymous users. The tests start it to get a real server, with
modes for the ways a module or a network can fail; scripts/run.sh starts it
as a simulated module for trying the tool.

Prints "ready" on standard output once it accepts connections. Runs until
killed.
"""
import argparse
import logging
import socket
import sys
import time
import warnings

from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
from pyftpdlib.handlers import FileProducer, FTPHandler
from pyftpdlib.log import config_logging
from pyftpdlib.servers import ThreadedFTPServer


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("root", help="folder served as the module's root")
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=21)
    parser.add_argument("--read-only", action="store_true", help="refuse every upload")
    parser.add_argument("--refuse-login", action="store_true", help="refuse every login")
    parser.add_argument("--no-help", action="store_true", help="answer HELP with 502")
    parser.add_argument("--reply-delay", type=float, default=0, metavar="SECONDS",
                        help="wait before every reply")
    parser.add_argument("--silent", action="store_true",
                        help="accept connections and never send a greeting")
    parser.add_argument("--stall-after", choices=["RETR", "STOR"],
                        help="never answer this command")
    parser.add_argument("--drop-after", type=int, metavar="BYTES",
                        help="drop the connection after this many bytes of a transfer")
    parser.add_argument("--freeze-after", type=int, metavar="BYTES",
                        help="stop sending a download after this many bytes, connection kept open")
    parser.add_argument("--truncate-after", type=int, metavar="BYTES",
                        help="end a download as complete after this many bytes")
    parser.add_argument("--trickle", type=float, metavar="SECONDS",
                        help="send a download ten bytes at a time, waiting between them")
    parser.add_argument("--greeting", metavar="LINE",
                        help="send this line first; one of code 4xx or 5xx then ends the session")
    parser.add_argument("--endless-greeting", action="store_true",
                        help="greet with a multi-line reply that never ends")
    parser.add_argument("--answer", action="append", default=[], metavar="COMMAND=LINE",
                        help="answer COMMAND with LINE instead of carrying it out")
    parser.add_argument("--endless-file", action="store_true", help="send a download that never ends")
    parser.add_argument("--masquerade", metavar="ADDRESS", help="name ADDRESS in every 227 reply")
    parser.add_argument("--passive-port", type=int, metavar="PORT", help="open data connections on PORT")
    parser.add_argument("--end-sessions", choices=["421", "close", "stall"],
                        help="after a transfer, end the session at the client's next command: "
                             "with a 421 reply, closing without a word, or never answering")
    parser.add_argument("--log", metavar="FILE", help="append every command received to FILE")
    parser.add_argument("--verbose", action="store_true", help="log every session on stderr")
    return parser.parse_args()


class PacedProducer(FileProducer):
    """Sends the file in small pieces, or only its first bytes."""

    def __init__(self, file, type, handler, options):
        super().__init__(file, type)
        self.handler = handler
        self.options = options
        self.sent = 0
        self.limit = next((n for n in (options.drop_after, options.freeze_after, options.truncate_after)
                           if n is not None), None)

    def more(self):
        if self.options.endless_file:
            return b"#" * 65535 + b"\n"
        if self.limit is not None and self.sent >= self.limit:
            if self.options.freeze_after is not None:
                while True:  # blocks this connection's thread only
                    time.sleep(3600)
            if self.options.drop_after is not None:
                self.handler.close()
            return b""
        size = self.buffer_size if self.limit is None else self.limit - self.sent
        if self.options.trickle:
            time.sleep(self.options.trickle)
            size = min(size, 10)
        data = self.file.read(size)
        self.sent += len(data)
        return data

    @staticmethod
    def wanted(options):
        return options.endless_file or any(n is not None for n in (
            options.drop_after, options.freeze_after, options.truncate_after, options.trickle))


def make_handler(options):
    class ModuleHandler(FTPHandler):
        auth_failed_timeout = 0
        use_sendfile = False  # sendfile() would bypass the paced producer
        banner = "VTPX module simulator ready."
        masquerade_address = options.masquerade
        passive_ports = [options.passive_port] if options.passive_port else None
        answers = dict(answer.split("=", 1) for answer in options.answer)

        def handle(self):
            if options.endless_greeting:
                try:
                    while True:  # this connection's thread only, until the client leaves
                        self.socket.sendall(b"220-Welcome to the module, once more.\r\n")
                except OSError:
                    return
            if options.greeting:
                self.push(options.greeting + "\r\n")
                if options.greeting[0] in "45":
                    self.close_when_done()
                    return
            super().handle()

        def respond(self, resp, logfun=None):
            if options.reply_delay:
                time.sleep(options.reply_delay)
            super().respond(resp)

        transfer_done = False

        def on_file_sent(self, file):
            self.transfer_done = True

        def on_file_received(self, file):
            self.transfer_done = True

        def pre_process_command(self, line, cmd, arg):
            if options.log:
                with open(options.log, "a") as log:
                    log.write(cmd + "\n")
            if options.end_sessions and self.transfer_done:
                if options.end_sessions == "421":
                    self.respond("421 Session ended.")
                    self.close_when_done()
                elif options.end_sessions == "close":
                    self.close()
                return
            if cmd == options.stall_after:
                return
            if cmd in self.answers:
                self.push(self.answers[cmd] + "\r\n")
                return
            super().pre_process_command(line, cmd, arg)

        def ftp_HELP(self, line):
            if options.no_help:
                self.respond("502 Command not implemented.")
            else:
                super().ftp_HELP(line)

        def ftp_RETR(self, file):
            if not PacedProducer.wanted(options):
                return super().ftp_RETR(file)
            fd = self.run_as_current_user(self.fs.open, file, "rb")
            producer = PacedProducer(fd, self._current_type, self, options)
            self.push_dtp_data(producer, isproducer=True, file=fd, cmd="RETR")
            return file

        def ftp_STOR(self, file, mode="w"):
            result = super().ftp_STOR(file, mode)
            if options.drop_after is not None:
                self.close()
            return result

    return ModuleHandler


class RefusingAuthorizer(DummyAuthorizer):
    def validate_authentication(self, username, password, handler):
        raise AuthenticationFailed("Login refused.")


def serve_silently(options):
    listener = socket.create_server((options.address, options.port))
    print("ready", flush=True)
    while True:  # the kernel completes connections; nobody ever answers them
        time.sleep(3600)
    listener.close()


def main():
    options = parse_arguments()
    # The module is meant to let anonymous users write; pyftpdlib warns of it.
    warnings.filterwarnings("ignore", "write permissions assigned to anonymous user")
    config_logging(level=logging.INFO if options.verbose else logging.WARNING)
    if options.silent:
        serve_silently(options)
        return
    authorizer = RefusingAuthorizer() if options.refuse_login else DummyAuthorizer()
    authorizer.add_anonymous(options.root, perm="elr" if options.read_only else "elradfmw")
    handler = make_handler(options)
    handler.authorizer = authorizer
    server = ThreadedFTPServer((options.address, options.port), handler)
    server.max_cons = 0  # a thousand modules served at once by one server in the benchmark
    print("ready", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
