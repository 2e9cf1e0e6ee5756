#!/usr/bin/env bash
# Installs what is missing, builds and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target pellmor
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display is available (DISPLAY and WAYLAND_DISPLAY are unset): the window cannot be shown." >&2
  echo "Run it under a desktop session, or try: xvfb-run build/pellmor" >&2
  exit 1
fi
exec build/pellmor "$@"
