#!/usr/bin/env bash
# Builds the release package for Windows administrators: dist/kestrune-VERSION-windows.zip with
#   x86/Kestrune.dll, x64/Kestrune.dll   the DLLs, release builds without symbols
#   install.cmd, uninstall.cmd           register or unregister them on a server (CRLF lines)
#   docs/guide.md, docs/guide.html       the guide, and the same as one self-contained page
#   examples/asp/                        the sample pages
#   CHANGELOG.md                         what changed in each release (LICENSE too, once there is one)
#   SHA256SUMS                           the SHA-256 of every other file (`sha256sum -c SHA256SUMS`)
# VERSION is project(VERSION) of CMakeLists.txt; CHANGELOG.md's latest release must be that version.
# The zip is reproducible: the same commit gives the same bytes (the DLLs carry no build time, the
# entries are sorted and dated at the commit's time, or at SOURCE_DATE_EPOCH when that is set).
#
# Usage: scripts/package.sh [--build-root DIR] [--out DIR]
#   --build-root DIR  build the DLLs in DIR/win32 and DIR/win64 (default: build/, the presets' trees)
#   --out DIR         write the zip into DIR (default: dist/)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build_root=$root/build
out=$root/dist
while [[ $# -gt 0 ]]; do
    case $1 in
        --build-root) build_root=$(realpath -m -- "$2"); shift 2 ;;
        --out) out=$(realpath -m -- "$2"); shift 2 ;;
        -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
        *) echo "package: unknown argument '$1' (see --help)" >&2; exit 2 ;;
    esac
done

if [ "$(id -u)" -eq 0 ]; then bash scripts/install-deps.sh; else sudo bash scripts/install-deps.sh; fi >&2 || {
    echo "package: installing the dependencies failed" >&2; exit 2; }

die() { echo "package: $*" >&2; exit 1; }

# The version, as CMake reads it from project(VERSION).
cmake --preset win32 -B "$build_root/win32" >/dev/null || die "configuring $build_root/win32 failed"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_root/win32/CMakeCache.txt")
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || die "no project version in $build_root/win32/CMakeCache.txt"
latest=$(sed -n 's/^## \[\([0-9][^]]*\)\].*/\1/p' CHANGELOG.md | head -1)
[[ $latest == "$version" ]] || die "CHANGELOG.md's latest release is '${latest:-none}', the project version is $version: add a section \"## [$version] - DATE\""

cmake --preset win64 -B "$build_root/win64" >/dev/null || die "configuring $build_root/win64 failed"
for preset in win32 win64; do
    cmake --build "$build_root/$preset" -j"$(nproc)" --target Kestrune >&2 || die "building Kestrune.dll in $build_root/$preset failed"
done

mkdir -p "$out" "$build_root"
stage=$(mktemp -d "$build_root/package-stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT

# The DLLs without their symbol tables; SOURCE_DATE_EPOCH=0 keeps strip from stamping the time.
mkdir -p "$stage/x86" "$stage/x64"
SOURCE_DATE_EPOCH=0 i686-w64-mingw32-strip --strip-all -o "$stage/x86/Kestrune.dll" "$build_root/win32/server/Kestrune.dll"
SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip --strip-all -o "$stage/x64/Kestrune.dll" "$build_root/win64/server/Kestrune.dll"

# The scripts with the version filled in and Windows line ends.
for script in install.cmd uninstall.cmd; do
    sed -e "s/@KESTRUNE_VERSION@/$version/g" -e 's/\r$//' -e 's/$/\r/' "scripts/package/$script" >"$stage/$script"
done

mkdir -p "$stage/docs"
cp docs/guide.md "$stage/docs/guide.md"
python3 scripts/package/guide_html.py docs/guide.md "$stage/docs/guide.html"

# The sample pages as committed (not what running them left beside them), without dot files.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -d '' samples < <(git ls-files -z -- examples/asp)
else
    mapfile -d '' samples < <(find examples/asp -type f -print0)
fi
for file in "${samples[@]}"; do
    [[ /$file == */.* ]] && continue
    mkdir -p "$stage/$(dirname "$file")"
    cp "$file" "$stage/$file"
done

cp CHANGELOG.md "$stage/"
for license in LICENSE LICENSE.md LICENSE.txt COPYING; do
    [[ -f $license ]] && cp "$license" "$stage/"
done

when=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}
zip=$out/kestrune-$version-windows.zip
python3 scripts/package/make_zip.py "$stage" "$zip" "$when"
python3 -m zipfile -l "$zip"
echo "$zip"
