#!/usr/bin/env bash
# Builds the benchmark corpus in $1 (default: /tmp/jar32-bench):
#   real/   about 320 MB of real files from this machine (headers, docs, fonts, binaries, libraries)
#   small/  100,000 small files in 100 folders
# Existing folders are kept, so repeated runs reuse them.
set -euo pipefail
root=${1:-/tmp/jar32-bench}
mkdir -p "$root"

if [ ! -d "$root/real" ]; then
  tmp="$root/real.part"
  rm -rf "$tmp"; mkdir -p "$tmp"
  cp -r --no-preserve=ownership /usr/include "$tmp/include" 2>/dev/null || true
  cp -r --no-preserve=ownership /usr/share/doc "$tmp/doc" 2>/dev/null || true
  cp -r --no-preserve=ownership /usr/share/fonts "$tmp/fonts" 2>/dev/null || true
  # Binaries and libraries: regular files of 100 KB..20 MB, every other one, until each budget is used.
  copy_some() {  # source-folder dest-folder budget-bytes
    local used=0 size path
    while IFS=$'\t' read -r size path; do
      [ $((used + size)) -gt "$3" ] && continue
      cp --no-preserve=ownership "$path" "$2/" 2>/dev/null && used=$((used + size))
    done < <(find "$1" -maxdepth 1 -type f -size +100k -size -20M -printf '%s\t%p\n' |
               sort -t$'\t' -k2 | awk 'NR % 2 == 1')
  }
  mkdir -p "$tmp/bin" "$tmp/lib"
  copy_some /usr/bin "$tmp/bin" $((25 * 1024 * 1024))
  copy_some /usr/lib/x86_64-linux-gnu "$tmp/lib" $((25 * 1024 * 1024))
  find "$tmp" -type l -delete
  mv "$tmp" "$root/real"
fi

if [ ! -d "$root/small" ]; then
  tmp="$root/small.part"
  rm -rf "$tmp"; mkdir -p "$tmp"
  python3 - "$tmp" <<'PY'
import os, sys, random
root = sys.argv[1]
rnd = random.Random(42)
words = open('/usr/share/dict/words').read().split() if os.path.exists('/usr/share/dict/words') else \
        ['alpha', 'beta', 'gamma', 'delta', 'epsilon', 'zeta', 'eta', 'theta', 'iota', 'kappa']
for d in range(100):
    folder = os.path.join(root, 'dir%03d' % d)
    os.makedirs(folder)
    for f in range(1000):
        n = rnd.randint(20, 600)
        text = ' '.join(rnd.choice(words) for _ in range(n // 6 + 1))[:n]
        with open(os.path.join(folder, 'file%04d.txt' % f), 'w') as fh:
            fh.write(text)
PY
  mv "$tmp" "$root/small"
fi
du -sh "$root/real" "$root/small"
find "$root/real" -type f | wc -l
