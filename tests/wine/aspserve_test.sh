#!/usr/bin/env bash
# aspserve.exe under Wine, end to end with curl: the HTTP rules (404, 400, 411, 413, 100-continue,
# keep-alive, static files), what pages see (Request, Response, Server, includes, code pages,
# script errors), then 16 concurrent uploads through examples/asp, each followed by its own
# poller of progress.asp: some cancelled through cancel.asp, some cut off by the client in the
# middle of the body. Uploads that were neither store byte-exact files; cancelled ones end
# Cancelled; no temporary file stays; the server still answers afterwards.
#
#   tests/wine/aspserve_test.sh [WIN32_BUILD [WIN64_BUILD]]
#
# Ends with "N passed, N failed" and exits non-zero when anything failed.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
source "$here/aspserve.sh"
aspserve_choose "${1:-$source_dir/build/win32}" "${2:-$source_dir/build/win64}"

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok    $ASPSERVE_ARCH: $1"; }
fail() { failed=$((failed + 1)); echo "FAIL  $ASPSERVE_ARCH: $1"; [[ -n "${2:-}" ]] && sed 's/^/      /' "$2" | head -30; }
check() { # NAME COMMAND... : passes when the command succeeds
    local name=$1; shift
    if "$@"; then pass "$name"; else fail "$name"; fi
}

work="$ASPSERVE_BUILD/aspserve-test"
rm -rf "$work"
mkdir -p "$work/site" "$work/files" "$work/out"
cp -r "$source_dir/examples/asp/." "$work/site/"
cp -r "$here/site/." "$work/site/"
rm -rf "$work/site/data"
port=$((18000 + RANDOM % 2000))
base="http://127.0.0.1:$port"

[[ -f "$ASPSERVE_BUILD/tools/aspserve/aspserve.exe" ]] || { echo "aspserve_test: no aspserve.exe in $ASPSERVE_BUILD"; exit 2; }
aspserve_prepare || exit 2
trap 'aspserve_stop' EXIT
# A script timeout of 3 s: a page that does not raise Server.ScriptTimeout for a long upload (as
# upload.asp does) would be stopped after its Save.
aspserve_start "$work/site" "$port" "$work/server.log" --max-request-mb 64 --script-timeout 3 || exit 2

# status URL [curl options...] : the HTTP status curl saw (000 when it got none)
status() { local url=$1; shift; curl -s -o "$work/out/body" -w '%{http_code}' --max-time 20 "$@" "$url"; }

# ---------------------------------------------------------------------------------------------
# HTTP

[[ $(status "$base/hello.html") == 200 ]] && grep -q static "$work/out/body" && pass "a static file is served" || fail "a static file is served"
curl -s -D "$work/out/head" -o /dev/null --max-time 10 "$base/site.css"
grep -qi '^content-type: text/css' "$work/out/head" && pass "static files carry their content type" || fail "static files carry their content type" "$work/out/head"
[[ $(status "$base/missing.html") == 404 ]] && pass "an unknown path answers 404" || fail "an unknown path answers 404"
[[ $(status "$base/inc/helpers.inc") == 404 ]] && pass "a file of no served type answers 404" || fail "a file of no served type answers 404"
[[ $(status "$base/../../etc/passwd" --path-as-is) == 400 ]] && pass "a path with .. answers 400" || fail "a path with .. answers 400"
[[ $(status "$base/%2e%2e/x.html" --path-as-is) == 400 ]] && pass "an encoded .. answers 400" || fail "an encoded .. answers 400"
exec 3<>"/dev/tcp/127.0.0.1/$port" && printf 'GET / HTTP/1.1\r\nHost x\r\n\r\n' >&3 && timeout 10 head -c 12 <&3 >"$work/out/raw"; exec 3<&- 3>&-
grep -q '^HTTP/1.1 400' "$work/out/raw" && pass "a malformed head answers 400" || fail "a malformed head answers 400" "$work/out/raw"
head -c 100000 /dev/urandom >"$work/files/small.bin"
[[ $(status "$base/binary.asp" -H 'Transfer-Encoding: chunked' --data-binary @"$work/files/small.bin") == 411 ]] \
    && pass "a chunked request body answers 411" || fail "a chunked request body answers 411"
