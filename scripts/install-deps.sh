#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, test and run.
# Only what is missing is installed; works as root or through sudo.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  lld
  libgtest-dev libgmock-dev
  qt6-base-dev qt6-svg-dev libgl-dev
  clang-14 libclang-rt-14-dev clang-format
  rtklib
  ser2net
  xvfb xauth
  dpkg-dev file desktop-file-utils appstream man-db
  locales
  jq systemd prometheus
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
