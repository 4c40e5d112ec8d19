#!/usr/bin/env bash
# The main job: builds Kestrune.dll and aspserve.exe, makes the Wine prefix, registers the DLL
# (x86 where this machine runs 32-bit programs, else x64) and serves the sample pages of
# examples/asp on http://127.0.0.1:8080/. Open that address, choose files, upload, watch the bar.
# Ctrl-C stops the server and its wineserver.
# Usage: scripts/main.sh [--port N]
# The offline tool that replays a captured request without Wine: see README (kestrune replay).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
port=8080
if [[ "${1:-}" == "--port" ]]; then port=$2; fi
if [ "$(id -u)" -eq 0 ]; then bash scripts/install-deps.sh; else sudo bash scripts/install-deps.sh; fi

source tests/wine/aspserve.sh
aspserve_choose build/win32 build/win64
preset=win64
[[ $ASPSERVE_ARCH == x86 ]] && preset=win32
cmake --preset "$preset" >&2
cmake --build "build/$preset" -j"$(nproc)" --target Kestrune aspserve >&2

# Ctrl-C (or the server's end) stops the server, the log's tail and the prefix's wineserver with
# the services it started, whatever had already ended: nothing is left running.
tail_pid=
stop() {
    set +e
    echo
    echo "stopping"
    [[ -n $tail_pid ]] && kill "$tail_pid" 2>/dev/null
    aspserve_stop
}
aspserve_prepare
trap stop EXIT
trap 'exit 130' INT TERM
log="$ASPSERVE_BUILD/aspserve.log"
aspserve_start "$root/examples/asp" "$port" "$log"
echo "Kestrune ($ASPSERVE_ARCH) serves examples/asp on http://127.0.0.1:$port/  (Ctrl-C stops it)"
tail -n +2 -f "$log" &
tail_pid=$!
wait "$ASPSERVE_PID" || true
