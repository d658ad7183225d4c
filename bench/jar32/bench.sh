#!/usr/bin/env bash
# Side-by-side benchmark of jar32.exe against zip/unzip, 7zz and tar with zstd/xz on one corpus.
#   bench/jar32/bench.sh [BUILD-FOLDER] [SCRATCH-FOLDER]       (defaults: build, /tmp/jar32-bench)
# Environment: METHODS="1 2 3 4" (jar32 methods to run), SLOW=1 also runs 7zz -mx9 and xz -6.
# Prints: compress time (wall), CPU (user+sys), peak memory, archive size, extract time, and the
# time to list the 100,000-member archive. Figures only; nothing here passes or fails.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
scratch=${2:-/tmp/jar32-bench}
methods=${METHODS:-"1 4"}

"$here/make-corpus.sh" "$scratch" >/dev/null
real="$scratch/real"
small="$scratch/small"
out="$scratch/out"
rm -rf "$out"; mkdir -p "$out"

# Extraction always goes through jar32.exe x, which keeps every member inside the target folder.
jar="$build/bin/jar32.exe"
[ -x "$jar" ] || { echo "build $jar first" >&2; exit 1; }

# measure LABEL COMMAND...: runs the command, prints wall seconds, CPU seconds and peak KB.
measure() {
  local label=$1; shift
  local log="$out/time.log"
  /usr/bin/time -f "%e %U %S %M" -o "$log" "$@" >/dev/null 2>"$out/err.log" || {
    echo "$label: failed ($(tail -1 "$out/err.log"))"; return 0; }
  read -r wall user sys peak < <(tail -1 "$log")
  printf '%s %s %s %s\n' "$wall" "$(echo "$user + $sys" | bc)" "$peak" "$label" >> "$out/results.txt"
  echo "$wall $user $sys $peak"
}

row() {  # name archive compress-figures extract-figures
  local name=$1 archive=$2 c=$3 x=$4
  read -r cw cu cs cp <<<"$c"
  read -r xw xu xs xp <<<"$x"
  printf '%-16s %10.1f MB %8.1f s %8.1f s CPU %7.0f MB peak %8.1f s extract %6.0f MB peak\n' \
    "$name" "$(echo "$(stat -c %s "$archive") / 1000000" | bc -l)" "$cw" \
    "$(echo "$cu + $cs" | bc)" "$(echo "$cp / 1024" | bc -l)" "$xw" "$(echo "$xp / 1024" | bc -l)"
}

corpus_mb=$(du -s --apparent-size -B1 "$real" | cut -f1)
echo "Corpus: $(echo "$corpus_mb / 1000000" | bc) MB, $(find "$real" -type f | wc -l) files; $(nproc) cores"
echo "                       size    compress        CPU        peak     extract   peak"

for m in $methods; do
  a="$out/m$m.j"; rm -f "$a"
  c=$(cd "$real" && measure "jar32 -m$m" "$jar" a "$a" -m$m -r -y '*')
  rm -rf "$out/x"; mkdir -p "$out/x"
  x=$(measure "jar32 x" "$jar" x "$a" -y "-o$out/x")
  row "jar32 -m$m" "$a" "$c" "$x"
done

for level in 1 9; do
  z="$out/z$level.zip"; rm -f "$z"
  c=$(cd "$real" && measure "zip -$level" zip -q -r -$level "$z" .)
  rm -rf "$out/x"; mkdir -p "$out/x"
  x=$(measure "unzip" unzip -q "$z" -d "$out/x")
  row "zip -$level" "$z" "$c" "$x"
done

t="$out/t.tar.zst"
c=$(measure "tar|zstd -3" sh -c "tar cf - -C '$real' . | zstd -q -3 -T0 -o '$t'")
rm -rf "$out/x"; mkdir -p "$out/x"
x=$(measure "zstd -d|tar x" sh -c "zstd -q -d -c '$t' | tar xf - -C '$out/x'")
row "tar|zstd -3" "$t" "$c" "$x"

sevens="5"
[ "${SLOW:-0}" = 1 ] && sevens="5 9"
for level in $sevens; do
  s="$out/s$level.7z"; rm -f "$s"
  c=$(cd "$real" && measure "7zz -mx$level" 7zz a -bd -mx$level "$s" .)
  rm -rf "$out/x"; mkdir -p "$out/x"
  x=$(measure "7zz x" 7zz x -bd -y "-o$out/x" "$s")
  row "7zz -mx$level" "$s" "$c" "$x"
done
if [ "${SLOW:-0}" = 1 ]; then
  t="$out/t.tar.xz"
  c=$(measure "tar|xz -6" sh -c "tar cf - -C '$real' . | xz -6 -T1 > '$t'")
  rm -rf "$out/x"; mkdir -p "$out/x"
  x=$(measure "xz -d|tar x" sh -c "xz -d -c '$t' | tar xf - -C '$out/x'")
  row "tar|xz -6" "$t" "$c" "$x"
fi
rm -rf "$out/x"

echo
echo "Listing 100,000 members (median of several runs):"
(cd "$small" && "$jar" a "$out/small.j" -m1 -r -y '*' >/dev/null)
list_jar=("$jar" l "$out/small.j" -jb1- -y)
(cd "$small" && 7zz a -bd -mx1 "$out/small.7z" . >/dev/null && zip -q -r -1 "$out/small.zip" .)
hyperfine -N --warmup 1 --runs 5 --export-markdown "$out/list.md" \
  -n "jar32 l" "${list_jar[*]}" -n "7zz l" "7zz l $out/small.7z" \
  -n "unzip -l" "unzip -l $out/small.zip" 2>/dev/null | grep -E 'Time|jar32 l|7zz l|unzip -l' || true
cat "$out/list.md" 2>/dev/null || true
