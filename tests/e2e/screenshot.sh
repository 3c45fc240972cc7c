#!/usr/bin/env bash
# Starts a copy of the built program on a screen of its own (Xvfb, with trayer as the
# notification area) and saves a screenshot of that screen, the window at its default place.
#
#   tests/e2e/screenshot.sh [BUILD_DIR] [OUT.png]     (defaults: build/default, quorvin.png)
#
# The copy runs in a temporary folder without pz.ini, so nothing of yours is read or written;
# where the machine allows it, it runs without network, so the status shows a failed
# connection instead of reaching the default station.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$root/build/default}")
out=$(realpath -m "${2:-quorvin.png}")
for f in quorvin/quorvin quorvin/mmsDT.dll tests/e2e/qv-xgrab; do
  [ -e "$build/$f" ] || { echo "missing $build/$f: build first" >&2; exit 1; }
done

work=$(mktemp -d)
export XDG_RUNTIME_DIR="$work"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
cp "$build/quorvin/quorvin" "$build/quorvin/mmsDT.dll" "$work/"

# Xvfb picks a free display and writes its number once it listens.
Xvfb -displayfd 3 -screen 0 1024x768x24 -br -nolisten tcp -ac -noreset 3>"$work/display" \
  2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

trayer --edge bottom --align right --widthtype pixel --width 120 --heighttype pixel --height 24 \
  --SetDockType false --SetPartialStrut false >"$work/trayer.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do xdotool search --class trayer >/dev/null 2>&1 && break; sleep 0.1; done

offline=()
if unshare --map-root-user --net true 2>/dev/null; then offline=(unshare --map-root-user --net); fi
(
  cd "$work"
  exec env -u DBUS_SESSION_BUS_ADDRESS -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb QUORVIN_AO=null \
    HOME="$work" XDG_CACHE_HOME="$work/cache" "${offline[@]}" ./quorvin
) >"$work/quorvin.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do
  xdotool search --onlyvisible --pid "${pids[2]}" >/dev/null 2>&1 && break
  sleep 0.1
done
# Let the list, the pictures and the first status text settle.
sleep 2
"$build/tests/e2e/qv-xgrab" "$out"
echo "saved $out"
