#!/usr/bin/env bash
# Recipe of the reference archives in this folder, written in format version 1 by jar32.exe as
# it was before format version 2 (commit "Argument files: only regular files are read ...").
# Run once; the archives are checked in and must stay readable by every later jar32.exe.
#   tests/data/jar32-format1/make.sh JAR32.EXE OUTPUT-FOLDER
set -euo pipefail
jar=$(realpath "$1")
out=$(realpath "$2")
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
cd "$work"
export TZ=UTC

# The tree of chapter 1 (the test builds the same contents).
mkdir -p tree/docs tree/data "tree/empty folder"
printf 'Read me first.\n' > tree/readme.txt
for i in $(seq 1 300); do echo "guide line $i"; done > tree/docs/guide.txt
seq 1 2000 > tree/data/count.txt
: > tree/empty.txt
ln -s ../readme.txt tree/docs/readme-link
chmod 0444 tree/readme.txt
chmod 0750 tree/data
touch -h -d @1700000000 tree/docs/readme-link
touch -d @1700000000 tree/readme.txt tree/empty.txt
touch -d @1700000100 tree/docs/guide.txt
touch -d @1700000200 tree/data/count.txt
touch -d @1700000300 tree/docs tree/data "tree/empty folder"
printf 'Reference archive, format 1.\nSecond comment line.\n' > comment.txt

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

# Protected: XChaCha20-Poly1305 with hidden contents, and GOST 28147-89 (-m4: xz).
(cd tree && "$jar" a "$work/hidden.j" -r -m1 -gsecret123 -hg0 -jx readme.txt docs >/dev/null)
(cd tree && "$jar" a "$work/gost.j" -r -m4 -gsecret123 -hg1 readme.txt docs >/dev/null)
cp plain.j hidden.j gost.j "$out/"
