# Debian packages the launcher needs, and a helper that installs the missing ones.
# Sourced by scripts/run and scripts/test.

# To build and run the launcher on a Linux desktop.
RUN_PACKAGES=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-translations-l10n libgl-dev fonts-dejavu-core
  libreoffice-calc libreoffice-dev libreoffice-dev-common libgsf-1-dev
  # The Linux desktop: X11 headers for the taskbar hint, the .deb's dependencies.
  libxcb1-dev dpkg-dev
)

# Further packages the tests need.
TEST_PACKAGES=(
  "${RUN_PACKAGES[@]}"
  libgtest-dev googletest
  xvfb xauth python3-msoffcrypto-tool xdotool
  # The Windows launcher's end-to-end runs: cross build, Wine, Xvfb, xdotool.
  g++-mingw-w64-x86-64-posix wine wine64 xdotool
  # The Linux desktop's X11 run: xprop, xwininfo, xev, setxkbmap; the benchmark's zenity.
  x11-utils x11-xkb-utils zenity
  # The .xls fixtures: Calc through Python UNO, RC4 and SHA-1, OLE2 reading in the checks.
  python3-uno nettle-dev python3-olefile
)

install_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}
