#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests or the program lack.
# Usage: scripts/deps.sh build|test|run|fuzz|screens|bench|package
# As root it runs apt-get itself; otherwise it prints the exact apt-get line
# and stops, so nothing is installed behind the user's back.
set -euo pipefail

packages=(cmake g++ make pkg-config qt6-base-dev libgl-dev)
case "${1:-build}" in
  test) packages+=(libgtest-dev libgmock-dev libbenchmark-dev desktop-file-utils appstream dpkg-dev file
                   lintian mandoc groff-base) ;;
  run) packages+=(qt6-qpa-plugins) ;;
  fuzz) packages+=(clang libclang-rt-14-dev) ;;
  screens) packages+=(xvfb xauth imagemagick x11-utils xdotool python3 qt6-qpa-plugins) ;;
  bench) packages+=(xvfb xauth x11-utils xdotool python3 qt6-qpa-plugins libbenchmark-dev
                   tio xterm cutecom libx11-dev libxtst-dev) ;;
  package) packages+=(desktop-file-utils appstream dpkg-dev file lintian mandoc groff-base) ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Kestrel Terminal needs these Debian packages. Install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
