#!/bin/sh
# Runs a Windows program of build-windows/ under Wine, with Qt's libraries
# and plugins and the compiler's runtime found where scripts/windows-build.sh
# left them, in a Wine prefix of the project's own in the cache. CTest runs
# the Windows tests through it.
cache=${XDG_CACHE_HOME:-$HOME/.cache}/qvtpx0xtweaker
qt=$cache/qt-5.15-mingw-w64
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
export WINEPREFIX="$cache/wine" WINEARCH=win64 WINEDEBUG=-all
# No Mono, no Gecko: their installers would ask, and nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPATH="Z:$qt/bin;Z:$runtime;Z:/usr/x86_64-w64-mingw32/lib"
export QT_PLUGIN_PATH="Z:$qt/plugins"
exec /usr/lib/wine/wine64 "$@"
