#!/bin/sh
# Builds with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer
# and runs the whole suite, transfers against the real servers included.
# Any report fails the run.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQVTPX_SANITIZE=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-sanitize -j"$(nproc)"

ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0:exitcode=86
LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
# The window draws nothing with OpenGL, but under X Qt would load the
# machine's GL driver for it (Mesa's GLX keeps memory it never frees, other
# drivers differ): without it the run is the same on any machine.
export QT_XCB_GL_INTEGRATION=none
cd build-sanitize
ctest --output-on-failure -j2 --timeout 900
