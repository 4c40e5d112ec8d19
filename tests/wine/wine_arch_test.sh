#!/usr/bin/env bash
# The choice of Wine architectures and loader (wine-arch.sh), against stand-in 32-bit loaders: one
# that runs, one that the kernel refuses, none at all; with and without KESTRUNE_WINE_ARCHES.
set -u
here=$(cd "$(dirname "$0")" && pwd)
fakes=$(mktemp -d)
trap 'rm -rf "$fakes"' EXIT

printf '#!/bin/sh\necho wine-8.0\n' >"$fakes/runs"
printf '#!/bin/sh\necho "%s: cannot execute binary file: Exec format error" >&2\nexit 126\n' "$fakes/refused" >"$fakes/refused"
chmod +x "$fakes/runs" "$fakes/refused"

failures=0
checks=0
expect() { # NAME EXPECTED ACTUAL
    checks=$((checks + 1))
    if [[ "$2" != "$3" ]]; then
        failures=$((failures + 1))
        printf 'FAIL  %s\n      expected: %s\n      actual:   %s\n' "$1" "$2" "$3"
    fi
}

# choose LOADER32 [FORCED]: the choice as one line, made in a clean subshell.
choose() {
    (
        unset WINELOADER KESTRUNE_WINE_ARCHES
        source "$here/wine-arch.sh"
        WINE_LOADER32=$1
        [[ -n ${2:-} ]] && export KESTRUNE_WINE_ARCHES=$2
        wine_select_arches 2>/dev/null || { echo "error $?"; exit; }
        echo "arches=[$WINE_ARCHES] skipped=[$WINE_SKIPPED_ARCHES] loader=$WINE_LOADER" \
             "WINELOADER=${WINELOADER:-unset} preferred=$(wine_preferred_arch) | $(wine_summary)"
    )
}

expect "32-bit loader runs: both architectures through Debian's wine" \
    "arches=[x86 x64] skipped=[] loader=wine WINELOADER=unset preferred=x86 | Wine: x86 and x64 ran" \
    "$(choose "$fakes/runs")"
expect "kernel refuses 32-bit programs: x64 alone through the 64-bit loader" \
    "arches=[x64] skipped=[x86] loader=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64 preferred=x64 | Wine: x64 ran, x86 skipped (this kernel cannot run 32-bit programs)" \
    "$(choose "$fakes/refused")"
expect "no 32-bit loader installed" \
    "arches=[x64] skipped=[x86] loader=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64 preferred=x64 | Wine: x64 ran, x86 skipped (the 32-bit Wine loader $fakes/missing is not installed)" \
    "$(choose "$fakes/missing")"
expect "x64 forced where x86 would run" \
    "arches=[x64] skipped=[x86] loader=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64 preferred=x64 | Wine: x64 ran, x86 skipped (KESTRUNE_WINE_ARCHES=x64)" \
    "$(choose "$fakes/runs" x64)"
expect "both forced where x86 cannot run: the kernel wins" \
    "arches=[x64] skipped=[x86] loader=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64 preferred=x64 | Wine: x64 ran, x86 skipped (this kernel cannot run 32-bit programs)" \
    "$(choose "$fakes/refused" "x86,x64")"
expect "x86 forced" \
    "arches=[x86] skipped=[x64] loader=wine WINELOADER=unset preferred=x86 | Wine: x86 ran, x64 skipped (KESTRUNE_WINE_ARCHES=x86)" \
    "$(choose "$fakes/runs" x86)"
expect "an unknown architecture is refused" "error 2" "$(choose "$fakes/runs" "x64 arm64")"

# run.sh wraps wine_cmd in a function named wine, and where x86 runs the loader is Debian's `wine`:
# the loader on the PATH must run, not the function again.
printf '#!/bin/sh\necho "loader ran: $*"\n' >"$fakes/wine"
chmod +x "$fakes/wine"
expect "a caller's function named wine does not capture the loader" "loader ran: --version" "$(
    source "$here/wine-arch.sh"
    PATH=$fakes:$PATH WINE_LOADER=wine depth=0
    wine() { depth=$((depth + 1)); [[ $depth -gt 3 ]] && { echo "the function called itself"; return; }; wine_cmd "$@"; }
    wine --version
)"

source "$here/wine-arch.sh"
expect "absolute path on the Z: drive" 'Z:\tmp\a b\c.dll' "$(wine_winpath '/tmp/a b/c.dll')"
expect "relative path made absolute" "Z:${PWD//\//\\}\\x.vbs" "$(wine_winpath x.vbs)"
expect "regsvr32 of each architecture" 'C:\windows\syswow64\regsvr32.exe C:\windows\system32\regsvr32.exe' \
    "$(wine_regsvr32 x86) $(wine_regsvr32 x64)"

echo "$((checks - failures)) passed, $failures failed"
[[ $failures -eq 0 ]]
