#!/usr/bin/python3
"""An FTP server that plays the VTPX02/04 module: it serves a folder holding
vtpx_domo to anonymous users. The tests start it to get a real server that
may be slow, refuse, stay silent or end its sessions (the client's edge
cases are tools/scriptedftpserver.py's); scripts/run.sh starts it as a
simulated module for trying the tool.

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
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.log import config_logging
from pyftpdlib.servers import ThreadedFTPServer


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("root", help="folder served as the module's root")
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=21)
    parser.add_argument("--read-only", action="store_true", help="refuse every upload")
    parser.add_argument("--refuse-login", action="store_true", help="refuse every login")
    parser.add_argument("--reply-delay", type=float, default=0, metavar="SECONDS",
                        help="wait before every reply")
    parser.add_argument("--silent", action="store_true",
                        help="accept connections and never send a greeting")
    parser.add_argument("--end-sessions", choices=["421", "close", "stall"],
                        help="after a transfer, end the session at the client's next command: "
                             "with a 421 reply, closing without a word, or never answering")
    parser.add_argument("--log", metavar="FILE", help="append every command received to FILE")
    parser.add_argument("--verbose", action="store_true", help="log every session on stderr")
    return parser.parse_args()


def make_handler(options):
    class ModuleHandler(FTPHandler):
        auth_failed_timeout = 0
        banner = "VTPX module simulator ready."

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
            super().pre_process_command(line, cmd, arg)

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
    print("ready", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
