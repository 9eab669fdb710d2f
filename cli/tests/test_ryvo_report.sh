#!/usr/bin/env bash
# ryvo chart and ryvo report end to end on the sample: the SVG and the HTML
# parse as XML (xmllint), a chart per stock, candles or the close line, the
# clipped days of a fixed scale that the prices leave, and the exit codes.
set -u
RYVO="$1"
source "$(dirname "$0")/test-lib.sh"
ryvo_test_begin report
# count FILE XPATH: the number of nodes, namespaces ignored by local-name().
count() { xmllint --xpath "count($2)" "$1" 2>/dev/null; }
work="$T/作業 1"   # a Japanese folder name with a space
mkdir -p "$work" "$T/csv"

"$RYVO" chart --help | grep -q "usage: ryvo chart"; check "chart --help" 0 $?
"$RYVO" chart >/dev/null 2>&1; check "chart without arguments" 2 $?
"$RYVO" chart a b -o >/dev/null 2>&1; check "chart -o without a file" 2 $?

"$RYVO" sample "$work"; check "sample" 0 $?
D="$work/Ryvo.dmp"
"$RYVO" chart "$D" ソニー -o "$T/sony.svg"; check "chart from the dump" 0 $?
expect "the chart parses as XML" xmllint --noout "$T/sony.svg"
expect "260 candles" test "$(count "$T/sony.svg" '//*[@class="candle up" or @class="candle down"]')" = 260
expect "title is the name in UTF-8" grep -q '<title>ソニー</title>' "$T/sony.svg"
expect "the sample's fixed scale is not left" test "$(count "$T/sony.svg" '//*[@class="clip"]')" = 0
"$RYVO" chart "$D" 日本電信電話株式会社 >"$T/ntt.svg"; check "chart to standard output" 0 $?
expect "OnlyClose draws one close line" test "$(count "$T/ntt.svg" '//*[local-name()="polyline"][@class="close"]')" = 1
expect "and no candles" test "$(count "$T/ntt.svg" '//*[starts-with(@class,"candle ")]')" = 0
"$RYVO" chart "$D" nosuch >/dev/null 2>"$T/err.txt"; check "chart of a stock the dump lacks" 1 $?
expect "says so" grep -q "no stock 'nosuch'" "$T/err.txt"
"$RYVO" chart "$T/nowhere.dmp" 7203 >/dev/null 2>&1; check "chart without a dump" 1 $?

"$RYVO" report --help | grep -q "usage: ryvo report"; check "report --help" 0 $?
"$RYVO" load "$work" >/dev/null; check "load" 0 $?
"$RYVO" export "$work" "$T/csv" 2>/dev/null; check "export" 0 $?
"$RYVO" report "$work" "$T/csv" -o "$T/report.html"; check "report" 0 $?
expect "the page parses as XML" xmllint --noout "$T/report.html"
expect "one chart per stock" test "$(count "$T/report.html" '//*[local-name()="svg"]')" = 6
expect "one section per stock" test "$(count "$T/report.html" '//*[local-name()="section"]')" = 6
expect "each section holds one chart" test \
  "$(count "$T/report.html" '//*[local-name()="section"][count(.//*[local-name()="svg"])=1]')" = 6
expect "files named as the host names them" grep -q "<code>$work/ソニー.txt</code>" "$T/report.html"
expect "links to the sections" test "$(count "$T/report.html" '//*[local-name()="a"][starts-with(@href,"#stock-")]')" = 6
"$RYVO" report "$work" "$T/csv" | cmp -s - "$T/report.html"; check "report to standard output, the same page" 0 $?

# The same from the files: the conversion's record of ソニー.
"$RYVO" chart "$work" "$T/csv" ソニー -o "$T/sony-files.svg"; check "chart from the files" 0 $?
expect "the files give the dump's chart" cmp -s "$T/sony.svg" "$T/sony-files.svg"
# A fixed scale of 3,000 to 3,600 yen that the prices leave.
settings="$work/ソニー.txt"
sed -i '13s/.*/3600,3000\r/' "$settings"
"$RYVO" chart "$work" "$T/csv" ソニー -o "$T/clipped.svg"; check "chart with a clipping scale" 0 $?
clips=$(count "$T/clipped.svg" '//*[@class="clip"]')
expect "clipped prices are marked" test "${clips:-0}" -gt 0
expect "the days outside are counted" grep -q '株価スケール外 [1-9][0-9]*日' "$T/clipped.svg"
# A keyword with markup shows as text; the page stays well-formed.
sed -i "6s/.*/<td> \& \"it's\"\r/" "$settings"
"$RYVO" report "$work" "$T/csv" -o "$T/report.html"; check "report with markup in a keyword" 0 $?
expect "still well-formed" xmllint --noout "$T/report.html"
expect "the keyword escaped" grep -q '&lt;td&gt; &amp; &quot;it&#39;s&quot;' "$T/report.html"
# A stock without its CSV file: the conversion stops there, the page says so.
rm "$T/csv/7203.csv"
"$RYVO" report "$work" "$T/csv" -o "$T/report.html"; check "report with a missing CSV file" 0 $?
expect "one chart per stock still" test "$(count "$T/report.html" '//*[local-name()="svg"]')" = 6
expect "the stopping stock marked" test "$(count "$T/report.html" '//*[local-name()="tr"][@class="stops"]')" = 1
"$RYVO" chart "$work" "$T/csv" 7203 >/dev/null 2>"$T/err.txt"; check "chart where the conversion stops" 1 $?
expect "names the stock" grep -q "stops at '7203'" "$T/err.txt"
"$RYVO" report "$T/nowhere" "$T/csv" >/dev/null 2>&1; check "report without a dump" 1 $?

ryvo_test_end "ryvo chart and report"
