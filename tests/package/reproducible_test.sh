#!/usr/bin/env bash
# Two runs of scripts/package.sh on the same commit give the same zip, byte for byte. The second
# run builds both DLLs again from nothing, in build trees of its own (Kestrune.dll and what it needs,
# nothing else), at another time and in another folder; then the two zips are compared, and on a
# difference the entries that differ are named.
#
# Usage: tests/package/reproducible_test.sh ZIP   (ZIP: the first run's, e.g. dist/kestrune-1.0.0-windows.zip)
set -u
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
[[ $# -eq 1 && -f $1 ]] || { echo "usage: reproducible_test.sh ZIP" >&2; exit 2; }
first=$(realpath -- "$1")

again=$(mktemp -d "$source_dir/build/package-again.XXXXXX") || exit 2
trap 'rm -rf "$again"' EXIT

if ! bash "$source_dir/scripts/package.sh" --build-root "$again/build" --out "$again/dist" >"$again/package.log" 2>&1; then
    tail -30 "$again/package.log"
    echo "FAIL  the second run of scripts/package.sh"
    echo "0 passed, 1 failed"
    exit 1
fi
second=$again/dist/$(basename "$first")
built=$(find "$again/build" -name Kestrune.dll -path '*/server/*' | wc -l)

passed=0
failed=0
if [[ $built -eq 2 ]]; then
    passed=$((passed + 1)); echo "ok    the second run built both DLLs in its own trees"
else
    failed=$((failed + 1)); echo "FAIL  the second run built both DLLs in its own trees (found $built)"
fi
if cmp -s "$first" "$second"; then
    passed=$((passed + 1)); echo "ok    the second run's zip is the first's, byte for byte ($(stat -c %s "$first") bytes)"
else
    failed=$((failed + 1)); echo "FAIL  the second run's zip is the first's, byte for byte"
    python3 - "$first" "$second" <<'EOF'
import sys, zipfile
a, b = (zipfile.ZipFile(p) for p in sys.argv[1:3])
names = sorted(set(a.namelist()) | set(b.namelist()))
for n in names:
    if n not in a.namelist() or n not in b.namelist():
        print(f"      {n}: only in one zip")
    elif a.read(n) != b.read(n):
        print(f"      {n}: content differs")
    elif a.getinfo(n).date_time != b.getinfo(n).date_time:
        print(f"      {n}: time differs")
EOF
fi
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
