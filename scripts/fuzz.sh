#!/bin/sh
# Coverage-guided fuzzing (libFuzzer, clang, with ASan and UBSan) of the
# readers of untrusted input, each for FUZZ_SECONDS (default 60) from its
# committed seed corpus: the parameter file reader, the FTP client's
# readers of a server's replies, and the console tool's reader of
# addresses files. A crash or a broken invariant fails the run
# and leaves the input in build-fuzz/ (crash-*).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
    -DQVTPX_SANITIZE=ON -DQVTPX_FUZZ=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-fuzz -j"$(nproc)" --target fuzz_parameterfile fuzz_ftpresponses fuzz_addresses

cd build-fuzz
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS=suppressions=$PWD/../tests/sanitizer/lsan.supp:print_suppressions=0
fuzz() {
    target=$1
    seeds=$2
    mkdir -p "corpus-$target"
    "tests/fuzz/$target" -max_total_time="${FUZZ_SECONDS:-60}" -max_len=8192 -timeout=10 \
        -print_final_stats=1 "corpus-$target" "../tests/fuzz/$seeds"
}
fuzz fuzz_parameterfile corpus
fuzz fuzz_ftpresponses ftp-corpus
fuzz fuzz_addresses addresses-corpus
