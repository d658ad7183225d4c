#!/usr/bin/env bash
# jar32.exe -m1..-m4 beside 7zz -mx9 and tar | zstd -3 on each corpus of make-corpora.sh,
# side by side in one run, with sizes and times as ratios to 7zz -mx9.
#   bench/jar32/corpora.sh [BUILD-FOLDER] [CORPORA-FOLDER] [SCRATCH]
#   (defaults: build, /tmp/jar32-corpora, /tmp/jar32-bench-corpora)
# Environment: CORPORA="source documents ..." (default: all), METHODS="1 2 3 4",
# HELD_OUT=folder (measures that folder too, as the corpus "held-out").
# Figures only; nothing here passes or fails. Run it alone on the machine (under nice -n 19).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
corpora=${2:-/tmp/jar32-corpora}
scratch=${3:-/tmp/jar32-bench-corpora}
methods=${METHODS:-"1 2 3 4"}
jar="$build/bin/jar32.exe"
[ -x "$jar" ] || { echo "build $jar first" >&2; exit 1; }
command -v 7zz >/dev/null || { echo "7zz is missing: apt-get install 7zip" >&2; exit 1; }
CORPORA=${CORPORA:-"source documents media smalltext binaries logs"} "$here/make-corpora.sh" "$corpora" >/dev/null
mkdir -p "$scratch"
# Extractions go to memory (tmpfs) where there is one: on a disk, creating thousands of files
# right after deleting the last extraction's is slowed by the file system's own state, which
# would decide the x ratios, and always against the tool that extracts second.
xroot=${XROOT:-/dev/shm/jar32-bench-x}
mkdir -p "$xroot" 2>/dev/null || xroot=$scratch/x

# measure COMMAND...: prints "wall cpu peak-MB" (or "fail"); the wall time to the millisecond.
measure() {
  local start end
  start=$(date +%s%N)
  if /usr/bin/time -f "%e %U %S %M" -o "$scratch/time.log" "$@" >/dev/null 2>"$scratch/err.log"; then
    end=$(date +%s%N)
    awk -v ns=$((end - start)) '{printf "%.3f %.2f %.0f\n", ns / 1e9, $2 + $3, $4 / 1024}' "$scratch/time.log"
  else
    echo "fail fail fail"
  fi
}

# median_of LOG: the median of each column of LOG (lines of measure), or fail.
median_of() {
  if grep -q fail "$1"; then echo "fail fail fail"; return; fi
  local col middle=$((($(wc -l < "$1") + 1) / 2))
  for col in 1 2 3; do cut -d' ' -f$col "$1" | sort -n | sed -n "${middle}p"; done | xargs
}

# measure_median FILE COMMAND...: like measure, but a run of less than 3 s is taken 5 times
# (FILE, what it writes, removed before each) and each figure is the median: a single run of a
# fraction of a second drifts by a third from one run to the next on a shared machine.
measure_median() {
  local file=$1; shift
  rm -f "$file"
  measure "$@" > "$scratch/runs.log"
  case $(cat "$scratch/runs.log") in fail*) cat "$scratch/runs.log"; return ;; esac
  if [ "$(echo "$(cut -d' ' -f1 "$scratch/runs.log") < 3" | bc)" = 1 ]; then
    for _ in 1 2 3 4; do rm -f "$file"; measure "$@" >> "$scratch/runs.log"; done
  fi
  median_of "$scratch/runs.log"
}

