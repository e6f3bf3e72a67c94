#!/usr/bin/env bash
# Installs the Debian packages Palisade needs to build, run and test; quiet and quick when
# everything is there already.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  libx86emu-dev nasm vgabios seabios qemu-system-x86
  bochs bochsbios bochs-x dosbox
  libsdl2-dev libpng-dev libisal-dev zlib1g-dev libfreetype-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool imagemagick
  chromium
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Run as root (or with sudo) to install the packages above." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
