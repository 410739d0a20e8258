#!/usr/bin/env bash
# Generates a file of 2,200,000,000 records "0 0 0" (about 13 GB) and runs the
# tool on it once, to show record counts past 2^31 - 1 in the progress line
# and the report (the zone holds no point, so the output stays empty).
# Needs about 14 GB of free disk in the work folder.
#   bench/count_past_2e31.sh [WORK_DIR] [TOOL]
set -euo pipefail
work=${1:-build-bench/count}
tool=$(realpath "${2:-build/tessera_sift}")
mkdir -p "$work/images/big"
file="$work/images/big/zeros.xyz"
records=2200000000
if [ ! -f "$file" ] || [ "$(stat -c %s "$file")" -ne $((records * 6)) ]; then
  # 1,000,000 lines a block, written 2,200 times.
  python3 - "$file" "$records" <<'PY'
import sys
path, records = sys.argv[1], int(sys.argv[2])
block = b"0 0 0\n" * 1000000
with open(path, "wb") as f:
    for _ in range(records // 1000000):
        f.write(block)
PY
fi
cd "$work"
start=$(date +%s)
printf 'big\nzeros\nout\n1 2 1 2\n1\n' | "$tool" | tr '\r' '\n' | grep -E 'record 21474|record 2200000000' | sort -u
end=$(date +%s)
tr -d '\r' < images/big/out_xyz_info.txt | grep 'Number of records'
echo "output lines: $(wc -l < images/big/out.xyz)"
echo "seconds: $((end - start))"
rm -f images/big/out.xyz
