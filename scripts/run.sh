#!/bin/sh
# Installs what is missing, builds and starts the tool.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target qvtpx0xtweaker
exec build/qvtpx0xtweaker/qvtpx0xtweaker "$@"
