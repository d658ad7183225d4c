#!/usr/bin/env bash
# Builds the compression corpora in $1 (default: /tmp/jar32-corpora), each of a different kind
# and none of them the corpus of bench.sh:
#   source/     snapshots of this repository at 24 commits of its history, and its log with patches
#   documents/  PDF files (text pages, some with photos), office documents (.docx, .odt), HTML
#   media/      JPEG photos, PNG icons, TrueType fonts, compressed manual pages (.gz)
#   smalltext/  many small text files: Python and Perl modules, CMake modules, locale sources
#   binaries/   executables and shared libraries (ELF x86-64), other files than bench.sh takes
#   logs/       web server and system logs, CSV tables of measurements, JSON lines, a SQLite database
# Each is about 30-80 MB. Existing corpora are kept, so repeated runs reuse them. Deterministic
# where the machine allows (generated data uses fixed seeds).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=${1:-/tmp/jar32-corpora}
repo=$(cd "$here/../.." && pwd)
mkdir -p "$root"

# copy_budget SOURCE-FOLDER DEST BUDGET-BYTES FIND-ARGS...: regular files in sorted order until
# the budget is used, keeping their relative paths.
copy_budget() {
  local src=$1 dest=$2 budget=$3; shift 3
  local used=0 size path
  while IFS=$'\t' read -r size path; do
    [ $((used + size)) -gt "$budget" ] && continue
    mkdir -p "$dest/$(dirname "${path#$src/}")"
    cp --no-preserve=ownership "$path" "$dest/${path#$src/}" 2>/dev/null && used=$((used + size))
  done < <(find "$src" "$@" -type f -printf '%s\t%p\n' 2>/dev/null | sort -t$'\t' -k2)
}

make_one() {  # name: builds $root/name unless it exists
  local name=$1
  [ -d "$root/$name" ] && return 0
  local tmp="$root/$name.part"
  rm -rf "$tmp"; mkdir -p "$tmp"
  "build_$name" "$tmp"
  find "$tmp" -type l -delete
  mv "$tmp" "$root/$name"
}

build_source() {
  local out=$1
  # Snapshots at evenly spaced commits, as a project's release folders or backups are.
  local commits n step i=0
  mapfile -t commits < <(git -C "$repo" rev-list --reverse --first-parent HEAD)
  n=${#commits[@]}
  step=$(( n > 24 ? n / 24 : 1 ))
  for ((k = step - 1; k < n; k += step)); do
    i=$((i + 1))
    mkdir -p "$out/snapshots/v$(printf %02d $i)"
    git -C "$repo" archive "${commits[$k]}" | tar xf - -C "$out/snapshots/v$(printf %02d $i)"
  done
  git -C "$repo" log -p --first-parent --stat HEAD > "$out/history.patch"
}

build_documents() {
  local out=$1
  mkdir -p "$out/html" "$out/pdf" "$out/office"
  copy_budget /usr/share/doc "$out/html" $((12 * 1024 * 1024)) -name '*.html'
  find /usr -iname '*.pdf' -size -20M 2>/dev/null | head -20 | while read -r f; do
    cp --no-preserve=ownership "$f" "$out/pdf/" 2>/dev/null || true; done
  python3 "$here/gen-documents.py" "$out" /usr/share/man
}

build_media() {
  local out=$1
  mkdir -p "$out/photos" "$out/icons" "$out/fonts" "$out/man"
  for i in $(seq 1 36); do
    convert -seed "$i" -size 1400x1000 plasma:fractal -blur 0x1 -quality 88 \
      "$out/photos/IMG_$(printf %04d $i).jpg"
  done
  find /usr -iname '*.jpg' -size +1k 2>/dev/null | head -20 | while read -r f; do
    cp --no-preserve=ownership "$f" "$out/photos/" 2>/dev/null || true; done
  copy_budget /usr/share/icons "$out/icons" $((6 * 1024 * 1024)) -name '*.png'
  copy_budget /usr/share/fonts "$out/fonts" $((6 * 1024 * 1024)) -name '*.ttf'
  copy_budget /usr/share/man "$out/man" $((14 * 1024 * 1024)) -name '*.gz'
}

build_smalltext() {
  local out=$1
  copy_budget /usr/lib/python3.11 "$out/python" $((14 * 1024 * 1024)) -name '*.py'
  copy_budget /usr/share/perl "$out/perl" $((16 * 1024 * 1024))
  copy_budget /usr/share/cmake-3.25 "$out/cmake" $((14 * 1024 * 1024))
  copy_budget /usr/share/i18n "$out/i18n" $((14 * 1024 * 1024)) ! -name '*.gz'
}

build_binaries() {
  local out=$1
  mkdir -p "$out/bin" "$out/lib" "$out/libexec"
  # The files bench.sh leaves out: the even ones in its order.
  pick() {  # source dest budget
    local used=0 size path
    while IFS=$'\t' read -r size path; do
      [ $((used + size)) -gt "$3" ] && continue
      cp --no-preserve=ownership "$path" "$2/" 2>/dev/null && used=$((used + size))
    done < <(find "$1" -maxdepth 1 -type f -size +100k -size -20M -printf '%s\t%p\n' |
               sort -t$'\t' -k2 | awk 'NR % 2 == 0')
  }
  pick /usr/bin "$out/bin" $((20 * 1024 * 1024))
  pick /usr/lib/x86_64-linux-gnu "$out/lib" $((30 * 1024 * 1024))
  copy_budget /usr/libexec "$out/libexec" $((12 * 1024 * 1024)) -size +20k
}

build_logs() {
  python3 "$here/gen-logs.py" "$1"
}

for c in ${CORPORA:-source documents media smalltext binaries logs}; do
  make_one "$c"
  printf '%-10s %6.1f MB %6d files\n' "$c" \
    "$(echo "$(du -s --apparent-size -B1 "$root/$c" | cut -f1) / 1000000" | bc -l)" \
    "$(find "$root/$c" -type f | wc -l)"
done
