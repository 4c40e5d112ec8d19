#!/usr/bin/env bash
# Captures multipart requests from real clients into tests/data/requests/clients/ (capture time
# only; the test command uses the committed captures). Every client posts the same form:
#   title   = "Café – 履歴書"            (text, non-ASCII)
#   comment = "two" CRLF "lines"         (text)
#   notes   = notes.txt (text/plain)     30 bytes
#   blob    = blob.bin                   20000 pseudo-random bytes (seed 7), crosses the 8192-byte buffer
# Usage: tests/capture/capture_clients.sh [curl|python|node|chromium]...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(cd "$here/../data/requests/clients" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'Plain text file.\nSecond line.\n' >"$work/notes.txt"
python3 -c "import random; random.seed(7); open('$work/blob.bin','wb').write(bytes(random.randrange(256) for _ in range(20000)))"
port=18431
title='Café – 履歴書'

capture() { # NAME COMMAND...
    local name=$1; shift
    python3 "$here/capture_server.py" "$port" "$out/$name.http" >"$work/server.log" &
    local server=$!
    for _ in $(seq 50); do grep -q listening "$work/server.log" 2>/dev/null && break; sleep 0.1; done
    (cd "$work" && "$@") >/dev/null
    wait "$server"
    echo "captured $out/$name.http"
}

url="http://127.0.0.1:$port/upload.asp"
clients=("$@")
[[ ${#clients[@]} -eq 0 ]] && clients=(curl python node)
for client in "${clients[@]}"; do
    case $client in
    curl)
        capture curl_form curl -s -F "title=$title" -F $'comment=two\r\nlines' \
            -F "notes=@notes.txt;type=text/plain" -F "blob=@blob.bin" "$url" ;;
    python)
        capture python_requests python3 -c "
import requests
requests.post('$url', data={'title': '$title', 'comment': 'two\r\nlines'},
              files={'notes': ('notes.txt', open('notes.txt', 'rb'), 'text/plain'), 'blob': ('blob.bin', open('blob.bin', 'rb'))})" ;;
    node)
        capture node_fetch_formdata node -e "
const fs = require('fs');
const form = new FormData();
form.append('title', '$title');
form.append('comment', 'two\r\nlines');
form.append('notes', new Blob([fs.readFileSync('notes.txt')], {type: 'text/plain'}), 'notes.txt');
form.append('blob', new Blob([fs.readFileSync('blob.bin')]), 'blob.bin');
fetch('$url', {method: 'POST', body: form}).then(r => r.text());" ;;
    chromium)
        # A real form post from a headless browser: the page fills in the text fields and the
        # files (through DataTransfer, as a user's file picker would) and submits the form.
        cat >"$work/form.html" <<HTML
<!DOCTYPE html><meta charset="utf-8">
<form id="f" action="$url" method="post" enctype="multipart/form-data">
<input name="title"><textarea name="comment"></textarea><input type="file" name="notes"><input type="file" name="blob">
</form>
<script>
const put = (name, bytes, fileName, type) => { const d = new DataTransfer();
  d.items.add(new File([bytes], fileName, {type})); document.querySelector('[name=' + name + ']').files = d.files; };
document.querySelector('[name=title]').value = '$title';
document.querySelector('[name=comment]').value = 'two\nlines';
put('notes', 'Plain text file.\nSecond line.\n', 'notes.txt', 'text/plain');
const blob = new Uint8Array([$(python3 -c "print(','.join(str(b) for b in open('$work/blob.bin','rb').read()))")]);
put('blob', blob, 'blob.bin', '');
document.getElementById('f').submit();
</script>
HTML
        capture chromium_form chromium --headless --disable-gpu --no-sandbox --user-data-dir="$work/profile" \
            --virtual-time-budget=5000 "file://$work/form.html" ;;
    *) echo "unknown client $client" >&2; exit 2 ;;
    esac
done