summary="$scratch/summary.txt"
: > "$summary"
list=${CORPORA:-"source documents media smalltext binaries logs"}
[ -n "${HELD_OUT:-}" ] && list="$list held-out"
for c in $list; do
  src="$corpora/$c"
  [ "$c" = held-out ] && src=$HELD_OUT
  bytes=$(du -s --apparent-size -B1 "$src" | cut -f1)
  files=$(find "$src" -type f | wc -l)
  out="$scratch/$c"; rm -rf "$out"; mkdir -p "$out"
  echo "== $c: $(echo "$bytes / 1000000" | bc -l | xargs printf %.1f) MB, $files files, $(nproc) cores"
  printf '%-14s %10s %7s %8s %8s %7s %8s %8s %7s %7s\n' tool size ratio wall CPU peakMB x-wall t-wall "x/7zz" "t/7zz"

  s="$out/a.7z"
  read -r sw sc sp < <(cd "$src" && measure 7zz a -bd -mx9 "$s" .)
  ssize=$(stat -c %s "$s")
  rm -rf "$xroot/x"; mkdir -p "$xroot/x"; sync  # the removal's writes do not land on the next run
  read -r sxw _ _ < <(measure 7zz x -bd -y "-o$xroot/x" "$s")
  read -r stw _ _ < <(measure 7zz t -bd "$s")
  row() {  # name size wall cpu peak xwall twall
    printf '%-14s %10d %7.3f %8s %8s %7s %8s %8s %7s %7s\n' "$1" "$2" "$(echo "$2 / $ssize" | bc -l)" \
      "$3" "$4" "$5" "$6" "$7" \
      "$( [ "$6" = - ] && echo - || echo "$6 / $sxw" | bc -l | xargs printf %.2f)" \
      "$( [ "$7" = - ] && echo - || echo "$7 / $stw" | bc -l | xargs printf %.2f)"
  }
  row "7zz -mx9" "$ssize" "$sw" "$sc" "$sp" "$sxw" "$stw"

  # tar | zstd -3 and -m1, each a fraction of a second, five times in turn: what the machine
  # drifts by falls on both alike.
  z="$out/a.tar.zst"
  : > "$scratch/zstd.log"; : > "$scratch/m1.log"
  for _ in 1 2 3 4 5; do
    rm -f "$z"; measure sh -c "tar cf - -C '$src' . | zstd -q -3 -T0 -o '$z'" >> "$scratch/zstd.log"
    case " $methods " in *" 1 "*)
      rm -f "$out/m1.j"; (cd "$src" && measure "$jar" a "$out/m1.j" -m1 -r -y '*') >> "$scratch/m1.log" ;;
    esac
  done
  read -r zw zc zp < <(median_of "$scratch/zstd.log")
  row "tar|zstd -3" "$(stat -c %s "$z")" "$zw" "$zc" "$zp" - -

  for m in $methods; do
    a="$out/m$m.j"
    if [ "$m" = 1 ]; then
      read -r jw jc jp < <(median_of "$scratch/m1.log")
    else
      read -r jw jc jp < <(cd "$src" && measure_median "$a" "$jar" a "$a" -m$m -r -y '*')
    fi
    if [ "$jw" = fail ]; then echo "jar32 -m$m failed: $(tail -1 "$scratch/err.log")"; continue; fi
    rm -rf "$xroot/x"; mkdir -p "$xroot/x"; sync
    read -r xw _ _ < <(measure "$jar" x "$a" -y "-o$xroot/x")
    read -r tw _ _ < <(measure "$jar" t "$a")
    jsize=$(stat -c %s "$a")
    row "jar32 -m$m" "$jsize" "$jw" "$jc" "$jp" "$xw" "$tw"
    echo "$c m$m $jsize $ssize $jw $sw $jp $xw $sxw $tw $stw $(stat -c %s "$z") $zw" >> "$summary"
  done
  rm -rf "$xroot/x"
  echo
done

echo "== -m4 against 7zz -mx9 (size ratio, wall ratio; x and t ratios)"
awk '$2 == "m4" { printf "%-10s size %.3f  wall %.2f  peak %5d MB  x %.2f  t %.2f\n", $1, $3 / $4, $5 / $6, $7, $8 / $9, $10 / $11 }' "$summary"
echo "== -m1 against tar | zstd -3 (size ratio, wall ratio)"
awk '$2 == "m1" { printf "%-10s size %.3f  wall %.2f\n", $1, $3 / $12, $5 / $13 }' "$summary"
