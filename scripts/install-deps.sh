#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the program and the tests need.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
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
  # fuzz targets: clang with libFuzzer and its sanitizer runtimes; llvm's symbolizer for the
  # stack traces of their reports
  clang libclang-rt-14-dev llvm
)
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${packages[@]}"
