#!/bin/sh
# Figures for security envelopes and volume sets: signing and verifying throughput, cutting an
# archive into volumes and reading a set, on an archive of SIZE_MB (default 200) MB.
# Usage: bench/jar32/envelope-volumes.sh [build folder]   (run it with nice on a shared machine)
set -eu
BUILD=${1:-build}
JAR=$(cd "$BUILD" && pwd)/bin/jar32.exe
SIZE_MB=${SIZE_MB:-200}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CONFIG_HOME="$WORK/config"
cd "$WORK"
mkdir src
head -c $((SIZE_MB * 1024 * 1024)) /dev/urandom > src/data.bin
"$JAR" a plain.j -m1 src/data.bin > /dev/null
"$JAR" y plain.j -hy -osigned.j -y > /dev/null  # makes the key

seconds() {  # wall seconds of a command, best of three
  best=""
  for i in 1 2 3; do
    start=$(date +%s.%N)
    "$@" > /dev/null 2>&1 || true
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc)" = 1 ]; then best=$t; fi
  done
  echo "$best"
}
mbps() { echo "scale=0; $SIZE_MB / $1" | bc; }

copy=$(seconds "$JAR" y plain.j -ocopy.j -y)
sign=$(seconds "$JAR" y plain.j -hy -osigned.j -y)
list=$(seconds "$JAR" l plain.j)
verify=$(seconds "$JAR" l signed.j)
skip=$(seconds "$JAR" l signed.j -he)
split=$(seconds "$JAR" y plain.j -v100m -vi -oset.j -y)
test1=$(seconds "$JAR" t plain.j)
testset=$(seconds "$JAR" t set.j)
echo "archive: $SIZE_MB MB ($(ls set.j* | wc -l) volumes of 100 MB)"
echo "y (copy)            $copy s"
echo "y -hy (copy, sign)  $sign s   signing: $(mbps "$(echo "$sign - $copy" | bc)") MB/s"
echo "l                   $list s"
echo "l of the signed     $verify s   verifying: $(mbps "$(echo "$verify - $list" | bc)") MB/s"
echo "l -he of the signed $skip s"
echo "y -v100m (split)    $split s   cutting: $(mbps "$(echo "$split - $copy" | bc)") MB/s"
echo "t (one file)        $test1 s"
echo "t (volume set)      $testset s"
