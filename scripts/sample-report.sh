#!/usr/bin/env bash
# sample-report.sh RYVO DIR: the report page of the embedded sample, made as
# a user makes it: the sample dump in DIR/work, loaded and exported to
# DIR/csv, then `ryvo report` into DIR/ryvo-report.html, whose path it
# prints. With --clipped it also gives the stock ソニー a fixed scale of
# 3,000 to 3,600 yen that its prices leave, and writes that stock's chart
# as DIR/chart-clipped.svg.
set -euo pipefail
ryvo=$1 dir=$2 clipped=${3:-}
rm -rf "$dir/work" "$dir/csv"
mkdir -p "$dir/work" "$dir/csv"
"$ryvo" sample "$dir/work"
"$ryvo" load "$dir/work" >/dev/null
"$ryvo" export "$dir/work" "$dir/csv" 2>/dev/null
"$ryvo" report "$dir/work" "$dir/csv" -o "$dir/ryvo-report.html"
if [ "$clipped" = --clipped ]; then
  settings="$dir/work/ソニー.txt"
  sed -i '13s/.*/3600,3000\r/' "$settings"
  "$ryvo" chart "$dir/work" "$dir/csv" ソニー -o "$dir/chart-clipped.svg"
fi
echo "$(cd "$dir" && pwd)/ryvo-report.html"