exec 3<>"/dev/tcp/127.0.0.1/$port" && printf 'POST /upload.asp HTTP/1.1\r\nHost: x\r\nContent-Length: 67108865\r\n\r\n' >&3 \
    && timeout 10 head -c 12 <&3 >"$work/out/raw"; exec 3<&- 3>&-
grep -q '^HTTP/1.1 413' "$work/out/raw" && pass "a body above --max-request-mb answers 413 before it is sent" || fail "413 before the body" "$work/out/raw"
[[ $(status "$base/binary.asp" -H 'Expect: 100-continue' --data-binary @"$work/files/small.bin" -H 'Content-Type: application/octet-stream') == 200 ]] \
    && cmp -s "$work/out/body" "$work/files/small.bin" && pass "100-continue, BinaryRead and BinaryWrite echo a body byte for byte" \
    || fail "100-continue, BinaryRead and BinaryWrite echo a body byte for byte"
connects=$(curl -s -o /dev/null -o /dev/null -w '%{num_connects}\n' --max-time 20 "$base/hello.html" "$base/echo.asp" | paste -sd' ')
[[ "$connects" == "1 0" ]] && pass "keep-alive: a second request reuses the connection" || fail "keep-alive: a second request reuses the connection ($connects)"

# ---------------------------------------------------------------------------------------------
# Pages

status "$base/echo.asp?q=a%20b&x=1" -A 'probe/1' >/dev/null
tr -d '\r' <"$work/out/body" >"$work/out/echo"
expect_line() { grep -qxF "$1" "$work/out/echo" && pass "page sees $1" || fail "page sees $1" "$work/out/echo"; }
expect_line "method=GET"
expect_line "script=/echo.asp"
expect_line "port=$port"
expect_line "remote=127.0.0.1"
expect_line "agent=probe/1"
expect_line "q=a b"
expect_line "item=a b"
expect_line "total=0"
expect_line "mapped=$(aspserve_winpath "$work/site/inc/helpers.inc")"
expect_line 'html=&lt;b&gt;&amp;&quot;'
expect_line 'url=a+b%26%C3%A9'
expect_line "codepage=65001"
status "$base/echo.asp?form=1" --data-urlencode 'name=Jürg 😀' >/dev/null
grep -qxF 'name=Jürg 😀' <(tr -d '\r' <"$work/out/body") && pass "Request.Form decodes a URL-encoded body in the page's code page" || fail "Request.Form" "$work/out/body"
[[ $(status "$base/ansi.asp") == 200 && $(cat "$work/out/body") =~ ^(1252|437|850|1250|1251)$ ]] \
    && pass "without a directive CodePage is the ANSI code page ($(cat "$work/out/body"))" || fail "ANSI code page" "$work/out/body"
[[ $(status "$base/error.asp") == 500 ]] && grep -q '/error.asp(6): script error 0x8' "$work/out/body" \
    && pass "a script error answers 500 with the page, line and number" || fail "a script error answers 500 with the page, line and number" "$work/out/body"
grep -q '/error.asp(6): script error 0x8' "$work/server.log" && pass "the script error is logged" || fail "the script error is logged" "$work/server.log"
[[ $(status "$base/jscript.asp") == 500 ]] && grep -q 'JScript is not supported' "$work/out/body" \
    && pass "another language is refused with a clear 500" || fail "another language is refused" "$work/out/body"
code=$(curl -s -D "$work/out/head" -o "$work/out/body" -w '%{http_code}' --max-time 10 "$base/end.asp")
[[ $code == 202 && $(cat "$work/out/body") == one ]] && grep -qi '^x-test: yes' "$work/out/head" \
    && pass "Status, AddHeader, and End stop the page" || fail "Status, AddHeader, End ($code)" "$work/out/head"
code=$(curl -s -D "$work/out/head" -o /dev/null -w '%{http_code}' --max-time 10 "$base/redirect.asp")
[[ $code == 302 ]] && grep -qi '^location: echo.asp?q=moved' "$work/out/head" && pass "Redirect answers 302 with its Location" || fail "Redirect ($code)" "$work/out/head"
grep -qE '^GET /echo.asp\?q=a%20b&x=1 200 [0-9]+ [0-9]+ms$' <(tr -d '\r' <"$work/server.log") \
    && pass "one log line per request: method, path, status, bytes, ms" || fail "log line format" "$work/server.log"

