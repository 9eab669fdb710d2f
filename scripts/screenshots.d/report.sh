# Sourced by screenshots.sh: the sample's report page and a chart, as
# headless Chromium renders them (no Wine needed; the pictures of a browser).
REPORT_DIR=$root/screenshots/report

# render FILE.png WIDTH HEIGHT URL
render() {
  chromium --headless --no-sandbox --disable-gpu --hide-scrollbars \
    --screenshot="$1" --window-size="$2,$3" "$4" >/dev/null 2>&1
  [ -s "$1" ]
}

# The top of the report page of the sample: the table of all stocks and
# the first stocks' sections.
shot_report() {
  local page
  page=$(bash "$here/sample-report.sh" "$RYVO_TOOL" "$REPORT_DIR" --clipped) || return 1
  render "$SHOT_DIR/report-sample.png" 1200 2400 "file://$page" || return 1
  # ソニー under a fixed scale of 3,000 to 3,600 yen, clipped and marked.
  render "$SHOT_DIR/chart-clipped.png" 1040 456 "file://$REPORT_DIR/chart-clipped.svg"
}

SHOTS+=(report)
