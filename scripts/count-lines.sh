#!/bin/sh
# Prints the share of tests in the project's code: non-blank lines of C++,
# Python and shell tracked by git. Tests are everything in tests/ and what
# only tests use: the FTP servers that play the modules and their launcher
# (tools/), the seeding of faults (scripts/mutate.py), and the scripts that
# are tests themselves (the package's, the README commands'). The rest is
# the application, its scripts, tools and bench. The aim is a quarter to a
# third.
cd "$(dirname "$0")/.." || exit 1
testing='^(tests/|tools/(ftpserver|scriptedftpserver|serverlauncher)\.py$|scripts/(mutate\.py|package-test\.sh|readme-commands-test\.sh)$)'
count() {
    git ls-files | grep -E '\.(cpp|h|hpp|cc|py|sh)$' | grep "$@" | tr '\n' '\0' | xargs -0 cat |
        grep -c -v -E '^[[:space:]]*$'
}
tests=$(count -E "$testing")
others=$(count -v -E "$testing")
echo "code lines: tests $tests, the rest $others; tests are $((100 * tests / (tests + others)))% of all"
