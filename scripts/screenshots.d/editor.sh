# Sourced by screenshots.sh: the stock settings dialog RECEDIT_DLG.
EDITOR_DLG="Ryvo Data Setup"

# The dialog for a new stock (command 107): every field empty.
shot_editor_new() {
  ryvowin || return 1
  winshot post "$MAIN" 107
  winshot wait "$EDITOR_DLG" 20 || return 1
  sleep 1
  ryvo_snap "$SHOT_DIR/recedit-new.png" "$EDITOR_DLG"
  ryvo_stop
}

# The dialog filled for the sample stock ソニー (entry 1, command 108). The
# dialog needs the stock's price CSV file: a header-only one stands in.
shot_editor_sample() {
  ryvowin || return 1
  local work csv f
  work=$(ryvo_unix_path "$RYVO_WORK_DIR")
  csv=$(ryvo_unix_path "$RYVO_CSV_DIR")
  for f in "$work"/*.txt; do
    printf '日付,始値,高値,安値,終値\r\n' | iconv -f UTF-8 -t CP932 > "$csv/$(basename "$f" .txt).csv"
  done
  winshot select "$MAIN" 150 1
  winshot post "$MAIN" 108
  winshot wait "$EDITOR_DLG" 20 || return 1
  sleep 1
  ryvo_snap "$SHOT_DIR/recedit-sample.png" "$EDITOR_DLG"
  ryvo_stop
}

SHOTS+=(editor_new editor_sample)
