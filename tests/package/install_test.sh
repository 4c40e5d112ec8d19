#!/usr/bin/env bash
# The release package as an administrator uses it, under Wine, in a Wine prefix of its own:
#   - unpacked into a folder whose name has spaces and parentheses (as a second download gets);
#   - install.cmd without elevation: refused with exit code 5, nothing changed;
#   - install.cmd with a DLL regsvr32 cannot load: the failure is reported (exit code 1);
#   - install.cmd: the DLLs copied to C:\Program Files\Kestrune, each registered in the view of its
#     architecture (x86 under Wow6432Node\CLSID, x64 under CLSID) from there, what it did said line
#     by line; the version resources of the installed DLLs; a page run against the installed
#     component by pagerun.exe of each architecture;
#   - uninstall.cmd: no key of ours left in either registry view (ProgIDs, CLSIDs, AppIDs, type
#     library, interfaces: anything that names Kestrune or one of its GUIDs), the folder gone.
# Install and uninstall run twice, once from a 32-bit and once from a 64-bit cmd.exe (a 32-bit
# prompt reaches the 64-bit regsvr32 through Sysnative). Where this machine runs no 32-bit program,
# only the 64-bit cmd runs `install.cmd x64`, and every x86 check is counted as skipped.
#
# Under Wine every program runs with an administrator's rights: Wine has no fltmc, and its net.exe
# answers `net session` with success, so the scripts' elevation check passes as in an elevated
# prompt. The refusal is checked with a SystemRoot in which neither program exists.
#
# Usage: tests/package/install_test.sh ZIP WIN32_BUILD_DIR WIN64_BUILD_DIR
#   (the build trees give pagerun.exe and probe.exe; the DLLs tested are the zip's)
set -u

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
source "$source_dir/tests/wine/wine-arch.sh"

die() { echo "install_test: $*" >&2; exit 2; }

