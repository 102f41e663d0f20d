#!/bin/sh
# clang-tidy (.clang-tidy), clazy (Qt's own idioms), cppcheck and
# clang-format (.clang-format) over the project's own C++ code. Any finding
# fails the run.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-static -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DQVTPX_BENCH=ON >/dev/null
# Tests include the moc output that AUTOMOC generates during the build.
cmake --build build-static -j"$(nproc)" >/dev/null

# The product's folders and the tests: every check reads them all, headers
# and sources alike.
folders="module cli qvtpx0xtweaker tests bench"
# Windows' own files are checked by the Windows build (warnings as errors).
sources=$(git ls-files '*.cpp' | grep -v -e '^tests/fuzz/' -e '_windows\.cpp$')
headers="^$PWD/($(echo $folders | tr ' ' '|'))/.*\.h$"
echo "clang-tidy:"
# (its count of warnings it hid in headers outside the project goes to stderr)
clang-tidy-14 -p build-static --quiet --header-filter="$headers" $sources 2>build-static/clang-tidy.stderr ||
    { grep -v 'warnings generated' build-static/clang-tidy.stderr; exit 1; }
echo "clazy:"
# Left out: connect-by-name (the window's on_<object>_<signal> slots are its
# design) and non-pod-global-static (tests' constant tables).
clazy-standalone -p build-static --checks=level0,level1,no-connect-by-name,no-non-pod-global-static \
    $sources 2>build-static/clazy.log || { cat build-static/clazy.log; exit 1; }
if grep -q 'warning:' build-static/clazy.log; then
    grep -A3 'warning:' build-static/clazy.log
    exit 1
fi
echo "cppcheck:"
# shellcheck disable=SC2046 # each folder an include path
cppcheck --quiet --error-exitcode=1 --enable=warning,performance,portability --std=c++17 --library=qt \
    --inline-suppr --suppress=missingIncludeSystem $(printf -- '-I %s ' $folders module/ftp) -DQT_MESSAGELOGCONTEXT \
    -i tests/fuzz $(git ls-files '*_windows.cpp' | sed 's/^/-i /') $folders
echo "clang-format:"
clang-format-14 --dry-run --Werror $(git ls-files '*.cpp' '*.h')
echo "static checks: clean"
