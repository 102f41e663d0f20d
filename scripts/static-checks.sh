#!/bin/sh
# clang-tidy (.clang-tidy), cppcheck and clang-format (.clang-format) over
# the project's own C++ code. Any finding fails the run.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-static -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DQVTPX_BENCH=ON >/dev/null
# Tests include the moc output that AUTOMOC generates during the build.
cmake --build build-static -j"$(nproc)" >/dev/null

sources=$(git ls-files '*.cpp' | grep -v '^tests/fuzz/')
echo "clang-tidy:"
# (its count of warnings it hid in headers outside the project goes to stderr)
clang-tidy-14 -p build-static --quiet $sources 2>build-static/clang-tidy.stderr ||
    { grep -v 'warnings generated' build-static/clang-tidy.stderr; exit 1; }
echo "cppcheck:"
cppcheck --quiet --error-exitcode=1 --enable=warning,performance,portability --std=c++17 --library=qt \
    --inline-suppr --suppress=missingIncludeSystem -I qvtpx0xtweaker -DQT_MESSAGELOGCONTEXT \
    qvtpx0xtweaker tests
echo "clang-format:"
clang-format-14 --dry-run --Werror $(git ls-files '*.cpp' '*.h')
echo "static checks: clean"
