#!/usr/bin/env bash
# Recipe of the reference archives in this folder, written in format version 7 by jar32.exe as
# it was on 2026-12-11 (as version 6, with the nanoseconds of member records as steps in planes of
# bytes and their names ended by a NUL): every codec (-m1/-m2 zstd, -m4 xz, xz with the x86 branch split, and xz with gzip
# trailers left out), both protection methods, chapters, comments, the fields of version 2
# (nanoseconds, owner, hard links, sparse files), an archive changed after it was made (a member
# deleted, blocks copied as they are), one of many members with nanoseconds at random whose
# records are packed with xz (the same files as in ../jar32-format6/many.j), and one of the gzip
# files of ../jar32-format6/gzip/.
# Run once; the archives are checked in and must stay readable by every later jar32.exe.
#   tests/data/jar32-format7/make.sh JAR32.EXE OUTPUT-FOLDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
jar=$(realpath "$1")
out=$(realpath "$2")
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
cd "$work"
export TZ=UTC

# The tree of chapter 1 (the test builds the same contents).
mkdir -p tree/docs tree/data tree/bin "tree/empty folder"
printf 'Read me first.\n' > tree/readme.txt
for i in $(seq 1 300); do echo "guide line $i"; done > tree/docs/guide.txt
seq 1 2000 > tree/data/count.txt
: > tree/empty.txt
ln -s ../readme.txt tree/docs/readme-link
ln tree/data/count.txt tree/data/count-link.txt
# Machine code (an ELF header, then x86 calls, most of them into the file), so -m4 splits it.
python3 -c "
import sys
data = bytearray(b'\x7fELF\x02\x01\x01' + bytes(9))
for i in range(6000):
    data += bytes((0xE8, i & 0xFF, (i >> 8) & 0xFF, 0, 0, 0x48, 0x89, 0xC7, 0x90))
sys.stdout.buffer.write(data)" > tree/bin/tool
# Sparse: 1 MiB of holes around 5 bytes.
truncate -s 1M tree/data/sparse.bin
printf 'holes' | dd of=tree/data/sparse.bin bs=1 seek=524288 conv=notrunc status=none
chmod 0444 tree/readme.txt
chmod 0755 tree/bin/tool
chmod 0750 tree/data
touch -h -d @1700000000 tree/docs/readme-link
touch -d @1700000000.123456789 tree/readme.txt tree/empty.txt
touch -d @1700000100.5 tree/docs/guide.txt
touch -d @1700000200 tree/data/count.txt tree/data/sparse.bin tree/bin/tool
touch -d @1700000300 tree/docs tree/data tree/bin "tree/empty folder"
printf 'Reference archive, format 7.\nSecond comment line.\n' > comment.txt

(cd tree && "$jar" a "$work/plain.j" -r -m2 -z"$work/comment.txt" '*' >/dev/null)
# Chapter 2: guide.txt changes, notes.txt is new, the rest is unchanged.
chmod u+w tree/docs/guide.txt
echo "added in chapter 2" >> tree/docs/guide.txt
touch -d @1700001000 tree/docs/guide.txt
printf 'chapter two\n' > tree/notes.txt
touch -d @1700001100 tree/notes.txt
touch -d @1700000300 tree/docs
printf 'The second chapter.\n' > chapter.txt
(cd tree && "$jar" ac "$work/plain.j" -r -m2 -hz"$work/chapter.txt" '*' >/dev/null)

(cd tree && "$jar" a "$work/fast.j" -r -m1 '*' >/dev/null)
(cd tree && "$jar" a "$work/best.j" -r -m4 '*' >/dev/null)
# Protected: XChaCha20-Poly1305 with hidden contents, and GOST 28147-89 (-m4: xz).
(cd tree && "$jar" a "$work/hidden.j" -r -m1 -gsecret123 -hg0 -jx readme.txt docs bin >/dev/null)
(cd tree && "$jar" a "$work/gost.j" -r -m4 -gsecret123 -hg1 readme.txt docs bin >/dev/null)
# Changed: a member deleted from a copy of plain.j, a file added with -m4.
cp plain.j changed.j
printf 'added later\n' > later.txt
touch -d @1700002000 later.txt
"$jar" d changed.j 'docs\guide.txt' -y >/dev/null
"$jar" a changed.j later.txt -m4 >/dev/null
# Many members, so that -m4 packs their records with xz (smaller than zstd there).
mkdir many
python3 - many <<'PY'
import os, random, sys
r = random.Random(3)
words = ['alpha', 'beta', 'gamma', 'delta', 'omega', 'river', 'stone', 'cloud', 'paper', 'light']
for i in range(600):
    p = os.path.join(sys.argv[1], '%s-%s-%d.txt' % (r.choice(words), r.choice(words), i))
    open(p, 'w').write('%d\n' % i)
    t = 1700000000 * 10**9 + r.randrange(10**15)
    os.utime(p, ns=(t, t))
PY
(cd many && "$jar" a "$work/many.j" -m4 '*' >/dev/null)
# The gzip files of format 6 (with and without a name, one with a header of every field, one
# whose trailer is wrong, and a file that is not gzip between them).
(cd "$here/../jar32-format6/gzip" && "$jar" a "$work/gzip.j" -m4 '*' >/dev/null)
cp plain.j fast.j best.j hidden.j gost.j changed.j many.j gzip.j "$out/"
