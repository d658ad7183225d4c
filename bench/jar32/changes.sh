#!/usr/bin/env bash
# Costs of small changes of big archives:
#  1. deleting 1 of N members of a -m4 archive (its block is copied as it is), beside deleting
#     enough members of one block that it is compressed again (what every delete cost before);
#  2. 1,000 updates of one small file, each an `ac` (a chapter each) and each a plain `u` (the
#     version replaced): listing and extraction of the updated archives beside a fresh archive
#     of the same files.
#   bench/jar32/changes.sh [BUILD-FOLDER] [SCRATCH] (defaults: build, /tmp/jar32-bench-changes)
# Environment: MEMBERS (default 10000), MEMBER_KB (default 8), UPDATES (default 1000),
# PARTS (default "delete updates": either or both).
# Figures only; nothing here passes or fails.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
scratch=${2:-/tmp/jar32-bench-changes}
jar="$build/bin/jar32.exe"
members=${MEMBERS:-10000}
kb=${MEMBER_KB:-8}
updates=${UPDATES:-1000}
parts=${PARTS:-delete updates}
rm -rf "$scratch"; mkdir -p "$scratch/tree"
cd "$scratch"

secs() { /usr/bin/time -f %e -o "$scratch/t" "$@" >/dev/null 2>&1; cat "$scratch/t"; }

python3 - "$scratch/tree" "$members" "$kb" <<'PY'
import os, random, sys
root, n, kb = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rnd = random.Random(5)
words = [''.join(rnd.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rnd.randint(2, 9)))
         for _ in range(5000)]
for i in range(n):
    d = os.path.join(root, 'd%03d' % (i % 100))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, 'f%05d.txt' % i), 'w') as f:
        f.write(' '.join(rnd.choice(words) for _ in range(kb * 1024 // 6))[:kb * 1024])
PY
if [[ " $parts " == *" delete "* ]]; then
size_mb=$(du -s --apparent-size -B1 tree | awk '{printf "%.0f", $1 / 1e6}')
echo "Delete: $members members of $kb KB ($size_mb MB), -m4"
t_add=$(cd tree && secs "$jar" a ../big.j -m4 -r -y '*')
echo "  a -m4:                                   ${t_add} s, $(stat -c %s big.j) bytes"
cp big.j work.j
t_one=$(secs "$jar" d work.j -y 'd050\f05050.txt')
echo "  d of 1 member (its block copied):        ${t_one} s"
# A third of the members of d0xx: every block they lie in is less than 3/4 used afterwards.
cp big.j work.j
t_many=$(secs "$jar" d work.j -y 'd00?\*' 'd01?\*' 'd02?\*' 'd03?\*')
echo "  d of 40% of the members (all re-packed): ${t_many} s, $(stat -c %s work.j) bytes"
fi
[[ " $parts " == *" updates "* ]] || exit 0

echo
echo "Updates of one small file among $((members / 100)): $updates times each an ac (a chapter each)"
echo "and a plain u (the version replaced), -m1"
rm -rf up; mkdir -p up; cp -r tree/d000 up/
cd up
"$jar" a ../updated.j -m1 -r -y '*' >/dev/null
"$jar" a ../plain.j -m1 -r -y '*' >/dev/null
start=$(date +%s.%N)
for i in $(seq 1 "$updates"); do
  echo "version $i" > d000/note.txt
  "$jar" ac ../updated.j -m1 -r -y '*' >/dev/null
done
mid=$(date +%s.%N)
for i in $(seq 1 "$updates"); do
  echo "version $i" > d000/note.txt
  touch -d "@$((1700000000 + i))" d000/note.txt
  "$jar" u ../plain.j -m1 -r -y '*' >/dev/null
done
end=$(date +%s.%N)
"$jar" a ../fresh.j -m1 -r -y '*' >/dev/null
cd ..
echo "  $updates ac: $(echo "$mid - $start" | bc) s, $(stat -c %s updated.j) bytes;" \
     "$updates u: $(echo "$end - $mid" | bc) s, $(stat -c %s plain.j) bytes; fresh $(stat -c %s fresh.j) bytes"
# Median wall time and mean CPU time (user + system) of a run, in ms: on a shared machine the
# CPU time is the steadier figure.
median() { python3 -c "import json,sys; r = json.load(open('$1'))['results'][0]; print('%.2f (CPU %.2f)' % (r['median'] * 1000, (r['user'] + r['system']) * 1000))"; }
for a in fresh plain updated; do
  hyperfine -N --warmup 3 --runs 30 --export-json "$a-l.json" "$jar l $a.j" >/dev/null 2>&1
  hyperfine -N --warmup 1 --runs 15 --prepare "rm -rf $scratch/x" --export-json "$a-x.json" \
    "$jar x $a.j -y -o$scratch/x" >/dev/null 2>&1
  printf '  %-8s l %s ms (%4d lines)   x (last chapter) %s ms\n' "$a" "$(median "$a-l.json")" \
    "$("$jar" l "$a.j" | wc -l)" "$(median "$a-x.json")"
done
hyperfine -N --warmup 3 --runs 30 --export-json all-l.json "$jar l updated.j -jb1-" >/dev/null 2>&1
printf '  updated  l -jb1- %s ms (%4d lines: every version of every chapter)\n' "$(median all-l.json)" \
  "$("$jar" l updated.j -jb1- | wc -l)"