[[ $# -eq 3 ]] || die "usage: install_test.sh ZIP WIN32_BUILD_DIR WIN64_BUILD_DIR"
zip=$(realpath -- "$1") || die "no zip $1"
build32=$(cd "$2" 2>/dev/null && pwd) || die "no win32 build directory $2"
build64=$(cd "$3" 2>/dev/null && pwd) || die "no win64 build directory $3"
version=$(basename "$zip")
version=${version#kestrune-}
version=${version%-windows.zip}
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || die "$zip is not named kestrune-VERSION-windows.zip"

wine_select_arches || exit 2

APPID=7458B7E8-3162-4286-A81D-3165A2B7B03F
LIBID=FEE9C9D6-28F6-4005-A2CD-C319B22C1575
CLSIDS=(B2C935A2-E8E2-46DC-9496-56E19FA7E4E8 F58329C1-D167-4FF4-8F6E-7B0E245F72A3
    9B3CBB68-841C-42D0-843F-560B9120A023 7EE6DC24-1E1E-4315-9380-33C89ABFA69B
    95132F76-BAD2-4024-B26A-042B57DE189B D452B929-7C77-4CE3-8958-9AB309DC45D7
    74FD3FE2-3E13-42B6-ADC8-08CA7ED2107E)
INSTALLED='C:\Program Files\Kestrune'

passed=0
failed=0
skipped=0
pass() { passed=$((passed + 1)); echo "ok    $1"; }
fail() { failed=$((failed + 1)); echo "FAIL  $1"; [[ -n "${2:-}" ]] && sed 's/^/      /' "$2" | head -40; }
skip() { skipped=$((skipped + 1)); echo "skip  $1 ($WINE_SKIP_REASON)"; }

work=$(mktemp -d "$build32/package-install.XXXXXX") || die "no scratch folder"
wine_start_prefix "$work/prefix" || { rm -rf "$work"; die "no Wine prefix"; }
trap 'wine_stop_prefix; rm -rf "$work"' EXIT
installed_unix="$WINEPREFIX/drive_c/Program Files/Kestrune"
package="$WINEPREFIX/drive_c/Downloads/kestrune-$version-windows (1)"
mkdir -p "$package"
python3 -m zipfile -e "$zip" "$package" || die "cannot unpack $zip"

# run_script BITS OUT SCRIPT [ARG...]: runs a script of the package from its folder with the 32-
# or 64-bit cmd.exe; output (CRs removed) in OUT, the exit code returned.
run_script() {
    local bits=$1 out=$2 code
    shift 2
    if [[ $bits == 32 ]]; then
        (cd "$package" && wine_cmd 'C:\windows\syswow64\cmd.exe' /c "$@" >"$out.raw" 2>&1)
    else
        (cd "$package" && "$WINE_LOADER64" 'C:\windows\system32\cmd.exe' /c "$@" >"$out.raw" 2>&1)
    fi
    code=$?
    tr -d '\r' <"$out.raw" >"$out"
    return $code
}

# Everything of ours in the registry, both views, as registry_of_ours.py lists it.
registry_of_ours() { # OUT
    local view
    : >"$1"
    for view in 64 32; do
        wine_cmd 'C:\windows\system32\reg.exe' export HKCR "$(wine_winpath "$work/hkcr$view.reg")" /y /reg:$view \
            >"$work/export.log" 2>&1 || { echo "reg export /reg:$view failed" >>"$1"; continue; }
        python3 "$here/registry_of_ours.py" --idl "$source_dir/com/kestrune.idl" --guid "$APPID" \
            "$work/hkcr$view.reg" >>"$1"
        rm -f "$work/hkcr$view.reg"
    done
}

check_nothing_left() { # WHAT
    registry_of_ours "$work/ours"
    if [[ -s $work/ours ]]; then fail "$1: no key of ours in the registry" "$work/ours"; else pass "$1: no key of ours in the registry"; fi
    if [[ -e $installed_unix ]]; then
        find "$installed_unix" >"$work/left"
        fail "$1: $INSTALLED is gone" "$work/left"
    else
        pass "$1: $INSTALLED is gone"
    fi
}

# The lines install.cmd and uninstall.cmd print for ARCHES, run from a cmd of BITS.
regsvr32_of() { # ARCH BITS
    if [[ $1 == x86 ]]; then echo 'C:\windows\SysWOW64\regsvr32.exe'
    elif [[ $2 == 32 ]]; then echo 'C:\windows\Sysnative\regsvr32.exe'
    else echo 'C:\windows\System32\regsvr32.exe'; fi
}
expected_install() { # BITS ARCH...
    local bits=$1 arch
    shift
    for arch in "$@"; do
        echo "install.cmd: $arch: $INSTALLED\\$arch\\Kestrune.dll registered with $(regsvr32_of "$arch" "$bits")"
    done
    echo "install.cmd: Kestrune $version is installed in $INSTALLED. Keep the DLLs there: the registry"
    echo "points to them. uninstall.cmd removes them and their registration."
}
expected_uninstall() { # BITS ARCH...
    local bits=$1 arch
    shift
    for arch in "$@"; do
        echo "uninstall.cmd: $arch: $INSTALLED\\$arch\\Kestrune.dll unregistered with $(regsvr32_of "$arch" "$bits")"
        echo "uninstall.cmd: $arch: $INSTALLED\\$arch\\Kestrune.dll deleted"
    done
    echo "uninstall.cmd: Kestrune is removed from this Windows."
}

same_output() { # NAME EXPECTED ACTUAL
    if diff -u "$2" "$3" >"$work/diff"; then pass "$1"; else fail "$1" "$work/diff"; fi
}

# The installed DLL of ARCH: the zip's bytes, registered in its own view from its installed path.
check_installed() { # ARCH WHAT
    local arch=$1 what=$2 root=CLSID platform=win64 clsid
    [[ $arch == x86 ]] && root='Wow6432Node\CLSID' platform=win32
    if cmp -s "$package/$arch/Kestrune.dll" "$installed_unix/$arch/Kestrune.dll"; then
        pass "$what: $arch DLL copied to $INSTALLED\\$arch"
    else
        fail "$what: $arch DLL copied to $INSTALLED\\$arch"
    fi
    : >"$work/expected"
    for clsid in "${CLSIDS[@]}"; do
        echo "HKEY_CLASSES_ROOT\\$root\\{$clsid}\\InprocServer32|(Default)|$INSTALLED\\$arch\\Kestrune.dll" >>"$work/expected"
    done
    echo "HKEY_CLASSES_ROOT\\Typelib\\{$LIBID}\\1.0\\409\\$platform|(Default)|$INSTALLED\\$arch\\Kestrune.dll" >>"$work/expected"
    if grep -Fxiv -f "$work/registry" "$work/expected" >"$work/missing"; then
        fail "$what: $arch classes and type library registered from $INSTALLED\\$arch" "$work/missing"
    else
        pass "$what: $arch classes and type library registered from $INSTALLED\\$arch"
    fi
}

# The package's DLLs' version resources, read by probe.exe (x64: it reads the x86 DLL as well).
check_versions() {
    local arch probe="$build64/tests/wine/probe.exe"
    for arch in x86 x64; do
        sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/g" "$here/expected_version.txt" >"$work/version.expected"
        wine_cmd "$probe" version "$(wine_winpath "$package/$arch/Kestrune.dll")" >"$work/version.raw" 2>&1
        tr -d '\r' <"$work/version.raw" >"$work/version.actual"
        same_output "$arch DLL's version resource" "$work/version.expected" "$work/version.actual"
    done
}

# A page against the installed component, run by pagerun.exe of ARCH.
check_page() { # ARCH WHAT
    local arch=$1 build=$build64
    [[ $arch == x86 ]] && build=$build32
    (cd "$work" && wine_cmd "$build/tools/pagerun/pagerun.exe" "$(wine_winpath "$here/installed_page.vbs")" \
        "$(wine_winpath "$here/installed_page.http")" >"$work/page.out" 2>"$work/page.err")
    local code=$?
    if [[ $code -eq 0 ]] && cmp -s "$here/installed_page.expected" "$work/page.out"; then
        pass "$2: a page on the $arch component"
    else
        { diff -u "$here/installed_page.expected" "$work/page.out"; echo "exit code $code"; cat "$work/page.err"; } >"$work/diff"
        fail "$2: a page on the $arch component" "$work/diff"
    fi
}

check_versions

# --- Refused without elevation: neither fltmc nor net answers (a SystemRoot without them).
not_elevated() { # BITS OUT SCRIPT
    run_script "$1" "$2" "set SystemRoot=C:\\no-windows&$3"
}
check_refused() { # SCRIPT CODE OUT
    if [[ $2 -eq 5 ]] && grep -q "^$1: needs an elevated prompt" "$3"; then
        pass "not elevated: $1 refuses with exit code 5"
    else
        echo "exit code $2" >>"$3"
        fail "not elevated: $1 refuses with exit code 5" "$3"
    fi
}
not_elevated 64 "$work/out" install.cmd
check_refused install.cmd $? "$work/out"
check_nothing_left "not elevated"

# --- A DLL regsvr32 cannot load: the failure is reported, not taken for success.
broken="$WINEPREFIX/drive_c/Downloads/broken"
mkdir -p "$broken/x64"
cp "$package/install.cmd" "$broken/"
head -c 4096 "$package/x64/Kestrune.dll" >"$broken/x64/Kestrune.dll"
(cd "$broken" && "$WINE_LOADER64" 'C:\windows\system32\cmd.exe' /c install.cmd x64 >"$work/out.raw" 2>&1)
code=$?
tr -d '\r' <"$work/out.raw" >"$work/out"
if [[ $code -eq 1 ]] && grep -q 'install.cmd: x64: .*regsvr32.exe could not register' "$work/out"; then
    pass "a DLL regsvr32 cannot load: install.cmd fails with exit code 1 and says so"
else
    echo "exit code $code" >>"$work/out"
    fail "a DLL regsvr32 cannot load: install.cmd fails with exit code 1 and says so" "$work/out"
fi
rm -rf "$broken" "$installed_unix"

# --- Install, use, uninstall: from a 32-bit cmd, then from a 64-bit one (and back for uninstall).
if wine_runs_arch x86; then
    rounds=("32 64" "64 32")
    arches=(x86 x64)
    install_args=()
else
    rounds=("64 64")
    arches=(x64)
    install_args=(x64)
fi
first=1
for round in "${rounds[@]}"; do
    read -r install_bits uninstall_bits <<<"$round"
    what="install from a $install_bits-bit cmd"
    run_script "$install_bits" "$work/out" install.cmd "${install_args[@]}"
    code=$?
    expected_install "$install_bits" "${arches[@]}" >"$work/expected.out"
    [[ $code -eq 0 ]] || echo "exit code $code" >>"$work/out"
    same_output "$what: exit code 0, says what it did" "$work/expected.out" "$work/out"

    registry_of_ours "$work/registry"
    for arch in x86 x64; do
        if wine_runs_arch "$arch"; then check_installed "$arch" "$what"; else skip "$what: $arch DLL installed"; fi
    done
    for arch in x86 x64; do
        if wine_runs_arch "$arch"; then check_page "$arch" "$what"; else skip "$what: a page on the $arch component"; fi
    done

    if [[ $first -eq 1 ]]; then
        not_elevated "$uninstall_bits" "$work/out" uninstall.cmd
        check_refused uninstall.cmd $? "$work/out"
        registry_of_ours "$work/registry.after"
        if cmp -s "$work/registry" "$work/registry.after" && [[ -f $installed_unix/${arches[0]}/Kestrune.dll ]]; then
            pass "not elevated: uninstall.cmd leaves the installation as it was"
        else
            diff -u "$work/registry" "$work/registry.after" >"$work/diff"
            fail "not elevated: uninstall.cmd leaves the installation as it was" "$work/diff"
        fi
    fi

    what="uninstall from a $uninstall_bits-bit cmd"
    run_script "$uninstall_bits" "$work/out" uninstall.cmd
    code=$?
    expected_uninstall "$uninstall_bits" "${arches[@]}" >"$work/expected.out"
    [[ $code -eq 0 ]] || echo "exit code $code" >>"$work/out"
    same_output "$what: exit code 0, says what it did" "$work/expected.out" "$work/out"
    check_nothing_left "$what"
    first=0
done
wine_runs_arch x86 || skip "install from a 32-bit cmd, uninstall from a 64-bit one"

echo "$passed passed, $failed failed, $skipped skipped"
wine_summary
[[ $failed -eq 0 ]]
