#!/bin/sh
# Runs a Windows program under Wine, in the Wine prefix WINEPREFIX names
# (scripts/windows-test.sh makes one afresh for each run), else in one of
# the project's own in the cache. CTest runs the Windows tests through it:
# Qt's libraries and plugins and the compiler's runtime are then found
# where scripts/windows-build.sh left them. With --as-installed first,
# nothing is found but what lies beside the program, as on a computer with
# nothing installed. With --end-server, it ends the prefix's wineserver
# and every program in it, and waits until they are gone: the next
# program starts a wineserver of its own, with its own display.
cache=${XDG_CACHE_HOME:-$HOME/.cache}/qvtpx0xtweaker
export WINEPREFIX="${WINEPREFIX:-$cache/wine}" WINEARCH=win64 WINEDEBUG=-all
if [ "${1:-}" = --end-server ]; then
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    exec /usr/lib/wine/wineserver -w
fi
# No Mono, no Gecko: their installers would ask, and nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine gives no console window: without this, Qt's messages and QtTest's
# results would go to the debugger's output, unseen.
export QT_FORCE_STDERR_LOGGING=1
if [ "${1:-}" = --as-installed ]; then
    shift
    unset WINEPATH QT_PLUGIN_PATH
else
    qt=$cache/qt-5.15-mingw-w64
    runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
    export WINEPATH="Z:$qt/bin;Z:$runtime;Z:/usr/x86_64-w64-mingw32/lib"
    export QT_PLUGIN_PATH="Z:$qt/plugins"
    # The offscreen platform of the tests reads its fonts from a folder.
    export QT_QPA_FONTDIR=Z:/usr/share/fonts/truetype/dejavu
fi
# Wine keeps QT_* variables for Linux programs; WINEQT_* reach Windows
# ones as QT_*.
for variable in $(env | sed -n 's/^\(QT_[A-Za-z0-9_]*\)=.*/\1/p'); do
    eval "export WINE$variable=\"\$$variable\""
done
exec /usr/lib/wine/wine64 "$@"
