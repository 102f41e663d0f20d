#!/usr/bin/python3
"""A reference client for the bench's check of its simulated modules:
Python's ftplib reads vtpx_domo from every address given, each on a thread
of its own, all at once."""
import concurrent.futures
import ftplib
import sys


def fetch(address):
    with ftplib.FTP(address, timeout=30) as ftp:
        ftp.login()
        chunks = []
        ftp.retrbinary("RETR vtpx_domo", chunks.append)
        return b"".join(chunks)


if __name__ == "__main__":
    with concurrent.futures.ThreadPoolExecutor(len(sys.argv) - 1) as pool:
        sys.exit(0 if all(pool.map(fetch, sys.argv[1:])) else 1)
