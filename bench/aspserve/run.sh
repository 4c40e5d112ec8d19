#!/usr/bin/env bash
# Upload throughput of aspserve.exe + examples/asp/upload.asp against a plain Winsock sink
# (http_sink.exe) in the same Wine prefix: curl posts the same 256 MiB multipart body to both.
# Prints both throughputs and their ratio. Build first: the Kestrune, aspserve and http_sink
# targets of the win32 or win64 preset.
#
#   bench/aspserve/run.sh [WIN32_BUILD [WIN64_BUILD]]
set -u
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
source "$source_dir/tests/wine/aspserve.sh"
aspserve_choose "${1:-$source_dir/build/win32}" "${2:-$source_dir/build/win64}"

work="$ASPSERVE_BUILD/bench-aspserve"
rm -rf "$work"
mkdir -p "$work/site"
cp -r "$source_dir/examples/asp/." "$work/site/"
rm -rf "$work/site/data"
head -c $((256 * 1024 * 1024)) /dev/urandom >"$work/body.bin"
port=$((22000 + RANDOM % 1000))
sink_port=$((port + 1))

aspserve_prepare || exit 2
sink_pid=
trap '[[ -n "$sink_pid" ]] && kill "$sink_pid" 2>/dev/null; aspserve_stop; rm -rf "$work"' EXIT
aspserve_start "$work/site" "$port" "$work/server.log" || exit 2
wine_cmd "$ASPSERVE_BUILD/bench/aspserve/http_sink.exe" "$sink_port" >"$work/sink.log" 2>&1 &
sink_pid=$!
for _ in $(seq 1 60); do curl -s -o /dev/null --max-time 2 "http://127.0.0.1:$sink_port/" && break; sleep 0.5; done

# seconds curl takes to post the file to URL
post() { curl -s -o "$work/answer" -w '%{time_total}' --max-time 600 -F "file1=@$work/body.bin;filename=body.bin" "$1"; }

page_seconds=$(post "http://127.0.0.1:$port/upload.asp?id=bench")
grep -q '<td class="size">268435456</td>' "$work/answer" || { echo "bench: upload.asp did not receive the file"; exit 1; }
sink_seconds=$(post "http://127.0.0.1:$sink_port/")
awk -v p="$page_seconds" -v s="$sink_seconds" -v arch="$ASPSERVE_ARCH" 'BEGIN {
    mib = 256
    printf "aspserve + upload.asp (%s): %.1f MiB/s (%.2f s)\n", arch, mib / p, p
    printf "plain Winsock sink (%s):    %.1f MiB/s (%.2f s)\n", arch, mib / s, s
    printf "ratio (aspserve / sink):      %.2f\n", s / p
}'
