#!/usr/bin/env bash
# The main job: builds Kestrune and replays a captured upload request through an Upload object,
# exactly as an ASP page would, printing the outcome as JSON.
# Usage: scripts/main.sh [REQUEST.http [replay options...]]
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -eq 0 ]; then bash scripts/install-deps.sh; else sudo bash scripts/install-deps.sh; fi
request=${1:-examples/sample-upload.http}
[ $# -gt 0 ] && shift
cmake --preset native-release >&2
cmake --build build/native-release -j"$(nproc)" --target kestrune >&2
exec build/native-release/tools/kestrune/kestrune replay "$request" "$@"
