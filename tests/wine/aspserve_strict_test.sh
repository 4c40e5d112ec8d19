#!/usr/bin/env bash
# aspserve.exe under Wine, for each architecture that runs here: as sturdy as a server and as strict
# as IIS where pages depend on it.
# - the hostile-HTTP catalogue (tests/data/hostile-http/*.case, sent by hostile_http.py): each
#   request gets the answer its file states, and a plain request is answered after each;
# - sessions: the ASPSESSIONID cookie, values kept once stored, SessionID, Timeout, Abandon,
#   objects refused, and requests of one session taking turns (a page with
#   EnableSessionState=False answers during an upload of its session, a page without waits);
# - Application (a count under Lock), Response.IsClientConnected;
# - Server.ScriptTimeout: endless loops stop with ASP 0113 and 500, with or without On Error
#   Resume Next; an upload that outlasts the timeout is not cut (Save completes), the page stops
#   right after it; a page may ask for more time;
# - --help and unknown options.
# The server runs with short deadlines (2 s, a script timeout of 3 s) and 4 request threads.
#
#   tests/wine/aspserve_strict_test.sh [WIN32_BUILD [WIN64_BUILD]]
#
# Ends with "N passed, N failed" and exits non-zero when anything failed.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
source "$here/aspserve.sh"
win32=${1:-$source_dir/build/win32}
win64=${2:-$source_dir/build/win64}
wine_select_arches || exit 2

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok    $ASPSERVE_ARCH: $1"; }
fail() { failed=$((failed + 1)); echo "FAIL  $ASPSERVE_ARCH: $1"; [[ -n "${2:-}" ]] && sed 's/^/      /' "$2" | head -30; }
# check NAME COMMAND...: passes when the command succeeds
check() { local name=$1; shift; if "$@"; then pass "$name"; else fail "$name"; fi; }

run_arch() {
    work="$ASPSERVE_BUILD/aspserve-strict"
    rm -rf "$work"
    mkdir -p "$work/site" "$work/files" "$work/out"
    cp -r "$source_dir/examples/asp/." "$work/site/"
    cp -r "$here/site/." "$work/site/"
    rm -rf "$work/site/data"
    local port=$((24000 + RANDOM % 2000))
    base="http://127.0.0.1:$port"
    local exe="$ASPSERVE_BUILD/tools/aspserve/aspserve.exe"
    [[ -f "$exe" ]] || { fail "aspserve.exe is built in $ASPSERVE_BUILD"; return; }
    aspserve_prepare || { fail "the Wine prefix is ready and Kestrune.dll registered"; return; }

    wine_cmd "$exe" --help >"$work/out/help" 2>&1
    local code=$?
    [[ $code -eq 0 ]] && grep -q -- '--max-page-threads' "$work/out/help" && grep -q -- '--bind' "$work/out/help" \
        && pass "--help lists the options and exits with 0" || fail "--help (exit $code)" "$work/out/help"
    wine_cmd "$exe" "$(aspserve_winpath "$work/site")" --verbose >"$work/out/usage" 2>&1
    code=$?
    [[ $code -eq 2 ]] && grep -q 'unknown option --verbose' "$work/out/usage" \
        && pass "an unknown option is refused with exit code 2" || fail "an unknown option (exit $code)" "$work/out/usage"

    aspserve_start "$work/site" "$port" "$work/server.log" --max-request-mb 64 --head-timeout 2 --idle-timeout 2 \
        --body-timeout 2 --script-timeout 3 --max-page-threads 4 || { fail "the server starts"; return; }

    hostile_catalogue "$port"
    sessions
    application_and_client
    script_timeout

    local left
    left=$(find "$work/site/data/temp" -type f 2>/dev/null | wc -l)
    [[ $left -eq 0 ]] && pass "no temporary file stays" || fail "no temporary file stays ($left left)"
    [[ $(curl -s -o /dev/null -w '%{http_code}' --max-time 10 "$base/hello.html") == 200 ]] \
        && pass "the server still answers afterwards" || fail "the server still answers afterwards" "$work/server.log"
    aspserve_stop
    rm -rf "$work"
}

