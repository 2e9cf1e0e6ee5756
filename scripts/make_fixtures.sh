#!/usr/bin/env bash
# Regenerates the test data in tests/fixtures/ by running every
# scripts/fixtures/*.sh in name order. Installs nothing: needs ffmpeg,
# vcdimager (vcdimager, vcdxrip) and perl on PATH.
# Usage: scripts/make_fixtures.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

missing=()
for tool in ffmpeg ffprobe vcdimager vcdxrip perl md5sum; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]})); then
    echo "make_fixtures: missing tools: ${missing[*]}" >&2
    exit 1
fi

export FIXTURES="$root/tests/fixtures"
export FIXTURE_TOOLS="$root/scripts/fixtures"
FIXTURE_WORK=$(mktemp -d "${TMPDIR:-/tmp}/pellmor-fixtures.XXXXXX")
export FIXTURE_WORK
trap 'rm -rf "$FIXTURE_WORK"' EXIT
mkdir -p "$FIXTURES"

for script in "$FIXTURE_TOOLS"/*.sh; do
    [ -e "$script" ] || continue
    echo "make_fixtures: $(basename "$script")"
    (cd "$FIXTURES" && bash "$script")
done
echo "make_fixtures: done, $(du -sh "$FIXTURES" | cut -f1) in $FIXTURES"
