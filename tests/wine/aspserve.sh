# Sourced by the scripts that serve pages with aspserve.exe under Wine (scripts/main.sh, the
# concurrency and browser tests, the benchmark). Chooses the architecture, prepares the build
# tree's Wine prefix with Kestrune.dll registered, starts aspserve.exe on a folder and stops it.
#
#   source tests/wine/aspserve.sh
#   aspserve_choose build/win32 build/win64   # ASPSERVE_ARCH (x86 or x64), ASPSERVE_BUILD
#   aspserve_use x64 build/win32 build/win64  # or a given architecture (after wine_select_arches)
#   aspserve_prepare                          # prefix, persistent wineserver, regsvr32
#   aspserve_start SITE PORT LOG [--max-request-mb N]   # returns once the server answers
#   curl "http://127.0.0.1:$PORT/..."
#   aspserve_stop                             # the server and the prefix's wineserver
#
# The architecture and the Wine loader come from wine-arch.sh: x86 where the machine runs 32-bit
# programs, else x64 (KESTRUNE_WINE_ARCHES=x64 forces x64). Wine's output always goes to files:
# its services would hold a caller's pipe open.

source "$(dirname "${BASH_SOURCE[0]}")/wine-arch.sh"

aspserve_winpath() { wine_winpath "$1"; }

aspserve_choose() { # WIN32_BUILD WIN64_BUILD
    wine_select_arches || return 2
    ASPSERVE_ARCH=$(wine_preferred_arch)
    if [[ $ASPSERVE_ARCH == x86 ]]; then ASPSERVE_BUILD=$1; else ASPSERVE_BUILD=$2; fi
    ASPSERVE_BUILD=$(realpath -m "$ASPSERVE_BUILD")
    export WINEPREFIX="$ASPSERVE_BUILD/wineprefix"
}

# Both architectures share the prefix of the x86 build tree, as tests/wine/run.sh does.
aspserve_use() { # ARCH WIN32_BUILD WIN64_BUILD
    ASPSERVE_ARCH=$1
    if [[ $ASPSERVE_ARCH == x86 ]]; then ASPSERVE_BUILD=$2; else ASPSERVE_BUILD=$3; fi
    ASPSERVE_BUILD=$(realpath -m "$ASPSERVE_BUILD")
    export WINEPREFIX
    WINEPREFIX=$(realpath -m "$2/wineprefix")
}

aspserve_prepare() {
    wine_start_prefix "$WINEPREFIX" || return 1
    wine_cmd "$(wine_regsvr32 "$ASPSERVE_ARCH")" /s "$(wine_winpath "$ASPSERVE_BUILD/server/Kestrune.dll")" \
        >"$ASPSERVE_BUILD/regsvr32.log" 2>&1 || { echo "aspserve: regsvr32 failed" >&2; return 1; }
}

aspserve_start() { # SITE PORT LOG [aspserve options...]
    local site=$1 port=$2 log=$3
    shift 3
    wine_cmd "$ASPSERVE_BUILD/tools/aspserve/aspserve.exe" "$(aspserve_winpath "$site")" \
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

# Safe in a caller that runs with set -e (as scripts/main.sh does): a server that has already
# ended, as after Ctrl-C, must not stop the prefix's wineserver from being stopped too.
aspserve_stop() {
    if [[ -n "${ASPSERVE_PID:-}" ]]; then
        kill "$ASPSERVE_PID" 2>/dev/null || true
        wait "$ASPSERVE_PID" 2>/dev/null || true
        ASPSERVE_PID=
    fi
    wine_stop_prefix
}

# One line: the architecture the server ran as, and what was skipped and why.
aspserve_summary() {
    local line="Wine: $ASPSERVE_ARCH ran"
    [[ $ASPSERVE_ARCH == x64 && -n ${WINE_SKIPPED_ARCHES:-} ]] && line+=", x86 skipped ($WINE_SKIP_REASON)"
    echo "$line"
}
