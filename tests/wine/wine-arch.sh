# Which Wine architectures this machine runs, and how to start Wine programs. Sourced (bash) by
# every script that starts a Wine program, so they all make the same choice:
#
#   source tests/wine/wine-arch.sh
#   wine_select_arches               # once: sets WINE_ARCHES, WINE_SKIPPED_ARCHES, WINE_SKIP_REASON
#   wine_start_prefix "$dir"         # WINEPREFIX=$dir, made on first use; a wineserver kept alive
#   wine_cmd "$(wine_regsvr32 x64)" /s "$(wine_winpath "$dll")"
#   wine_cmd "$build/tools/pagerun/pagerun.exe" page.vbs >out.txt 2>err.txt
#   echo "$(wine_summary)"           # Wine: x64 ran, x86 skipped (this kernel cannot run 32-bit programs)
#   wine_stop_prefix                 # also done at exit
#
# Where the machine runs 32-bit programs, both x86 and x64 run through Debian's `wine` script,
# which prefers the 32-bit loader. Some kernels run no 32-bit program at all: there the 32-bit
# loader fails with "Exec format error", and with it wineboot, winepath and every x86 program. The
# 64-bit loader still works, so on such a machine the prefix is made and used with it alone
# (WINELOADER too, since Wine re-executes the loader), x64 runs and x86 is skipped.
#
# KESTRUNE_WINE_ARCHES ("x64", "x86", "x86,x64"; commas or spaces) forces the architectures, so the
# 64-bit-only path can be exercised on any machine. x86 still needs a machine that runs it.
#
# Wine's background services (wineserver, services.exe, explorer) inherit the output of the
# command that started them, so a caller reading that output through a pipe would wait forever.
# wine_start_prefix starts them with their output discarded before any other Wine command runs.

WINE_LOADER32=/usr/lib/wine/wine
WINE_LOADER64=/usr/lib/wine/wine64

# Succeeds when the 32-bit Wine loader runs here; otherwise sets WINE_SKIP_REASON.
wine_probe_32bit() {
    if [[ ! -x $WINE_LOADER32 ]]; then
        WINE_SKIP_REASON="the 32-bit Wine loader $WINE_LOADER32 is not installed"
        return 1
    fi
    local out
    out=$("$WINE_LOADER32" --version 2>&1) && return 0
    if [[ $out == *"Exec format error"* ]]; then
        WINE_SKIP_REASON="this kernel cannot run 32-bit programs"
    else
        WINE_SKIP_REASON="the 32-bit Wine loader does not start: ${out%%$'\n'*}"
    fi
    return 1
}

# Chooses the architectures and the loader. Sets WINE_ARCHES ("x86 x64" or "x64"),
# WINE_SKIPPED_ARCHES ("" or "x86") and WINE_SKIP_REASON; fails for an unknown forced value.
wine_select_arches() {
    local wanted="x86 x64" forced=${KESTRUNE_WINE_ARCHES:-}
    if [[ -n $forced ]]; then
        wanted=${forced//,/ }
        local a
        for a in $wanted; do
            [[ $a == x86 || $a == x64 ]] || {
                echo "wine-arch: KESTRUNE_WINE_ARCHES='$forced': each architecture must be x86 or x64" >&2
                return 2
            }
        done
    fi
    WINE_ARCHES="" WINE_SKIPPED_ARCHES="" WINE_SKIP_REASON=""
    local arch
    for arch in x86 x64; do
        [[ " $wanted " == *" $arch "* ]] || continue
        if [[ $arch == x86 ]] && ! wine_probe_32bit; then
            WINE_SKIPPED_ARCHES="x86"
            continue
        fi
        WINE_ARCHES="${WINE_ARCHES:+$WINE_ARCHES }$arch"
    done
    if [[ " $wanted " != *" x86 "* ]]; then
        WINE_SKIPPED_ARCHES="x86"
        WINE_SKIP_REASON="KESTRUNE_WINE_ARCHES=$forced"
    fi
    if [[ " $wanted " != *" x64 "* ]]; then
        WINE_SKIPPED_ARCHES="${WINE_SKIPPED_ARCHES:+$WINE_SKIPPED_ARCHES }x64"
        WINE_SKIP_REASON="KESTRUNE_WINE_ARCHES=$forced"
    fi
    if [[ " $WINE_ARCHES " == *" x86 "* ]]; then
        WINE_LOADER=wine
        unset WINELOADER
    else
        WINE_LOADER=$WINE_LOADER64
        export WINELOADER=$WINE_LOADER64
    fi
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
}

# Succeeds when ARCH is among the architectures chosen.
wine_runs_arch() { [[ " ${WINE_ARCHES:-} " == *" $1 "* ]]; }

# The architecture a single-architecture job uses: the product's (x86) where it runs, else x64.
wine_preferred_arch() { if wine_runs_arch x86; then echo x86; else echo x64; fi; }

# Runs a Windows program (or a Wine tool such as wineboot) with the chosen loader. `command`: the
# loader may be Debian's `wine`, and a caller may wrap wine_cmd in a function of that name.
wine_cmd() { command "$WINE_LOADER" "$@"; }

# Makes the prefix DIR on first use (keyed on its system.reg) and keeps a wineserver alive for it
# until wine_stop_prefix, which also runs at exit.
wine_start_prefix() {
    export WINEPREFIX
    WINEPREFIX=$(realpath -m -- "$1") || return 1
    mkdir -p "$WINEPREFIX"
    if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
        echo "wine-arch: creating Wine prefix $WINEPREFIX" >&2
        # Output to a file: the services wineboot starts keep it open after wineboot returns.
        # Its exit code is no guide: with the 64-bit loader alone it fails on the syswow64
        # rundll32.exe yet makes a working prefix. The registry reaches system.reg when the
        # server ends, so wait for that and judge by the file.
        wine_cmd wineboot -i >"$WINEPREFIX.wineboot.log" 2>&1
        wineserver -w >/dev/null 2>&1
        if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
            echo "wine-arch: wineboot failed (see $WINEPREFIX.wineboot.log)" >&2
            return 1
        fi
    fi
    wineserver -p >/dev/null 2>&1
    trap wine_stop_prefix EXIT
}

# Stops the prefix's wineserver and waits until it has gone.
wine_stop_prefix() {
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    return 0
}

# The Windows form of a Unix path: Wine's Z: drive is the Unix root. Computed here rather than
# with winepath, which would cost a Wine process per path.
wine_winpath() {
    local path
    path=$(realpath -m -- "$1") || return 1
    echo "Z:${path//\//\\}"
}

# The regsvr32.exe that registers a DLL of ARCH.
wine_regsvr32() {
    if [[ $1 == x64 ]]; then echo 'C:\windows\system32\regsvr32.exe'; else echo 'C:\windows\syswow64\regsvr32.exe'; fi
}

# One line: which architectures ran and which were skipped, and why.
wine_summary() {
    local ran=${WINE_ARCHES:-nothing}
    local line="Wine: ${ran// / and } ran"
    [[ -n ${WINE_SKIPPED_ARCHES:-} ]] && line+=", ${WINE_SKIPPED_ARCHES// /, } skipped ($WINE_SKIP_REASON)"
    echo "$line"
}
