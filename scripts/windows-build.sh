#!/bin/sh
# Builds the two programs and every test program for 64-bit Windows, on
# Debian 12, in build-windows/, and packs what a Windows user gets:
#   build-windows/qvtpx0xtweaker-1.0-win64.zip        runs from any folder
#   build-windows/qvtpx0xtweaker-1.0-win64-setup.exe  installs it
# Qt 5.15 is built once from Debian's own source of it, cross-compiled with
# mingw-w64, into a cache outside the checkout
# (${XDG_CACHE_HOME:-~/.cache}/qvtpx0xtweaker/); later runs reuse it.
# Prints each step's time.
set -eu
cd "$(dirname "$0")/.."
project=$PWD
cache=${XDG_CACHE_HOME:-$HOME/.cache}/qvtpx0xtweaker
qt=$cache/qt-5.15-mingw-w64

step() {
    name=$1
    shift
    started=$(date +%s)
    "$@"
    echo "== $name: $(($(date +%s) - started)) s"
}

# Only what the programs and their tests use: Core, Gui, Widgets, Network
# and Test; the windows and offscreen platforms; Qt's own zlib, libpng,
# PCRE2 and FreeType; no OpenGL, no D-Bus, no bearer plugins. Debian's
# source lacks the tablet header (its licence is not free): no tablets.
qt_options="-xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32-
    -opensource -confirm-license -release -optimize-size -shared -strip -nomake examples -nomake tests
    -no-opengl -no-dbus -no-icu -no-openssl -qt-zlib -qt-libpng -qt-pcre -qt-freetype
    -no-libjpeg -no-gif -no-vulkan -no-direct2d
    -no-feature-sql -no-feature-xml -no-feature-concurrent -no-feature-printer -no-feature-tabletevent
    -no-feature-bearermanagement -no-feature-graphicsview -no-feature-textodfwriter"

# Debian's qtbase source, with Debian's patches (its security fixes among
# them), through a sources list of this script's own: the machine's apt
# configuration stays as it was.
fetch_qt_source() {
    rm -rf "$cache/apt" "$cache/src"
    mkdir -p "$cache/apt/lists/partial" "$cache/apt/cache/archives/partial" "$cache/src"
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main" \
        >"$cache/apt/sources.list"
    set -- -o Dir::Etc::SourceList="$cache/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null \
        -o Dir::State::Lists="$cache/apt/lists" -o Dir::Cache="$cache/apt/cache" -o APT::Sandbox::User="$(id -un)" \
        -o Debug::NoLocking=1 -qq
    apt-get "$@" update
    (cd "$cache/src" && apt-get "$@" source --download-only qtbase-opensource-src &&
        dpkg-source --no-check -x qtbase-opensource-src_*.dsc qtbase >/dev/null)
}

build_qt() {
    rm -rf "$cache/qt-build" "$qt"
    mkdir -p "$cache/qt-build"
    # shellcheck disable=SC2086 # the options are words
    (cd "$cache/qt-build" && "$cache/src/qtbase/configure" -prefix "$qt" $qt_options -silent >configure.log 2>&1 &&
        make -j"$(nproc)" >make.log 2>&1 && make install >install.log) ||
        { tail -n 30 "$cache/qt-build/"*.log; exit 1; }
    # Qt's licences travel with its libraries.
    cp "$cache/src/qtbase/LICENSE.LGPL3" "$cache/src/qtbase/LICENSE.GPL3" "$qt/"
    echo "$qt_options" >"$qt/options"
    rm -rf "$cache/qt-build"
}

build_project() {
    cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE="$project/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_PREFIX_PATH="$qt" -DCMAKE_BUILD_TYPE=Release -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$project/scripts/wine-run.sh" >/dev/null
    cmake --build build-windows -j"$(nproc)"
}

# The programs with everything they load beside them: Qt's libraries, the
# platform, style and image plugins, and the compiler's runtime.
package() {
    package=qvtpx0xtweaker-1.0-win64
    folder=build-windows/$package
    rm -rf "$folder"
    mkdir -p "$folder/platforms" "$folder/styles" "$folder/imageformats"
    x86_64-w64-mingw32-strip -o "$folder/qvtpx0xtweaker.exe" build-windows/qvtpx0xtweaker/qvtpx0xtweaker.exe
    x86_64-w64-mingw32-strip -o "$folder/qvtpx0xtweaker-cli.exe" build-windows/cli/qvtpx0xtweaker-cli.exe
    for library in Qt5Core Qt5Gui Qt5Widgets Qt5Network; do cp "$qt/bin/$library.dll" "$folder/"; done
    cp "$qt/plugins/platforms/qwindows.dll" "$folder/platforms/"
    cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$folder/styles/"
    cp "$qt/plugins/imageformats/qico.dll" "$folder/imageformats/"
    runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
    cp "$runtime/libgcc_s_seh-1.dll" "$runtime/libstdc++-6.dll" /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll \
        "$folder/"
    cp packaging/copyright "$folder/copyright.txt"
    cp "$qt/LICENSE.LGPL3" "$folder/Qt-LICENSE.LGPL3.txt"
    cp "$qt/LICENSE.GPL3" "$folder/Qt-LICENSE.GPL3.txt"
    rm -f "build-windows/$package.zip"
    (cd build-windows && cmake -E tar cf "$package.zip" --format=zip "$package")
    makensis -V2 -DSOURCE="$project/$folder" -DOUTPUT="$project/build-windows/$package-setup.exe" \
        packaging/windows/installer.nsi
    ls -l "build-windows/$package.zip" "build-windows/$package-setup.exe"
}

step "what the build needs" scripts/install-deps.sh windows
if [ ! -f "$qt/options" ] || [ "$(cat "$qt/options")" != "$qt_options" ]; then
    step "Qt's source, from Debian" fetch_qt_source
    step "Qt, cross-built for Windows" build_qt
else
    echo "== Qt for Windows: $qt, built before"
fi
step "the programs and the tests" build_project
step "the zip and the installer" package
