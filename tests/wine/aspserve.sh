# Sourced by the scripts that serve pages with aspserve.exe under Wine (scripts/main.sh, the
# concurrency and browser tests, the benchmark). Chooses the architecture, prepares the build
# tree's Wine prefix with Kestrune.dll registered, starts aspserve.exe on a folder and stops it.
#
#   source tests/wine/aspserve.sh
#   aspserve_choose build/win32 build/win64   # ASPSERVE_ARCH (x86 or x64), ASPSERVE_BUILD, WINE_RUN
#   aspserve_prepare                          # prefix, persistent wineserver, regsvr32
#   aspserve_start SITE PORT LOG [--max-request-mb N]   # returns once the server answers
#   curl "http://127.0.0.1:$PORT/..."
#   aspserve_stop                             # the server and the prefix's wineserver
#
# x86 is chosen where the machine runs 32-bit programs, else x64 (KESTRUNE_WINE_ARCHES=x64 forces
# x64). Wine's output always goes to files: its services would hold a caller's pipe open.

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# The Windows path of a Unix path, through the Z: drive every prefix maps to /.
aspserve_winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }

aspserve_choose() { # WIN32_BUILD WIN64_BUILD
    if [[ "${KESTRUNE_WINE_ARCHES:-}" != x64 ]] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
        ASPSERVE_ARCH=x86 ASPSERVE_BUILD=$1
        WINE_RUN=(wine)
        ASPSERVE_REGSVR='C:\windows\syswow64\regsvr32.exe'
    else
        ASPSERVE_ARCH=x64 ASPSERVE_BUILD=$2
        export WINELOADER=/usr/lib/wine/wine64
        WINE_RUN=(/usr/lib/wine/wine64)
        ASPSERVE_REGSVR='C:\windows\system32\regsvr32.exe'
    fi
    ASPSERVE_BUILD=$(realpath -m "$ASPSERVE_BUILD")
    export WINEPREFIX="$ASPSERVE_BUILD/wineprefix"
}

aspserve_wineserver() { "${WINESERVER:-wineserver}" "$@"; }

aspserve_prepare() {
    if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
        echo "aspserve: creating Wine prefix $WINEPREFIX" >&2
        mkdir -p "$WINEPREFIX"
        "${WINE_RUN[@]}" wineboot -i >"$ASPSERVE_BUILD/wineboot.log" 2>&1 || { echo "aspserve: wineboot failed" >&2; return 1; }
        aspserve_wineserver -w
    fi
    aspserve_wineserver -p >/dev/null 2>&1
    "${WINE_RUN[@]}" "$ASPSERVE_REGSVR" /s "$(aspserve_winpath "$ASPSERVE_BUILD/frame/Kestrune.dll")" \
        >"$ASPSERVE_BUILD/regsvr32.log" 2>&1 || { echo "aspserve: regsvr32 failed" >&2; return 1; }
}

aspserve_start() { # SITE PORT LOG [aspserve options...]
    local site=$1 port=$2 log=$3
    shift 3
    "${WINE_RUN[@]}" "$ASPSERVE_BUILD/tools/aspserve/aspserve.exe" "$(aspserve_winpath "$site")" \
        --bind 127.0.0.1 --port "$port" "$@" >"$log" 2>&1 &
    ASPSERVE_PID=$!
    ASPSERVE_PORT=$port
    local i
    for i in $(seq 1 120); do
        if curl -s -o /dev/null --max-time 2 "http://127.0.0.1:$port/"; then return 0; fi
        if ! kill -0 "$ASPSERVE_PID" 2>/dev/null; then
            echo "aspserve: the server ended at start; its log:" >&2
            cat "$log" >&2
            return 1
        fi
        sleep 0.5
    done
    echo "aspserve: the server did not answer within 60 s" >&2
    return 1
}

aspserve_stop() {
    if [[ -n "${ASPSERVE_PID:-}" ]]; then
        kill "$ASPSERVE_PID" 2>/dev/null
        wait "$ASPSERVE_PID" 2>/dev/null
        ASPSERVE_PID=
    fi
    aspserve_wineserver -k >/dev/null 2>&1
    aspserve_wineserver -w >/dev/null 2>&1
}
