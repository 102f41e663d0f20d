#!/bin/sh
# The Windows programs as built: the window a GUI-subsystem program with
# the icon group IDI_ICON1 (one image of 37 x 48 pixels) and the version
# record in U.S. English; the console tool a console-subsystem program.
set -eu
window=$1
cli=$2
fail=0
check() {
    if [ "$2" != "$3" ]; then
        printf '%s: %s, not %s\n' "$1" "$2" "$3"
        fail=1
    fi
}
subsystem() {
    x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^Subsystem[[:space:]]*[0-9]*[[:space:]]*//p'
}
check "the window's subsystem" "$(subsystem "$window")" "(Windows GUI)"
check "the console tool's subsystem" "$(subsystem "$cli")" "(Windows CUI)"
check "the window's icon group" "$(wrestool -l --type=14 "$window" | sed 's/ \[.*//')" \
    "--type=14 --name='IDI_ICON1' --language=1033"
check "its icon" "$(wrestool -x --type=14 "$window" | file -b -)" "MS Windows icon resource - 1 icon, 37x48, 8 bits/pixel"
# The version record's strings, each name followed by its value.
record=$(wrestool -x -R --type=16 --language=1033 "$window" | strings -el | tr '\n' '|')
check "the version record" "$record" \
    "VS_VERSION_INFO|StringFileInfo|040904b0|FileDescription|Quorvella2 VTPX02/04 tweaker|FileVersion|1.0.0.0|ProductVersion|1.0.0.0|OriginalFilename|qvtpx0xtweaker.exe|ProductName|qvtpx0xtweaker|VarFileInfo|Translation|"
[ "$fail" -eq 0 ] && echo "5 passed, 0 failed"
exit "$fail"
