#!/usr/bin/env bash
# Acceptance tests of Kestrune.dll under Wine, x86 and x64.
#
#   tests/wine/run.sh [WIN32_BUILD_DIR [WIN64_BUILD_DIR]]      the whole suite (default build/win32, build/win64)
#   tests/wine/run.sh --page PAGE.vbs [REQUEST.http] [--arch x86|x64] [--build DIR]
#                                                               run one page by hand, output as is
#
# The suite makes (once) a win64 Wine prefix inside the first build tree, registers both DLLs with
# regsvr32, checks the registry, the type library and the class objects, runs the Windows unit
# tests and every page under tests/wine/pages, stops that prefix's wineserver, and ends with
# "N passed, N failed, N skipped" and a line that says which architectures ran. It exits non-zero
# when anything that ran failed.
#
# The architectures come from wine-arch.sh: x86 and x64 where this machine runs 32-bit programs,
# x64 alone where it does not (each x86 check is then counted as skipped, with the reason), or as
# KESTRUNE_WINE_ARCHES forces them (for example KESTRUNE_WINE_ARCHES=x64).
set -u

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
source "$here/wine-arch.sh"

die() { echo "run.sh: $*" >&2; exit 2; }

wine_select_arches || exit 2

winpath() { wine_winpath "$1"; }

# A check of a skipped architecture runs no Wine program and counts as skipped (see skip_arch).
skipping=""
wine() { [[ -n $skipping ]] && return 0; wine_cmd "$@"; }

# The 64-bit reg.exe on the 64-bit view: x86 keys are read under their Wow6432Node paths. (A bare
# `wine reg` runs the 32-bit one, whose HKCR\CLSID is the x86 view.)
reg64() { local verb=$1; shift; wine 'C:\windows\system32\reg.exe' "$verb" "$@" /reg:64; }

# ---------------------------------------------------------------------------------------------
# One page by hand.

if [[ "${1:-}" == "--page" ]]; then
    shift
    page="" request="" arch=$(wine_preferred_arch) build=""
    while [[ $# -gt 0 ]]; do
        case "$1" in
            --arch) arch=$2; shift 2 ;;
            --build) build=$2; shift 2 ;;
            *) if [[ -z "$page" ]]; then page=$1; else request=$1; fi; shift ;;
        esac
    done
    [[ -n "$page" ]] || die "--page needs a page"
    wine_runs_arch "$arch" || die "$arch cannot run here: $WINE_SKIP_REASON"
    if [[ -z "$build" ]]; then
        if [[ $arch == x64 ]]; then build="$source_dir/build/win64"; else build="$source_dir/build/win32"; fi
    fi
    wine_start_prefix "$build/wineprefix" || die "no Wine prefix"
    wine "$(wine_regsvr32 "$arch")" /s "$(winpath "$build/server/Kestrune.dll")" || die "regsvr32 failed"
    args=("$(winpath "$page")")
    [[ -n "$request" ]] && args+=("$(winpath "$request")")
    wine "$build/tools/pagerun/pagerun.exe" "${args[@]}"
    exit $?
fi

# ---------------------------------------------------------------------------------------------
# The suite.

build32=$(cd "${1:-$source_dir/build/win32}" 2>/dev/null && pwd) || die "no win32 build directory"
build64=$(cd "${2:-$source_dir/build/win64}" 2>/dev/null && pwd) || die "no win64 build directory"

passed=0
failed=0
skipped=0
scratch=$(mktemp -d)

pass() {
    if [[ -n $skipping ]]; then skipped=$((skipped + 1)); return; fi
    passed=$((passed + 1)); echo "ok    $1"
}
fail() {
    if [[ -n $skipping ]]; then skipped=$((skipped + 1)); return; fi
    failed=$((failed + 1)); echo "FAIL  $1"; [[ -n "${2:-}" ]] && sed 's/^/      /' "$2" | head -40
}

# skip_arch ARCH COMMAND...: walks through the checks of an architecture this machine does not
# run, so each is counted as skipped (not passed, not failed); report_skips says why, once.
declare -A skipped_checks=()
skip_arch() {
    local arch=$1 before=$skipped; shift
    skipping=$arch
    "$@"
    skipping=""
    skipped_checks[$arch]=$(( ${skipped_checks[$arch]:-0} + skipped - before ))
}
report_skips() {
    local arch
    for arch in "${!skipped_checks[@]}"; do
        echo "skip  $arch: ${skipped_checks[$arch]} checks ($WINE_SKIP_REASON)"
    done
}

