#!/bin/sh
# Installs what is missing, builds warning-free and runs the whole suite,
# with Qt 5 (build/) and with Qt 6 (build-qt6/); "test.sh 5" or "test.sh 6"
# takes one of them.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
for qt in ${1:-5 6}; do
    build=build
    [ "$qt" = 5 ] || build=build-qt$qt
    echo "== Qt $qt, in $build/"
    cmake -S . -B "$build" -DQVTPX_QT="$qt" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
    cmake --build "$build" -j"$(nproc)"
    # Five at a time: the tests mostly wait on their servers, not on the
    # cores, and one of them waits out the real 30 s limit all along.
    (cd "$build" && ctest --output-on-failure -j5 --timeout 600)
done