hostile_catalogue() { # PORT
    python3 "$here/hostile_http.py" "$1" "$source_dir"/tests/data/hostile-http/*.case --label "$ASPSERVE_ARCH" \
        >"$work/out/hostile" 2>&1
    cat "$work/out/hostile"
    passed=$((passed + $(grep -c '^ok ' "$work/out/hostile")))
    failed=$((failed + $(grep -c '^FAIL ' "$work/out/hostile")))
    local cases
    cases=$(ls "$source_dir"/tests/data/hostile-http/*.case | wc -l)
    [[ $(grep -c '^\(ok\|FAIL\) ' "$work/out/hostile") -eq $cases ]] || fail "every hostile case ran" "$work/out/hostile"
}

# session JAR QUERY: session.asp with the cookie jar JAR; head and body in out/head, out/body
session() {
    curl -s -b "$1" -c "$1" -D "$work/out/head" -o "$work/out/body" --max-time 20 "$base/session.asp$2"
    tr -d '\r' <"$work/out/body" >"$work/out/lines"
}
line() { grep -m1 "^$1=" "$work/out/lines" | cut -d= -f2-; }

sessions() {
    local jar="$work/out/jar" id
    session "$jar" "?set=color&value=blue"
    grep -qE '^Set-Cookie: ASPSESSIONID[A-Z]{8}=[A-Z]{24}; path=/' <(tr -d '\r' <"$work/out/head") \
        && pass "a new session sends ASPSESSIONID plus eight letters with a key of 24" \
        || fail "the session cookie" "$work/out/head"
    id=$(line id)
    [[ $(line color) == blue && $(line count) == 1 && $(line timeout) == 20 && $id =~ ^[0-9]+$ ]] \
        && pass "a page stores a value in its session; Timeout is 20 minutes" || fail "storing a value" "$work/out/lines"
    session "$jar" ""
    [[ $(line id) == "$id" && $(line color) == blue ]] && ! grep -qi '^set-cookie' "$work/out/head" \
        && pass "the next request of the browser finds the session and its value" \
        || fail "the session is kept" "$work/out/lines"
    curl -s -o "$work/out/body" --max-time 20 "$base/session.asp"
    tr -d '\r' <"$work/out/body" >"$work/out/lines"
    [[ $(line id) != "$id" && $(line count) == 0 ]] && pass "a request without the cookie has a session of its own" \
        || fail "another browser's session" "$work/out/lines"

    local fresh="$work/out/fresh" first
    session "$fresh" ""
    first=$(line id)
    session "$fresh" ""
    [[ $(line id) != "$first" ]] && grep -qi '^set-cookie' "$work/out/head" \
        && pass "a session in which nothing was stored is not kept (a new one each request, as on IIS)" \
        || fail "an empty session is not kept" "$work/out/lines"

    session "$jar" "?timeout=5"
    session "$jar" ""
    [[ $(line timeout) == 5 ]] && pass "Session.Timeout is kept with the session" || fail "Session.Timeout" "$work/out/lines"
    session "$jar" "?object=1"
    [[ $(line "object error") == 5 && $(line count) == 1 ]] \
        && pass "an object is refused (error 5), values stay as they were" || fail "storing an object" "$work/out/lines"
    session "$jar" "?abandon=1"
    [[ $(line id) == "$id" && $(line color) == blue ]] && pass "an abandoning page still sees its session" \
        || fail "Abandon within the page" "$work/out/lines"
    session "$jar" ""
    [[ $(line id) != "$id" && $(line count) == 0 ]] && grep -qi '^set-cookie' "$work/out/head" \
        && pass "after Abandon the next request starts a new session" || fail "after Abandon" "$work/out/lines"

    # Requests of one session take turns.
    local turn="$work/out/turn" upload_id status="" i
    session "$turn" "?set=who&value=me"
    head -c $((4 * 1024 * 1024)) /dev/urandom >"$work/files/turn.bin"
    upload_id=$(head -c 16 /dev/urandom | od -An -tx1 | tr -d ' \n')
    curl -s -b "$turn" -o "$work/out/turn_upload" --max-time 60 --limit-rate 1M \
        -F "file=@$work/files/turn.bin;filename=turn.bin" "$base/session_upload.asp?id=$upload_id" &
    local upload_pid=$!
    for i in $(seq 1 200); do
        status=$(curl -s -b "$turn" --max-time 5 "$base/progress.asp?id=$upload_id" | tr -d '\r\n ')
        [[ $status == *'"status":1'* ]] && break
        sleep 0.1
    done
    [[ $status == *'"status":1'* ]] \
        && pass "progress.asp (EnableSessionState=False) answers during an upload of its own session" \
        || fail "progress.asp during the upload ($status)"
    curl -s -b "$turn" -o "$work/out/waited" --max-time 60 "$base/progress_no_directive.asp?id=$upload_id"
    [[ $(cat "$work/out/waited") == status=2 ]] \
        && pass "a page with session state waits until the upload of its session has ended (it reads Complete)" \
        || fail "a page with session state waits for its session ($(cat "$work/out/waited"))"
    wait "$upload_pid"
    [[ $(tr -d '\r\n' <"$work/out/turn_upload") == "files=1 bytes=$((4 * 1024 * 1024))" ]] \
        && pass "the upload, longer than --script-timeout, completes: the page asked for more time" \
        || fail "the upload of the session" "$work/out/turn_upload"
}

application_and_client() {
    local i pids=()
    for i in $(seq 1 12); do
        curl -s -o /dev/null --max-time 30 "$base/counter.asp" &
        pids+=($!)
    done
    wait "${pids[@]}"
    [[ $(curl -s --max-time 10 "$base/counter.asp?read=1") == hits=12 ]] \
        && pass "twelve pages at once count in Application under Lock: 12" \
        || fail "Application count ($(curl -s --max-time 10 "$base/counter.asp?read=1"))"

    curl -s -o /dev/null --max-time 1 "$base/connected.asp"
    local gone=""
    for i in $(seq 1 50); do
        gone=$(curl -s --max-time 5 "$base/connected.asp?read=1")
        [[ $gone == gone=yes ]] && break
        sleep 0.1
    done
    [[ $gone == gone=yes ]] && pass "Response.IsClientConnected turns False when the client goes away" \
        || fail "Response.IsClientConnected ($gone)" "$work/server.log"
}

script_timeout() {
    local code
    code=$(curl -s -o "$work/out/body" -w '%{http_code}' --max-time 30 "$base/loop_forever.asp")
    [[ $code == 500 ]] && grep -q "ASP 0113" "$work/out/body" && grep -q "Script timed out" "$work/out/body" \
        && pass "an endless loop stops at the script timeout: 500, ASP 0113 Script timed out" \
        || fail "an endless loop ($code)" "$work/out/body"
    grep -q '^GET /loop_forever.asp 500 .*/loop_forever.asp: ASP 0113 Script timed out' "$work/server.log" \
        && pass "the timeout is logged" || fail "the timeout is logged" "$work/server.log"
    code=$(curl -s -o "$work/out/body" -w '%{http_code}' --max-time 30 "$base/loop_resume_next.asp")
    [[ $code == 500 ]] && grep -q "ASP 0113" "$work/out/body" && ! grep -q "after the loops" "$work/out/body" \
        && pass "loops under On Error Resume Next stop too" || fail "loops under On Error Resume Next ($code)" "$work/out/body"

    local upload_id progress
    upload_id=$(head -c 16 /dev/urandom | od -An -tx1 | tr -d ' \n')
    code=$(curl -s -o "$work/out/body" -w '%{http_code}' --max-time 60 --limit-rate 1M \
        -F "file=@$work/files/turn.bin;filename=slow.bin" "$base/timeout_save.asp?id=$upload_id")
    progress=$(curl -s --max-time 5 "$base/progress.asp?id=$upload_id" | tr -d '\r\n ')
    local total=${progress#*\"totalBytes\":} uploaded=${progress#*\"uploadedBytes\":}
    total=${total%%,*}
    uploaded=${uploaded%%,*}
    [[ $code == 500 ]] && grep -q "ASP 0113" "$work/out/body" && ! grep -q "never written" "$work/out/body" \
        && [[ $progress == *'"status":2'* && $total -gt $((4 * 1024 * 1024)) && $uploaded == "$total" ]] \
        && pass "an upload longer than the timeout completes in Save; the page stops right after it (500)" \
        || fail "Save outlasting the timeout ($code, $progress)" "$work/out/body"
}

for arch in x86 x64; do
    if wine_runs_arch "$arch"; then
        aspserve_use "$arch" "$win32" "$win64"
        run_arch
    fi
done
echo "$passed passed, $failed failed"
wine_summary
[[ $failed -eq 0 ]]