# run_arch ARCH COMMAND...: runs the checks, or skips them where ARCH does not run here.
run_arch() {
    if wine_runs_arch "$1"; then "${@:2}"; else skip_arch "$@"; fi
}

# Compares two files; on a difference shows it.
same() { # NAME EXPECTED ACTUAL
    if diff -u "$2" "$3" >"$scratch/diff"; then pass "$1"; else fail "$1" "$scratch/diff"; fi
}

APPID="{7458B7E8-3162-4286-A81D-3165A2B7B03F}"
LIBID="{FEE9C9D6-28F6-4005-A2CD-C319B22C1575}"
# Object-map order: name, CLSID, threading model, Programmable key.
CLASSES=(
    "UploadedFileCollection {B2C935A2-E8E2-46DC-9496-56E19FA7E4E8} Both yes"
    "TextFieldCollection {F58329C1-D167-4FF4-8F6E-7B0E245F72A3} Both yes"
    "UploadedFile {9B3CBB68-841C-42D0-843F-560B9120A023} Both yes"
    "TextField {7EE6DC24-1E1E-4315-9380-33C89ABFA69B} Both yes"
    "Progress {95132F76-BAD2-4024-B26A-042B57DE189B} Both yes"
    "UploadMetadata {D452B929-7C77-4CE3-8958-9AB309DC45D7} Neutral no"
    "Upload {74FD3FE2-3E13-42B6-ADC8-08CA7ED2107E} Both yes"
)

# Every key self-registration writes, with its values, as "key" and "key|name|value" lines.
expected_registry() { # CLSID_ROOT MODULE
    local root=$1 module=$2
    echo "HKEY_CLASSES_ROOT\\AppID\\$APPID|(Default)|Kestrune"
    echo "HKEY_CLASSES_ROOT\\AppID\\Kestrune.DLL|AppID|$APPID"
    local entry name clsid model programmable
    for entry in "${CLASSES[@]}"; do
        read -r name clsid model programmable <<<"$entry"
        local key="HKEY_CLASSES_ROOT\\$root\\$clsid"
        echo "HKEY_CLASSES_ROOT\\Kestrune.$name.1|(Default)|$name Class"
        echo "HKEY_CLASSES_ROOT\\Kestrune.$name.1\\CLSID|(Default)|$clsid"
        echo "HKEY_CLASSES_ROOT\\Kestrune.$name|(Default)|$name Class"
        echo "HKEY_CLASSES_ROOT\\Kestrune.$name\\CLSID|(Default)|$clsid"
        echo "HKEY_CLASSES_ROOT\\Kestrune.$name\\CurVer|(Default)|Kestrune.$name.1"
        echo "$key|(Default)|$name Class"
        echo "$key|AppID|$APPID"
        echo "$key\\InprocServer32|(Default)|$module"
        echo "$key\\InprocServer32|ThreadingModel|$model"
        echo "$key\\ProgID|(Default)|Kestrune.$name.1"
        [[ $programmable == yes ]] && echo "$key\\Programmable"
        echo "$key\\TypeLib|(Default)|$LIBID"
        echo "$key\\VersionIndependentProgID|(Default)|Kestrune.$name"
    done
}

# The registry below the keys above, in the same form (`wine reg query /s`, never the files).
actual_registry() { # CLSID_ROOT
    local root=$1 entry name clsid rest
    local keys=("AppID\\$APPID" "AppID\\Kestrune.DLL")
    for entry in "${CLASSES[@]}"; do
        read -r name clsid rest <<<"$entry"
        keys+=("Kestrune.$name.1" "Kestrune.$name" "$root\\$clsid")
    done
    for key in "${keys[@]}"; do
        reg64 query "HKCR\\$key" /s 2>/dev/null | tr -d '\r' | awk '
            /^HKEY_/ { key = $0; print key; next }
            /^    / { sub(/^    /, ""); n = split($0, f, /    /); v = (n >= 3) ? f[3] : "";
                      for (i = 4; i <= n; i++) v = v "    " f[i]; print key "|" f[1] "|" v }'
    done | awk -F'|' 'NF == 1 { keys[$0] = 1; next } { print; haskey[$1] = 1 } END { for (k in keys) if (!(k in haskey)) print k }' | sort
}

key_exists() { reg64 query "$1" >/dev/null 2>&1; }

