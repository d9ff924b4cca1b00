#!/usr/bin/env bash
# Installs the Debian 12 packages Vigilmount needs. Usage: scripts/deps.sh [build|run|all]
# "build" compiles the program, its man page, icons and translations (qt6-base-dev has Qt's
# Core, Gui, Widgets, DBus, Network, Concurrent and Test modules; qt6-tools-dev has the
# Qt6LinguistTools CMake package, qt6-l10n-tools its lupdate and lrelease); "run" adds what it
# uses at run time to mount shares (GVfs with its SMB backend and FUSE bridge); "all" adds the real components
# the test suite starts (Samba, the keyring, D-Bus, Xvfb, weston and a tray host), the fuzz and
# benchmark tools, and what builds and checks the Debian package (systemd only for
# systemd-analyze; it need not be running).
set -euo pipefail
what=${1:-all}

build_pkgs=(
  cmake ninja-build g++ pkg-config clang-format git
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-qpa-plugins
  qt6-tools-dev qt6-l10n-tools
  qcoro-qt6-dev libglib2.0-dev libsecret-1-dev libicu-dev libsimdjson-dev
  scdoc librsvg2-bin
)
run_pkgs=(gvfs gvfs-backends gvfs-fuse fuse3 dbus-bin)
test_pkgs=(
  samba smbclient gvfs gvfs-backends gvfs-fuse fuse3 gnome-keyring libsecret-tools
  dbus-daemon dbus-bin libglib2.0-bin xvfb xauth x11-utils xdotool imagemagick
  haskell-gtk-sni-tray-utils iproute2 util-linux procps psmisc python3 python3-dbus
  python3-gi clang libbenchmark-dev libclang-rt-14-dev
  dpkg-dev lintian appstream desktop-file-utils groff-base systemd weston qt6-wayland
)

pkgs=("${build_pkgs[@]}")
[ "$what" = build ] || pkgs+=("${run_pkgs[@]}")
[ "$what" = build ] || [ "$what" = run ] || pkgs+=("${test_pkgs[@]}")

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
