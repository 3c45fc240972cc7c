#!/usr/bin/env bash
# ./build.sh run   installs what is needed, builds, and starts the player from its folder
# ./build.sh test  installs what is needed, builds, and runs every test
# ./build.sh asan  the unit, widget and player tests under AddressSanitizer and UBSan
# ./build.sh fuzz  builds the fuzz targets (clang) and replays their corpora once
set -euo pipefail
cd "$(dirname "$0")"
what=${1:-run}
if [ "${QV_SKIP_DEPS:-0}" != 1 ]; then scripts/install-deps.sh; fi
case "$what" in
  run)
    cmake --preset default
    cmake --build --preset default
    cd build/default/quorvin
    exec ./quorvin ;;
  test)
    cmake --preset default
    cmake --build --preset default
    ctest --preset default ;;
  asan)
    cmake --preset asan
    cmake --build --preset asan
    ctest --preset asan ;;
  fuzz)
    cmake --preset fuzz
    cmake --build --preset fuzz
    ctest --preset fuzz ;;
  *) echo "usage: $0 run|test|asan|fuzz" >&2; exit 2 ;;
esac
