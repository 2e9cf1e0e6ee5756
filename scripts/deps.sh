#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
set -euo pipefail
need=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
      qt6-base-dev qt6-multimedia-dev libjpeg62-turbo-dev libgl-dev zlib1g-dev
      ffmpeg vcdimager libcdio-utils cdrdao cksfv rhash unar xvfb xauth)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