# ---------------------------------------------------------------------------------------------
# The sample pages' answers and the README's minimal page, as a user copies them.

status "$base/progress.asp?id=nobody" >/dev/null
python3 -c 'import json, sys
p = json.load(open(sys.argv[1], encoding="utf-8"))
assert p["status"] == 0 and p["statusReason"] == "" and p["uploadComplete"] is False and p["uploadCancelled"] is False, p' \
    "$work/out/body" 2>"$work/out/err" && pass "progress.asp answers JSON with true/false, not the server's words" \
    || fail "progress.asp answers JSON with true/false" "$work/out/err"
status "$base/cancel.asp?id=nobody" >/dev/null
python3 -c 'import json, sys; assert json.load(open(sys.argv[1]))["cancelled"] is False' "$work/out/body" 2>"$work/out/err" \
    && pass "cancel.asp says it could not cancel an unknown upload" || fail "cancel.asp of an unknown ID" "$work/out/err"

# An upload of about 6 s, over the server's 3 s script timeout: upload.asp raises it and stores
# the file.
head -c $((1200 * 1024)) /dev/urandom >"$work/files/slow.bin"
code=$(curl -s -o "$work/out/body" -w '%{http_code}' --max-time 60 --limit-rate 200k \
    -F "file1=@$work/files/slow.bin" "$base/upload.asp?id=slow-upload")
[[ $code == 200 ]] && grep -q 'class="stored">slow.bin<' "$work/out/body" && cmp -s "$work/files/slow.bin" "$work/site/data/saved/slow.bin" \
    && pass "upload.asp outlasts a 3 s script timeout: it raises Server.ScriptTimeout" \
    || fail "upload.asp and the script timeout ($code)" "$work/out/body"

# The README's page writes into C:\Uploads: the prefix's drive_c.
uploads="$WINEPREFIX/drive_c/Uploads"
rm -rf "$uploads" && mkdir -p "$uploads/Temp"
sed -n '/^## A minimal upload page/,/^```$/p' "$source_dir/README.md" | sed '1,/^```vb$/d;$d' >"$work/site/minimal.asp"
printf 'one\n' >"$work/files/a&b.txt"
minimal() { status "$base/minimal.asp" --form-string 'note=<script>x</script>' -F "doc=@$work/files/a&b.txt;filename=<i>a&b.txt"; }
[[ $(minimal) == 200 ]] && grep -qF 'doc: ia&amp;b.txt (4 bytes)<br>' "$work/out/body" \
    && grep -qF 'note = &lt;script&gt;x&lt;/script&gt;<br>' "$work/out/body" && [[ -f "$uploads/ia&b.txt" ]] \
    && pass "the README's minimal page stores the file and writes what it shows HTML-encoded" \
    || fail "the README's minimal page" "$work/out/body"
[[ $(minimal) == 200 ]] && grep -qF 'doc: not stored, MoveFileExW from' "$work/out/body" \
    && [[ -z "$(ls -A "$uploads/Temp")" ]] \
    && pass "the README's minimal page says when SaveAs refuses a name that is taken" \
    || fail "the README's minimal page and a taken name" "$work/out/body"
rm -rf "$uploads"

# ---------------------------------------------------------------------------------------------
# 16 uploads at once, each with its own poller.

count=16
for i in $(seq 1 $count); do
    head -c $(( (3 + i % 4) * 1024 * 1024 + i * 977 )) /dev/urandom >"$work/files/u$i.bin"
done
# The role of upload i: cancel (through cancel.asp), cut (the client stops mid-body) or keep.
role() { case $(( $1 % 4 )) in 1) echo cancel ;; 2) echo cut ;; *) echo keep ;; esac; }

