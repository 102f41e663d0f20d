#!/usr/bin/python3
"""Runs Linux programs for test programs that cannot start them themselves:
the Windows builds of the tests, under Wine, whose processes can start only
Windows programs. Listens on 127.0.0.1 (the port it prints as "ready PORT")
in the test's network namespace. Each connection asks for one thing, in one
JSON line:

  {"start": [ARGV...]}   starts a program (a test's FTP server) and passes
                         its standard output on; it runs until the
                         connection closes (the test stops it, or ends),
                         then it is killed by its PID and waited for
  {"run": [ARGV...]}     runs a program to its end; answers its exit code
  {"signal": N, "match": TEXT}
                         sends signal N to each process whose command line
                         holds TEXT (the test's own marker); answers how many

Runs until killed; the programs it started go with it.
"""
import json
import os
import signal
import socket
import socketserver
import subprocess
import sys
import threading


def matching_processes(text):
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as cmdline:
                if text.encode() in cmdline.read():
                    found.append(int(entry))
        except OSError:
            pass
    return found


class Request(socketserver.StreamRequestHandler):
    def handle(self):
        request = json.loads(self.rfile.readline())
        if "start" in request:
            self.start(request["start"])
        elif "run" in request:
            code = subprocess.run(request["run"], stdout=sys.stderr).returncode
            self.wfile.write(f"{code}\n".encode())
        elif "signal" in request:
            signalled = 0
            for process in matching_processes(request["match"]):
                try:
                    os.kill(process, request["signal"])
                    signalled += 1
                except ProcessLookupError:  # ended since it was listed
                    pass
            self.wfile.write(f"{signalled}\n".encode())

    def start(self, command):
        process = subprocess.Popen(command, stdout=subprocess.PIPE, start_new_session=True)
        relay = threading.Thread(target=self.relay, args=(process,), daemon=True)
        relay.start()
        self.connection.recv(1)  # until the test closes the connection
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait()

    def relay(self, process):
        for line in process.stdout:
            try:
                self.wfile.write(line)
                self.wfile.flush()
            except OSError:
                break
        try:
            self.connection.shutdown(socket.SHUT_WR)
        except OSError:
            pass


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    server = Server(("127.0.0.1", 0), Request)
    print(f"ready {server.server_address[1]}", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