check_registration() { # ARCH BUILD REGSVR CLSID_ROOT TYPELIB_PLATFORM
    local arch=$1 build=$2 regsvr=$3 root=$4 platform=$5
    local tlkey="HKCR\\TypeLib\\$LIBID\\1.0\\409\\$platform"
    local dll="$build/server/Kestrune.dll" module
    module=$(winpath "$dll")
    expected_registry "$root" "$module" | sort >"$scratch/registry.expected"

    wine "$regsvr" /s /u "$module" >/dev/null 2>&1
    if wine "$regsvr" /s "$module"; then pass "$arch: regsvr32 registers"; else fail "$arch: regsvr32 registers"; fi
    actual_registry "$root" >"$scratch/registry.actual"
    same "$arch: registry holds exactly the class, ProgID and AppID keys" "$scratch/registry.expected" "$scratch/registry.actual"
    if key_exists "$tlkey"; then pass "$arch: type library registered"; else fail "$arch: type library registered"; fi

    # A second registration replaces the CLSID trees: a stray subkey left there disappears.
    local upload_key="HKCR\\$root\\{74FD3FE2-3E13-42B6-ADC8-08CA7ED2107E}"
    reg64 add "$upload_key\\Stray" /ve /d left /f >/dev/null 2>&1
    reg64 add "$upload_key" /v Stray /d left /f >/dev/null 2>&1
    if wine "$regsvr" /s "$module"; then pass "$arch: regsvr32 registers again"; else fail "$arch: regsvr32 registers again"; fi
    actual_registry "$root" >"$scratch/registry.actual"
    same "$arch: registering twice leaves one clean copy" "$scratch/registry.expected" "$scratch/registry.actual"

    if wine "$regsvr" /s /u "$module"; then pass "$arch: regsvr32 /u unregisters"; else fail "$arch: regsvr32 /u unregisters"; fi
    actual_registry "$root" >"$scratch/registry.actual"
    : >"$scratch/empty"
    same "$arch: unregistering removes every key" "$scratch/empty" "$scratch/registry.actual"
    if key_exists "$tlkey"; then fail "$arch: type library unregistered"; else pass "$arch: type library unregistered"; fi
    if key_exists "HKCR\\$root" && key_exists "HKCR\\AppID"; then
        pass "$arch: HKCR\\$root and HKCR\\AppID stay"
    else
        fail "$arch: HKCR\\$root and HKCR\\AppID stay"
    fi
}

register() { # REGSVR DLL
    wine "$1" /s "$(winpath "$2")"
}

check_probe() { # ARCH BUILD
    local arch=$1 build=$2 probe="$2/tests/wine/probe.exe" module
    module=$(winpath "$build/server/Kestrune.dll")
    if [[ ! -f "$probe" ]]; then fail "$arch: probe.exe built"; return; fi
    wine "$probe" typelib "$module" 2>&1 | tr -d '\r' >"$scratch/typelib.actual"
    same "$arch: type library members, DISPIDs, flags and help strings" "$here/expected/typelib.txt" "$scratch/typelib.actual"
    wine "$probe" classes "$module" 2>&1 | tr -d '\r' >"$scratch/classes.actual"
    same "$arch: class objects" "$here/expected/classes.txt" "$scratch/classes.actual"
    local syskind=win32
    [[ $arch == x64 ]] && syskind=win64
    printf 'LoadRegTypeLib 0x00000000\nsyskind %s\n' "$syskind" >"$scratch/registered.expected"
    wine "$probe" registered 2>&1 | tr -d '\r' >"$scratch/registered.actual"
    same "$arch: registered type library loads" "$scratch/registered.expected" "$scratch/registered.actual"
}

check_unit_tests() { # ARCH BUILD
    local arch=$1 exe="$2/tests/unit/kestrune_unit_tests.exe"
    if [[ ! -f "$exe" ]]; then fail "$arch: unit tests built"; return; fi
    # An optional unit-filter.txt (a --gtest_filter value) leaves tests out of the Wine run.
    local filter=()
    [[ -s "$here/unit-filter.txt" ]] && filter=("--gtest_filter=$(tr -d '[:space:]' <"$here/unit-filter.txt")")
    if (cd "$scratch" && wine "$exe" --gtest_brief=1 "${filter[@]}" >"$scratch/unit.log" 2>&1); then
        pass "$arch: unit tests ($(grep -o '[0-9]* tests\? from [0-9]* test suites\? ran' "$scratch/unit.log" | head -1))"
    else
        grep -E '^\[  FAILED|Failure|error' "$scratch/unit.log" | tr -d '\r' | head -40 >"$scratch/unit.failures"
        fail "$arch: unit tests" "$scratch/unit.failures"
    fi
}

