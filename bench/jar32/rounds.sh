#!/usr/bin/env bash
# jar32.exe -m4 and 7zz -mx9 on the same corpora in rounds taken in turn, with the median and
# range of each one's wall and CPU time: on a shared machine the speed drifts by a quarter
# between runs, so a single side-by-side run cannot tell apart times a few percent apart.
#   bench/jar32/rounds.sh [BUILD-FOLDER] [CORPORA-FOLDER] [ROUNDS] [CORPUS...]
#   (defaults: build, /tmp/jar32-corpora, 5, smalltext binaries logs)
set -euo pipefail
build=${1:-build}
corpora=${2:-/tmp/jar32-corpora}
rounds=${3:-5}
shift $(($# < 3 ? $# : 3))
list=${*:-smalltext binaries logs}
jar="$(cd "$build" && pwd)/bin/jar32.exe"
[ -x "$jar" ] || { echo "no $jar: build first" >&2; exit 1; }
command -v 7zz >/dev/null || { echo "7zz is missing: apt-get install 7zip" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# time_one LOG COMMAND...: appends "wall cpu" of one run to LOG.
time_one() {
  local log=$1; shift
  /usr/bin/time -f '%e %U %S' -o "$out/t" "$@" >/dev/null 2>"$out/err" ||
    { echo "failed: $* ($(tail -1 "$out/err"))" >&2; exit 1; }
  read -r w u s < "$out/t"
  echo "$w $(echo "$u + $s" | bc)" >> "$log"
}

# median LOG COLUMN: the median of a column of LOG.
median() {
  sort -n -k"$2" "$1" | awk -v c="$2" '{v[NR] = $c} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

# summary LOG: median wall, wall range, median CPU.
summary() {
  printf '%8.2f  %6.2f-%-6.2f %9.2f' "$(median "$1" 1)" "$(sort -n "$1" | head -1 | cut -d' ' -f1)" \
    "$(sort -n "$1" | tail -1 | cut -d' ' -f1)" "$(median "$1" 2)"
}

printf '%-10s %-10s %8s  %-13s %9s\n' corpus tool wall range CPU
for c in $list; do
  src="$corpora/$c"
  [ -d "$src" ] || { echo "no corpus $src (bench/jar32/make-corpora.sh makes it)" >&2; exit 1; }
  : > "$out/jar"; : > "$out/7zz"
  for _ in $(seq "$rounds"); do
    rm -f "$out/a.j" "$out/a.7z"
    (cd "$src" && time_one "$out/jar" "$jar" a "$out/a.j" -m4 -r -y '*')
    (cd "$src" && time_one "$out/7zz" 7zz a -bd -mx9 "$out/a.7z" .)
  done
  printf '%-10s %-10s %s\n' "$c" "jar32 -m4" "$(summary "$out/jar")"
  printf '%-10s %-10s %s\n' "$c" "7zz -mx9" "$(summary "$out/7zz")"
  printf '%-10s %-10s %8.3f  (median wall, %d rounds)\n' "$c" ratio \
    "$(echo "$(median "$out/jar" 1) / $(median "$out/7zz" 1)" | bc -l)" "$rounds"
done
