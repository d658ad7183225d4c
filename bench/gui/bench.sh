#!/usr/bin/env bash
# The main window on archives of 100,000 and 1,000,000 members made by jar32.exe, on the offscreen
# platform and under Xvfb; 7zz lists a 7z archive of the same 100,000 files in the same run.
#   bench/gui/bench.sh [BUILD-FOLDER] [SCRATCH-FOLDER]     (defaults: build, /tmp/tamber-gui-bench)
# Environment: SIZES="100000 1000000". The archives are kept in the scratch folder for later runs.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
scratch=${2:-/tmp/tamber-gui-bench}
sizes=${SIZES:-"100000 1000000"}
bench=$build/bench/bench_main_window
jar=$build/bin/jar32.exe
mkdir -p "$scratch"

for n in $sizes; do
  archive=$scratch/members-$n.j
  if [ ! -s "$archive" ]; then
    echo "making $n files and their archive (once) ..."
    rm -rf "$scratch/tree-$n"
    "$bench" tree "$scratch/tree-$n" "$n" >/dev/null
    (cd "$scratch/tree-$n" && "$jar" a -m1 -r "$archive.tmp" ./* >/dev/null) && mv "$archive.tmp" "$archive"
    if [ "$n" = 100000 ] && command -v 7zz >/dev/null; then
      (cd "$scratch/tree-$n" && 7zz a -mx1 "$scratch/members-$n.7z" . >/dev/null)
    fi
    rm -rf "$scratch/tree-$n"
  fi
done
# A file that the best compression takes many seconds for.
[ -s "$scratch/long-add.bin" ] || head -c $((96 << 20)) /dev/urandom >"$scratch/long-add.bin"

run() {  # platform, then the window bench's arguments
  local platform=$1; shift
  for n in $sizes; do
    local extra=()
    [ "$n" = 100000 ] && [ -s "$scratch/members-$n.7z" ] && extra+=(--compare-7z "$scratch/members-$n.7z")
    [ "$n" = 100000 ] && extra+=(--long-add "$scratch/long-add.bin" --delete-selected 100000)
    [ "$n" = 1000000 ] && extra+=(--extract-selected)
    QT_QPA_PLATFORM=$platform "$bench" window "$scratch/members-$n.j" "${extra[@]}" 2>/dev/null
  done
}

run offscreen
if command -v Xvfb >/dev/null; then
  for d in $(seq 93 199); do [ -e "/tmp/.X11-unix/X$d" ] || [ -e "/tmp/.X$d-lock" ] || break; done
  Xvfb ":$d" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true' EXIT
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$d" ] && break; sleep 0.1; done
  DISPLAY=":$d" run xcb
fi