# One run of a page: pagerun.exe PAGE [REQUEST], compared with the expectation that goes with the
# request (REQUEST without .http, plus .expected / .exitcode; the page's own without a request).
check_page_run() { # ARCH PAGERUN PAGE REQUEST
    local arch=$1 pagerun=$2 page=$3 request=$4
    local base=${page%.vbs} stem args expected_code=0 code
    stem=$base
    args=("$(winpath "$page")")
    if [[ -f "$request" ]]; then
        stem=${request%.http}
        args+=("$(winpath "$request")")
    fi
    local name=${stem#"$here/pages/"}
    [[ -f "$stem.exitcode" ]] && expected_code=$(tr -d '[:space:]' <"$stem.exitcode")
    (cd "$scratch" && wine "$pagerun" "${args[@]}" >"$scratch/page.out" 2>"$scratch/page.err")
    code=$?
    if [[ ! -f "$stem.expected" ]]; then
        fail "$arch: page $name (no $name.expected)"
    elif ! cmp -s "$stem.expected" "$scratch/page.out"; then
        diff -u "$stem.expected" "$scratch/page.out" >"$scratch/diff"
        cat "$scratch/page.err" >>"$scratch/diff"
        fail "$arch: page $name" "$scratch/diff"
    elif [[ $code -ne $expected_code ]]; then
        echo "exit code $code, expected $expected_code" >"$scratch/diff"
        cat "$scratch/page.err" >>"$scratch/diff"
        fail "$arch: page $name" "$scratch/diff"
    else
        pass "$arch: page $name"
    fi
}

# Every page, with its request NAME.http (or none), or once with each NAME.VARIANT.http.
check_pages() { # ARCH BUILD
    local arch=$1 pagerun="$2/tools/pagerun/pagerun.exe"
    if [[ ! -f "$pagerun" ]]; then fail "$arch: pagerun.exe built"; return; fi
    local page request requests
    while IFS= read -r -d '' page; do
        requests=()
        for request in "${page%.vbs}".*.http; do
            [[ -f "$request" ]] && requests+=("$request")
        done
        [[ ${#requests[@]} -eq 0 ]] && requests=("${page%.vbs}.http")
        for request in "${requests[@]}"; do
            check_page_run "$arch" "$pagerun" "$page" "$request"
        done
    done < <(find "$here/pages" -name '*.vbs' -print0 | sort -z)
}

# The hostile-request catalogue: each recipe expanded into a request by hostile_request.exe and run
# by pagerun.exe through hostile/outcome.vbs (about 17 s per architecture, most of it for the big
# entries: bodies of 20 to 100 MiB). KESTRUNE_HOSTILE_BIG=0 leaves the big ones out.
check_hostile() { # ARCH BUILD
    local arch=$1 build=$2 pagerun="$2/tools/pagerun/pagerun.exe" maker="$2/tests/wine/hostile_request.exe"
    local big=() recipe name code
    [[ "${KESTRUNE_HOSTILE_BIG:-1}" == 1 ]] && big=(--big)
    if [[ -n $skipping ]]; then # one check per recipe that would run, as below
        for recipe in "$source_dir"/tests/data/hostile/*.recipe; do
            [[ ${#big[@]} -eq 0 ]] && grep -q '^big: yes' "$recipe" && continue
            pass "$arch: hostile $(basename "$recipe" .recipe)"
        done
        return
    fi
    if [[ ! -f "$maker" ]]; then fail "$arch: hostile_request.exe built"; return; fi
    for recipe in "$source_dir"/tests/data/hostile/*.recipe; do
        name=$(basename "$recipe" .recipe)
        wine "$maker" "${big[@]}" "$(winpath "$recipe")" "$(winpath "$scratch/hostile.http")" \
            >"$scratch/hostile.expected" 2>"$scratch/hostile.err"
        code=$?
        [[ $code -eq 3 ]] && continue
        if [[ $code -ne 0 ]]; then fail "$arch: hostile $name (request not made)" "$scratch/hostile.err"; continue; fi
        (cd "$scratch" && wine "$pagerun" "$(winpath "$here/hostile/outcome.vbs")" "$(winpath "$scratch/hostile.http")" \
            >"$scratch/hostile.out" 2>"$scratch/hostile.err")
        tr -d '\r' <"$scratch/hostile.expected" >"$scratch/hostile.expected.lf"
        tr -d '\r' <"$scratch/hostile.out" >"$scratch/hostile.out.lf"
        cat "$scratch/hostile.err" >>"$scratch/hostile.out.lf"
        same "$arch: hostile $name" "$scratch/hostile.expected.lf" "$scratch/hostile.out.lf"
    done
    rm -f "$scratch/hostile.http"
}

# teardown.exe, many times: an upload followed at once by the end of the process, and an upload
# followed by release and FreeLibrary under the DLL's running workers. Every run must end within the time
# limit (a hang at detach shows as exit code 124) with exit code 0; the unload runs leave no file.
check_teardown() { # ARCH BUILD
    local arch=$1 build=$2 exe="$2/tests/wine/teardown.exe" runs=${KESTRUNE_TEARDOWN_RUNS:-10}
    local dll mode i code problem dir
    if [[ -n $skipping ]]; then
        for mode in exit unload; do pass "$arch: teardown $mode"; done
        return
    fi
    if [[ ! -f "$exe" ]]; then fail "$arch: teardown.exe built"; return; fi
    dll=$(winpath "$build/server/Kestrune.dll")
    for mode in exit unload; do
        dir="$scratch/teardown-$mode"
        mkdir -p "$dir"
        problem=""
        for ((i = 1; i <= runs; i++)); do
            if [[ $mode == exit ]]; then
                timeout 30 "$WINE_LOADER" "$exe" exit "$(winpath "$dir")" >"$scratch/teardown.log" 2>&1
            else
                timeout 30 "$WINE_LOADER" "$exe" unload "$(winpath "$dir")" "$dll" >"$scratch/teardown.log" 2>&1
            fi
            code=$?
            if [[ $code -ne 0 ]]; then
                problem="run $i of $runs ended with exit code $code (124: still running after 30 s)"
                break
            fi
        done
        if [[ -z "$problem" && $mode == unload && -n "$(ls -A "$dir")" ]]; then
            problem="temporary files left behind: $(ls "$dir" | head -3 | tr '\n' ' ')"
        fi
        rm -rf "$dir"
        if [[ -z "$problem" ]]; then
            pass "$arch: $runs runs of teardown $mode end at once with exit code 0"
        else
            echo "$problem" >>"$scratch/teardown.log"
            fail "$arch: $runs runs of teardown $mode end at once with exit code 0" "$scratch/teardown.log"
        fi
    done
}

wine_start_prefix "$build32/wineprefix" || { rm -rf "$scratch"; die "no Wine prefix"; }
trap 'wine_stop_prefix; rm -rf "$scratch"' EXIT

# ProgID, AppID and TypeLib keys are shared by both views: start with neither DLL registered.
for arch in $WINE_ARCHES; do
    build=$build32
    [[ $arch == x64 ]] && build=$build64
    wine "$(wine_regsvr32 $arch)" /s /u "$(winpath "$build/server/Kestrune.dll")" >/dev/null 2>&1
done

registration_checks() { # ARCH
    if [[ $1 == x86 ]]; then
        check_registration x86 "$build32" "$(wine_regsvr32 x86)" "Wow6432Node\\CLSID" win32
    else
        check_registration x64 "$build64" "$(wine_regsvr32 x64)" "CLSID" win64
    fi
}
for arch in x86 x64; do
    run_arch $arch registration_checks $arch
done

# Both registered side by side for everything that follows.
for arch in $WINE_ARCHES; do
    build=$build32
    [[ $arch == x64 ]] && build=$build64
    register "$(wine_regsvr32 $arch)" "$build/server/Kestrune.dll" || fail "$arch DLL registered for the checks that follow"
done

client_checks() { # ARCH BUILD
    check_probe "$1" "$2"
    check_unit_tests "$1" "$2"
    check_pages "$1" "$2"
    check_hostile "$1" "$2"
    check_teardown "$1" "$2"
}
for arch in x86 x64; do
    build=$build32
    [[ $arch == x64 ]] && build=$build64
    run_arch $arch client_checks $arch "$build"
done

report_skips
echo "$passed passed, $failed failed, $skipped skipped"
wine_summary
[[ $failed -eq 0 ]]
