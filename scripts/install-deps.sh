#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the program and the tests need.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "$0: installing packages needs root, and sudo is not installed: run this as root," >&2
    echo "or install the packages listed in it yourself and set QV_SKIP_DEPS=1." >&2
    exit 1
  fi
  SUDO="sudo"
fi
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins
  libmpv-dev libsqlite3-dev sqlite3
  fonts-noto-cjk
  libgtest-dev
  mpv xvfb xauth xdotool trayer x11-utils
  # end-to-end tests: a window manager to minimise under, and ip for their offline network
  openbox iproute2
  # player tests: ffmpeg makes an HLS stream, the form most stations send
  ffmpeg
  # a player test builds a Turkish locale (localedef and the locale sources)
  locales
  # fuzz targets: clang with libFuzzer and its sanitizer runtimes; llvm's symbolizer for the
  # stack traces of their reports
  clang libclang-rt-14-dev llvm
  # CI's checks: the format (.clang-format) and clang-tidy (.clang-tidy)
  clang-format clang-tidy
)
$SUDO apt-get update
# sudo starts apt-get with a clean environment: the setting goes through env.
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${packages[@]}"
