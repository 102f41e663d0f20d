#!/bin/sh
# Prints the share of tests in the project's code: non-blank lines of C++,
# Python and shell in tests/ against all the others tracked by git
# (application, scripts, tools, bench). The aim is a quarter to a third.
cd "$(dirname "$0")/.."
count() {
    git ls-files | grep -E '\.(cpp|h|hpp|cc|py|sh)$' | grep "$@" | tr '\n' '\0' | xargs -0 cat |
        grep -c -v -E '^[[:space:]]*$'
}
tests=$(count -E '^tests/')
others=$(count -v -E '^tests/')
echo "code lines: tests $tests, the rest $others; tests are $((100 * tests / (tests + others)))% of all"
