#!/bin/sh
# Installs what is missing, builds warning-free and runs the whole suite.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure -j4 --timeout 600 # mostly waiting on servers, not on the cores