poll() { # I ID ROLE: polls progress.asp until the upload ends (bounded), cancels when asked to
    local i=$1 id=$2 role=$3 n last=""
    for n in $(seq 1 240); do
        last=$(curl -s --max-time 5 "$base/progress.asp?id=$id" | tr -d '\r\n ')
        echo "$last" >>"$work/out/poll$i"
        if [[ $role == cancel && $last == *'"status":1'* && ! -f "$work/out/cancelled$i" ]]; then
            local uploaded=${last#*\"uploadedBytes\":}
            uploaded=${uploaded%%,*}
            if (( uploaded > 0 )); then
                curl -s --max-time 5 "$base/cancel.asp?id=$id" >"$work/out/cancelled$i"
            fi
        fi
        [[ $last =~ \"status\":[234] ]] && break
        sleep 0.25
    done
}

pids=()
for i in $(seq 1 $count); do
    id=$(head -c 16 /dev/urandom | od -An -tx1 | tr -d ' \n')
    echo "$id" >"$work/out/id$i"
    r=$(role "$i")
    limit=(--limit-rate 2M)
    [[ $r == cut ]] && limit=(--limit-rate 1M --max-time 1.5)
    # Slow enough that the cancel always arrives before the body's end.
    [[ $r == cancel ]] && limit=(--limit-rate 400K)
    curl -s -o "$work/out/result$i" -w '%{http_code}' --max-time 120 "${limit[@]}" \
        -F "file1=@$work/files/u$i.bin;filename=u$i.bin;type=application/octet-stream" -F "title=upload $i" \
        "$base/upload.asp?id=$id" >"$work/out/code$i" 2>/dev/null &
    pids+=($!)
    poll "$i" "$id" "$r" &
    pids+=($!)
done
for p in "${pids[@]}"; do wait "$p"; done

for i in $(seq 1 $count); do
    r=$(role "$i")
    size=$(stat -c %s "$work/files/u$i.bin")
    last=$(tail -n 1 "$work/out/poll$i" 2>/dev/null)
    case $r in
    keep)
        if [[ $(cat "$work/out/code$i") == 200 ]] && grep -q "<td class=\"size\">$size</td>" "$work/out/result$i" \
            && grep -q "upload $i" "$work/out/result$i" && cmp -s "$work/files/u$i.bin" "$work/site/data/saved/u$i.bin" \
            && [[ $last == *'"status":2'* ]]; then
            pass "upload $i is stored byte for byte and ends Complete"
        else
            fail "upload $i is stored byte for byte and ends Complete (code $(cat "$work/out/code$i"), last $last)" "$work/out/result$i"
        fi ;;
    cancel)
        if [[ $last == *'"status":4'* && $last == *'Uploadcancelledduetoauserrequest'* ]] && [[ ! -e "$work/site/data/saved/u$i.bin" ]]; then
            pass "upload $i is cancelled through cancel.asp and stores nothing"
        else
            fail "upload $i is cancelled through cancel.asp and stores nothing (last $last)" "$work/out/cancelled$i"
        fi ;;
    cut)
        # Error, or Waiting when the client left before the page reached Save.
        if [[ $last =~ \"status\":[03], ]] && [[ ! -e "$work/site/data/saved/u$i.bin" ]]; then
            pass "upload $i cut off by the client ends with an error and stores nothing"
        else
            fail "upload $i cut off by the client ends with an error and stores nothing (last $last)"
        fi ;;
    esac
done
# Every page whose Save succeeded counted itself in Application under Lock: no number twice.
counts=$(cat "$work"/out/result* 2>/dev/null | grep -o 'Upload [0-9]* since the site started' | awk '{print $2}' | sort -n)
if [[ $(wc -w <<<"$counts") -ge 8 && $(uniq <<<"$counts" | wc -l) -eq $(wc -l <<<"$counts") ]]; then
    pass "the upload pages counted in Application without counting a number twice ($(echo $counts))"
else
    fail "the upload pages counted in Application without counting a number twice ($(echo $counts))"
fi
# Temporary files go when the page's objects are released, right after each page.
left=$(find "$work/site/data/temp" -type f | wc -l)
[[ $left -eq 0 ]] && pass "no temporary file stays" || fail "no temporary file stays ($left left)"
[[ $(status "$base/") == 200 ]] && grep -q 'upload-form' "$work/out/body" && pass "the server still answers afterwards" || fail "the server still answers afterwards"

aspserve_stop
trap - EXIT
rm -rf "$work"
[[ ! -e "$work" ]] || fail "the test's folder is removed"
echo "$passed passed, $failed failed"
aspserve_summary
[[ $failed -eq 0 ]]
