#!/usr/bin/env bash
# Runs every test: installs what is missing, checks the code style (.clang-format), then runs the
# native suite under AddressSanitizer + UndefinedBehaviorSanitizer, the threaded tests under
# ThreadSanitizer, a short fuzzing run, and the Windows builds (x86 and x64) under Wine: the unit
# suite and the acceptance tests, the release package (its contents, a second build that must give
# the same bytes, installing it under Wine), then aspserve.exe serving the sample pages to curl
# (concurrent uploads), to hostile requests and the session and timeout pages, and to chromium,
# each for both architectures where the machine runs 32-bit programs.
# Usage: scripts/test.sh [--quick]   (--quick: the style and layering checks and the native ASan/UBSan suite only)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
quick=0
[ "${1:-}" = "--quick" ] && quick=1

if [ "$(id -u)" -eq 0 ]; then bash scripts/install-deps.sh; else sudo bash scripts/install-deps.sh; fi || {
  echo "test: installing the dependencies failed" >&2; exit 2; }

jobs=$(nproc)
passed=0
failed=0
failures=()

stage() {  # stage NAME COMMAND...
  local name=$1; shift
  echo "::: $name"
  if "$@"; then
    passed=$((passed + 1)); echo "::: $name: passed"
  else
    failed=$((failed + 1)); failures+=("$name"); echo "::: $name: FAILED"
  fi
}

build() {  # build PRESET [TARGET...]
  local preset=$1; shift
  cmake --preset "$preset" >/dev/null || return 1
  if [ $# -eq 0 ]; then
    cmake --build "build/$preset" -j"$jobs"
  else
    cmake --build "build/$preset" -j"$jobs" --target "$@"
  fi
}

# Cheap, so first: every tracked C/C++ file follows .clang-format.
stage "code style (clang-format)" bash scripts/check-format.sh
stage "folders depend only downward" python3 scripts/check_layers.py

native_suite() {
  build native-debug || return 1
  ctest --test-dir build/native-debug --output-on-failure -j"$jobs"
}
stage "native suite (ASan+UBSan)" native_suite

if [ $quick -eq 0 ]; then
  tsan_suite() {
    build native-tsan kestrune_unit_tests || return 1
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
      build/native-tsan/tests/unit/kestrune_unit_tests --gtest_filter="$(cat tests/unit/tsan-filter.txt 2>/dev/null || echo '*Thread*')"
  }
  stage "threaded tests (TSan)" tsan_suite

  fuzz_run() {
    build fuzz fuzz_parse fuzz_save fuzz_image || return 1
    ctest --test-dir build/fuzz -R '^fuzz_' --output-on-failure
  }
  stage "fuzzing" fuzz_run

  windows_builds() { build win32 && build win64; }
  stage "Windows builds (x86, x64)" windows_builds
  if [ -x tests/wine/run.sh ] || [ -f tests/wine/run.sh ]; then
    stage "Wine (unit suite and acceptance)" bash tests/wine/run.sh build/win32 build/win64
  fi
  # The release package: scripts/package.sh (the zip into dist/) and what it holds; a second run in
  # fresh build trees must give the same bytes; install.cmd, a page and uninstall.cmd under Wine.
  package_zip=""
  package_contents() {
    bash scripts/package.sh >build/package.log 2>&1 || { tail -30 build/package.log; return 1; }
    package_zip=$(tail -1 build/package.log)
    sed -n '/^File Name/,/\.zip$/p' build/package.log
    python3 tests/package/contents_test.py "$package_zip"
  }
  stage "release package (zip and its contents)" package_contents
  stage "release package reproducible (DLLs built again in fresh trees)" \
    bash tests/package/reproducible_test.sh "${package_zip:-no-package.zip}"
  stage "release package installed under Wine (install.cmd, a page, uninstall.cmd)" \
    bash tests/package/install_test.sh "${package_zip:-no-package.zip}" build/win32 build/win64
  # The curl and browser tests serve pages as one architecture per run: where the machine runs
  # both, each_wine_arch runs them once as x86 and once as x64; otherwise once, as the one it runs.
  each_wine_arch() { # COMMAND...
    local arches arch rc=0
    arches=$(bash -c 'source tests/wine/wine-arch.sh && wine_select_arches >/dev/null && echo $WINE_ARCHES') || return 2
    if [ "$(echo $arches | wc -w)" -lt 2 ]; then
      "$@"
      return
    fi
    for arch in $arches; do
      echo "--- as $arch"
      KESTRUNE_WINE_ARCHES=$arch "$@" || rc=1
    done
    return $rc
  }
  # aspserve.exe with the sample pages: HTTP, pages, 16 concurrent uploads (curl), then a browser.
  stage "aspserve under Wine (curl, concurrent uploads)" \
    each_wine_arch bash tests/wine/aspserve_test.sh build/win32 build/win64
  stage "aspserve under Wine (hostile HTTP, sessions, script timeout)" \
    bash tests/wine/aspserve_strict_test.sh build/win32 build/win64
  stage "browser (chromium, sample pages)" each_wine_arch bash tests/browser/run.sh build/win32 build/win64
fi

echo
if [ $failed -ne 0 ]; then
  printf 'failed: %s\n' "${failures[@]}"
fi
echo "stages: $passed passed, $failed failed"
[ $failed -eq 0 ]
