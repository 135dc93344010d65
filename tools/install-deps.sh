#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (only what is missing).
set -euo pipefail
packages=(qt6-base-dev libqt6opengl6-dev libglu1-mesa-dev libgl1-mesa-dri xvfb xauth
          fonts-dejavu-core cmake ninja-build g++ libgtest-dev libbenchmark-dev ghostscript)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
