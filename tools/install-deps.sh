#!/usr/bin/env bash
# Installs the Debian 12 packages the program and its tests need; only those
# that are missing, so a second run does nothing.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  # program
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libjpeg62-turbo-dev
  # colour management, and the display's profile from the X server
  liblcms2-dev libxcb1-dev
  # WebP and TIFF readers for Qt (PNG and GIF are Qt's own)
  qt6-image-formats-plugins
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  # HEIC/HEIF and AVIF, JPEG XL and camera RAW photographs
  libheif-dev libjxl-dev libraw-dev
  libgmime-3.0-dev libemf2svg-dev libuemf-dev
  fonts-ipafont-gothic adwaita-icon-theme qt6-translations-l10n
  # xdg-open: files opened with their program, folders in the file manager
  xdg-utils
  # packaging (tools/package.sh: cpack's shlibdeps needs file and dpkg-dev)
  file dpkg-dev
  # tests, and the checks of the desktop entry and the package
  xvfb xauth x11-apps imagemagick xdotool xclip ffmpeg
  # the X tests a second time under GNOME's window manager; xprop, xwininfo, and
  # wmctrl for the title bar's close box
  mutter dbus x11-utils wmctrl
  desktop-file-utils lintian
  # the test in a headless Wayland session (mutter and dbus above): XWayland,
  # Qt's Wayland plugin for the native runs, weston for the grabbed native
  # run, the Wayland clipboard's tools, and D-Bus for Python, which gives the
  # compositor a keyboard and a pointer
  xwayland qt6-wayland weston wl-clipboard python3-dbus
  # cjpeg and djpeg: the reference of the conversion tests and benchmark
  libjpeg-turbo-progs
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
