#!/bin/sh
# Coverage-guided fuzzing of the parameter file reader (libFuzzer, clang,
# with ASan and UBSan) for FUZZ_SECONDS (default 60), starting from the
# committed seed corpus. A crash or a broken invariant fails the run and
# leaves the input in build-fuzz/ (crash-*).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
    -DQVTPX_SANITIZE=ON -DQVTPX_FUZZ=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-fuzz -j"$(nproc)" --target fuzz_parameterfile

mkdir -p build-fuzz/corpus
cd build-fuzz
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS=suppressions=$PWD/../tests/sanitizer/lsan.supp:print_suppressions=0 \
    tests/fuzz/fuzz_parameterfile -max_total_time="${FUZZ_SECONDS:-60}" -max_len=8192 -timeout=10 \
    -print_final_stats=1 corpus ../tests/fuzz/corpus
