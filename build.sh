#!/usr/bin/env bash
# ./build.sh run   installs what is needed, builds, and starts the player from its folder
# ./build.sh test  installs what is needed, builds, and runs every test
# ./build.sh asan  the unit, widget and player tests under AddressSanitizer and UBSan
# ./build.sh fuzz  builds the fuzz targets (clang) and replays their corpora once
# QV_SKIP_DEPS=1 skips installing; QV_WERROR=1 makes every compiler warning an error (CI sets
# it); QV_JOBS=N limits the parallel build and test jobs.
set -euo pipefail
cd "$(dirname "$0")"
what=${1:-run}
if [ "${QV_SKIP_DEPS:-0}" != 1 ]; then scripts/install-deps.sh; fi
werror=OFF
if [ "${QV_WERROR:-0}" = 1 ]; then werror=ON; fi
jobs=()
if [ -n "${QV_JOBS:-}" ]; then jobs=(-j "$QV_JOBS"); fi
configure() { cmake --preset "$1" -DCMAKE_COMPILE_WARNING_AS_ERROR="$werror"; }
build() { cmake --build --preset "$1" "${jobs[@]}"; }
case "$what" in
  run)
    configure default
    build default
    cd build/default/quorvin
    exec ./quorvin ;;
  test)
    configure default
    build default
    ctest --preset default "${jobs[@]}" ;;
  asan)
    configure asan
    build asan
    ctest --preset asan "${jobs[@]}" ;;
  fuzz)
    configure fuzz
    build fuzz
    ctest --preset fuzz "${jobs[@]}" ;;
  *) echo "usage: $0 run|test|asan|fuzz" >&2; exit 2 ;;
esac
