#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests or the program lack.
# Usage: scripts/deps.sh build|test|run|fuzz|screens|bench|package
# As root it runs apt-get itself; otherwise it prints the exact apt-get line
# and stops, so nothing is installed behind the user's back.
set -euo pipefail

packages=(cmake g++ make pkg-config qt6-base-dev libgl-dev libxcb1-dev libxcb-shm0-dev)
case "${1:-build}" in
  test) packages+=(ninja-build libgtest-dev libgmock-dev libbenchmark-dev desktop-file-utils appstream dpkg-dev file
                   lintian mandoc groff-base python3 qemu-system-x86 busybox-static kmod xvfb xauth socat
                   qt6-base-private-dev) ;;
  run) packages+=(qt6-qpa-plugins) ;;
  fuzz) packages+=(clang libclang-rt-14-dev) ;;
  screens) packages+=(xvfb xauth imagemagick x11-utils xdotool python3 qt6-qpa-plugins) ;;
  bench) packages+=(xvfb xauth x11-utils xdotool python3 qt6-qpa-plugins libbenchmark-dev
                   tio xterm xfonts-base cutecom imagemagick libx11-dev libxtst-dev libxdamage-dev) ;;
  package) packages+=(desktop-file-utils appstream dpkg-dev file lintian mandoc groff-base) ;;
esac

# The real-driver bench boots Debian's own kernel. Where none is installed, the image and its
# modules are unpacked from the package into a cache instead of installing it, which would pull
# initramfs-tools and boot-loader hooks into the machine.
kernel_cache=/var/cache/kestrel/kernel
fetch_kernel() {
  compgen -G "/lib/modules/*-amd64/modules.dep" >/dev/null && compgen -G "/boot/vmlinuz-*-amd64" >/dev/null && return
  compgen -G "$kernel_cache/boot/vmlinuz-*-amd64" >/dev/null && return
  local pkg tmp
  kernel_package() {
    apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ { print $2; exit }'
  }
  pkg=$(kernel_package)
  if [ -z "$pkg" ] && [ "$(id -u)" -eq 0 ]; then
    apt-get update -qq && pkg=$(kernel_package)
  fi
  if [ "$(id -u)" -ne 0 ] || [ -z "$pkg" ]; then
    echo "The real-driver bench skips itself: no Debian kernel. As root, scripts/deps.sh test unpacks one." >&2
    return
  fi
  tmp=$(mktemp -d)
  chmod 755 "$tmp" # apt's download user writes there
  # The package leaves the module index to its install script.
  (cd "$tmp" && apt-get download -qq "$pkg") && mkdir -p "$kernel_cache" &&
    dpkg-deb -x "$tmp"/*.deb "$kernel_cache" && PATH=$PATH:/usr/sbin depmod -b "$kernel_cache" "${pkg#linux-image-}"
  rm -rf "$tmp"
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
  else
    echo "Kestrel Terminal needs these Debian packages. Install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
fi
if [ "${1:-build}" = test ]; then
  fetch_kernel
fi
