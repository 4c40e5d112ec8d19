#!/usr/bin/env bash
# The browser test: serves a copy of examples/asp with aspserve.exe under Wine and drives Debian's
# chromium through it (upload_test.mjs): a generated 100 MiB file with text fields, throttled by
# the browser to last at least 5 s, then an upload cancelled at about half. The mid-upload
# screenshot stays in the build tree (BUILD/browser-test/mid-upload.png).
#
#   tests/browser/run.sh [WIN32_BUILD [WIN64_BUILD]]
set -u
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
source "$source_dir/tests/wine/aspserve.sh"
aspserve_choose "${1:-$source_dir/build/win32}" "${2:-$source_dir/build/win64}"

[[ -x /usr/bin/chromium ]] || { echo "browser test: /usr/bin/chromium is missing (scripts/install-deps.sh)"; exit 2; }
[[ -d "$here/node_modules/playwright-core" ]] || { echo "browser test: run npm ci in tests/browser (scripts/install-deps.sh)"; exit 2; }

work="$ASPSERVE_BUILD/browser-test"
rm -rf "$work/site" "$work/files"
mkdir -p "$work/site" "$work/files"
cp -r "$source_dir/examples/asp/." "$work/site/"
rm -rf "$work/site/data"
head -c $((100 * 1024 * 1024)) /dev/urandom >"$work/files/big.bin"
port=$((20000 + RANDOM % 2000))

aspserve_prepare || exit 2
trap 'aspserve_stop; rm -rf "$work/site" "$work/files"' EXIT
aspserve_start "$work/site" "$port" "$work/server.log" || exit 2
node "$here/upload_test.mjs" "http://127.0.0.1:$port" "$work/files/big.bin" "$work/site" "$work/mid-upload.png"
status=$?
aspserve_summary
exit $status
