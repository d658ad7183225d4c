#!/bin/sh
# Recovery records benchmark: 100 single bursts of up to 2.5% on a 200 MB archive with 3%
# records, encode speed on 1 GB (one core), repair of a 1% burst on 1 GB.
# Usage: bench/jar32/records.sh [build folder]   (figures on standard output)
set -e
build=${1:-build}
tool="$build/bench/jar32_bench_records"
[ -x "$tool" ] || { echo "build jar32_bench_records first (ninja -C $build jar32_bench_records)" >&2; exit 2; }
nice -n 19 "$tool" bursts 200 100 2.5
nice -n 19 "$tool" encode 1000
nice -n 19 "$tool" repair 1000 1
