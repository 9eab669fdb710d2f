// The report page: heading, the table of all stocks, one section per stock.
#include "stock_report.h"

#include <stdio.h>
#include <string.h>

#include "stock_chart.h"
#include "stock_paths.h"

namespace {

const char kStyle[] =
    "body{font-family:IPAPGothic,IPAGothic,'Noto Sans CJK JP',Meiryo,'MS Gothic',"
    "'Hiragino Sans',sans-serif;margin:24px;color:#222;background:#fff}\n"
    "h1{font-size:22px;margin:0 0 6px}h2{font-size:18px;margin:0 0 6px}\n"
    "p.where{color:#555;margin:0 0 14px;font-size:13px}\n"
    "table{border-collapse:collapse;font-size:13px;margin:6px 0 12px}\n"
    "th,td{border:1px solid #c8c8c8;padding:3px 8px;text-align:left;vertical-align:top}\n"
    "th{background:#f0f2f5;font-weight:bold}\n"
    "td.number{text-align:right;white-space:nowrap}\n"
    "td.text{word-break:break-all}\n"
    "td.kind,td.file{white-space:nowrap}\n"
    "tr.stops td{background:#fde8e8}\n"
    "tr.info td{color:#666}\n"
    ".stop{color:#b00000;font-weight:bold}\n"
    ".loss{color:#b00000}\n"
    "section.stock{margin:28px 0 0;padding-top:12px;border-top:2px solid #888}\n"
    "div.chart svg{max-width:100%;height:auto;border:1px solid #ddd}\n"
    "div.tables{display:flex;flex-wrap:wrap;gap:24px;align-items:flex-start}\n"
    "caption{text-align:left;font-weight:bold;padding:2px 0}\n"
    "code{font-family:monospace;background:#f4f4f4;padding:0 2px}\n"
    "a.back{font-size:12px}\n"
    "@media print{body{margin:0}section.stock{break-before:page;page-break-before:always;"
    "border-top:none;margin:0}a.back{display:none}div.chart svg{border:none;width:100%}"
    "tr,td,th{break-inside:avoid}}\n";

// What the table of all stocks needs of one stock (first pass).
struct ReportRow {
  int stops;
  int rows;
  unsigned firstDate, lastDate;
  int flags;
  int findings;
  int losses;
};
ReportRow Rows[kMaxReportStocks];
StockCheck Check;
ChartLayout Layout;

int CountLosses(const StockCheck* check) {
  int losses = 0;
  for (int i = 0; i < check->findingCount; ++i)
    if (CheckFindingLoses(&check->findings[i])) ++losses;
  return losses;
}

void Cell(TextSink* out, const char* cp932, const char* cls) {
  if (cls != NULL)
    SinkPrintf(out, "<td class=\"%s\">", cls);
  else
    SinkPut(out, "<td>");
  SinkText(out, cp932);
  SinkPut(out, "</td>");
}

// A path as the conversion forms it ("<folder>\<name>.csv", the name as
// the host spells it), as the host names the file.
void PathText(TextSink* out, const char* path) {
  char host[kPathSize * 2];
  snprintf(host, sizeof host, "%s", path);
  SinkHostText(out, host);
}

// One of the stock's two files; a stock whose name cannot be a file name
// has none, and its name stands there.
void StockFileText(TextSink* out, const StockCheck* check, int file) {
  const char* path = file == kCheckCsvFile ? check->csvPath : check->settingsPath;
  if (path[0] == '\0')
    SinkText(out, check->name);
  else
    PathText(out, path);
}

const char* FlagsText(int flags, char* out) {
  out[0] = '\0';
  if (flags & kFlagOnlyClose) strcat(out, "１本値 ");
  if (flags & kFlagWebScrap) strcat(out, "Webスクラップ ");
  if (flags & kFlagFixedScale) strcat(out, "固定スケール ");
  size_t n = strlen(out);
  if (n == 0) return "-";
  out[n - 1] = '\0';
  return out;
}

const char* PeriodText(int rows, unsigned first, unsigned last, char* out, int size) {
  if (rows == 0) return "-";
  char a[32], b[32];
  snprintf(out, (size_t)size, "%s ～ %s", FormatPackedDate(a, sizeof a, first),
           FormatPackedDate(b, sizeof b, last));
  return out;
}

void WriteHeading(const ReportSource* source, StockList list, int count, int firstStop,
                  TextSink* out) {
  char line[320];
  SinkPut(out,
          "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"ja\" "
          "xml:lang=\"ja\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>");
  SinkText(out, "Ryvo 銘柄レポート");
  SinkPut(out, "</title>\n<style>\n");
  SinkPut(out, kStyle);
  SinkPut(out, "</style>\n</head>\n<body>\n<h1 id=\"top\">");
  SinkText(out, "Ryvo 銘柄レポート");
  SinkPut(out, "</h1>\n<p class=\"where\">");
  SinkText(out, "作業フォルダ ");
  SinkPut(out, "<code>");
  PathText(out, source->workFolder);
  SinkPut(out, "</code>");
  SinkText(out, "・CSV フォルダ ");
  SinkPut(out, "<code>");
  PathText(out, source->csvFolder);
  SinkPut(out, "</code>");
  snprintf(line, sizeof line, "・%d 銘柄・レコード長 %d バイト", count, (int)source->recordLength);
  SinkText(out, line);
  if (source->recordLength < kFullDataRecLength) {
    snprintf(line, sizeof line, "（%d 行まで）",
             source->recordLength < kPriceTableOffset
                 ? 0
                 : (int)((source->recordLength - kPriceTableOffset) / kPriceRowSize));
    SinkText(out, line);
  }
  SinkPut(out, "</p>\n");
  if (firstStop >= 0) {
    char name[81];
    PfListGetText(list, firstStop, name, sizeof name);
    snprintf(line, sizeof line, "変換は %d 番目の銘柄「%s」で止まり、それより後の銘柄も Palm に届きません。",
             firstStop + 1, name);
    SinkPut(out, "<p class=\"stop\">");
    SinkText(out, line);
    SinkPut(out, "</p>\n");
  }
}

void WriteSummary(StockList list, int count, int firstStop, TextSink* out) {
  static const char* const kHeads[] = {"#", "銘柄名", "行数", "期間", "フラグ", "指摘", "変換"};
  SinkPut(out, "<table class=\"summary\">\n<thead><tr>");
  for (const char* head : kHeads) {
    SinkPut(out, "<th>");
    SinkText(out, head);
    SinkPut(out, "</th>");
  }
  SinkPut(out, "</tr></thead>\n<tbody>\n");
  for (int i = 0; i < count; ++i) {
    const ReportRow& r = Rows[i];
    char name[81], text[160];
    PfListGetText(list, i, name, sizeof name);
    SinkPrintf(out, "<tr%s><td class=\"number\">%d</td><td><a href=\"#stock-%d\">",
               r.stops ? " class=\"stops\"" : "", i + 1, i + 1);
    SinkText(out, name);
    SinkPut(out, "</a></td>");
    SinkPrintf(out, "<td class=\"number\">%d</td>", r.rows);
    Cell(out, PeriodText(r.rows, r.firstDate, r.lastDate, text, sizeof text), NULL);
    Cell(out, FlagsText(r.stops ? 0 : r.flags, text), NULL);
    if (r.losses > 0)
      SinkPrintf(out, "<td class=\"number loss\">%d</td>", r.findings);
    else
      SinkPrintf(out, "<td class=\"number\">%d</td>", r.findings);
    if (r.stops)
      Cell(out, "停止", "stop");
    else
      Cell(out, firstStop >= 0 && i > firstStop ? "届かない（前の銘柄で停止）" : "可", NULL);
    SinkPut(out, "</tr>\n");
  }
  SinkPut(out, "</tbody>\n</table>\n");
}

// One row of the settings table: the line of the settings file, the label
// of the settings dialog, the value as the DataRec holds it.
void SettingRow(TextSink* out, int line, const char* label, const char* value) {
  SinkPrintf(out, "<tr><td class=\"number\">%d</td>", line);
  Cell(out, label, NULL);
  Cell(out, value, "text");
  SinkPut(out, "</tr>\n");
}

void WriteSettings(const unsigned char* rec, TextSink* out) {
  static const char* const kPrices[5] = {"始値", "高値", "安値", "終値", "売買高"};
  char text[kWebDocumentSize + 1], value[160];
  SinkPut(out, "<table class=\"settings\">\n<caption>");
  SinkText(out, "設定（変換後の値）");
  SinkPut(out, "</caption>\n<thead><tr>");
  SinkPut(out, "<th>");
  SinkText(out, "ファイル行");
  SinkPut(out, "</th><th>");
  SinkText(out, "項目");
  SinkPut(out, "</th><th>");
  SinkText(out, "値");
  SinkPut(out, "</th></tr></thead>\n<tbody>\n");
  int flags = rec[kDataFlags];
  ReadTextField(rec + kDataStockName, kStockNameSize, text);
  SettingRow(out, 1, "銘柄名", text);
  SettingRow(out, 2, "１本値", flags & kFlagOnlyClose ? "オン" : "オフ");
  SettingRow(out, 3, "Webスクラップ", flags & kFlagWebScrap ? "オン" : "オフ");
  SettingRow(out, 4, "固定スケール", flags & kFlagFixedScale ? "オン" : "オフ");
  snprintf(value, sizeof value, "%d", (int)ReadBE32(rec + kDataPurchaseCount));
  SettingRow(out, 7, "購買数", value);
  ReadTextField(rec + kDataWebDocument, kWebDocumentSize, text);
  SettingRow(out, 5, "ドキュメント", text);
  ReadTextField(rec + kDataKeyword, kKeywordSize, text);
  SettingRow(out, 6, "キーワード", text);
  for (int k = 0; k < 5; ++k) {
    char label[64];
    snprintf(label, sizeof label, "Webページ取得設定 %s", kPrices[k]);
    snprintf(value, sizeof value, "行 %d・タグ %d", ReadBE16(rec + kDataWebFetch + 4 * k),
             ReadBE16(rec + kDataWebFetch + 4 * k + 2));
    SettingRow(out, 8 + k, label, value);
  }
  snprintf(value, sizeof value, "Max %d・Min %d", (int)ReadBE32(rec + kDataPriceScaleMax),
           (int)ReadBE32(rec + kDataPriceScaleMin));
  SettingRow(out, 13, "固定スケール設定 株価", value);
  snprintf(value, sizeof value, "Max %d・Min %d", (int)ReadBE32(rec + kDataVolumeScaleMax),
           (int)ReadBE32(rec + kDataVolumeScaleMin));
  SettingRow(out, 14, "固定スケール設定 売買高", value);
  SinkPut(out, "</tbody>\n</table>\n");
}

void WriteFindings(const StockCheck* check, TextSink* out) {
  static const char* const kColumns[5] = {"始値", "高値", "安値", "終値", "売買高"};
  char text[96];
  SinkPut(out, "<table class=\"findings\">\n<caption>");
  snprintf(text, sizeof text, "指摘 %d 件", check->findingCount + check->findingsLeftOut);
  SinkText(out, text);
  SinkPut(out, "</caption>\n");
  if (check->findingCount == 0) {
    SinkPut(out, "<tbody><tr><td>");
    SinkText(out, "なし: ファイルのとおりに変換されます。");
    SinkPut(out, "</td></tr></tbody>\n</table>\n");
    return;
  }
  static const char* const kHeads[] = {"種類", "ファイル", "行", "内容"};
  SinkPut(out, "<thead><tr>");
  for (const char* head : kHeads) {
    SinkPut(out, "<th>");
    SinkText(out, head);
    SinkPut(out, "</th>");
  }
  SinkPut(out, "</tr></thead>\n<tbody>\n");
  for (int i = 0; i < check->findingCount; ++i) {
    const CheckFinding& f = check->findings[i];
    SinkPrintf(out, "<tr%s>", CheckFindingLoses(&f) ? "" : " class=\"info\"");
    SinkPut(out, "<td class=\"kind\"><code>");
    SinkText(out, CheckKindName(f.kind));
    SinkPut(out, "</code></td>");
    SinkPut(out, "<td class=\"file\">");
    StockFileText(out, check, f.file);
    SinkPut(out, "</td>");
    if (f.line <= 0)
      snprintf(text, sizeof text, "-");
    else if (f.column >= 0 && f.column < 5)
      snprintf(text, sizeof text, "%d（%s）", f.line, kColumns[f.column]);
    else
      snprintf(text, sizeof text, "%d", f.line);
    Cell(out, text, "number");
    SinkPut(out, "<td class=\"text\">");
    if (f.text[0] != '\0') {
      SinkPut(out, "<code>");
      SinkText(out, f.text);
      SinkPut(out, "</code> ");
    }
    SinkText(out, f.message);
    SinkPut(out, "</td></tr>\n");
  }
  if (check->findingsLeftOut > 0) {
    snprintf(text, sizeof text, "ほか %d 件", check->findingsLeftOut);
    SinkPut(out, "<tr><td colspan=\"4\">");
    SinkText(out, text);
    SinkPut(out, "</td></tr>\n");
  }
  SinkPut(out, "</tbody>\n</table>\n");
}

}  // namespace

void WriteStockSection(int index, const unsigned char* rec, int32_t length,
                       const StockCheck* check, TextSink* out) {
  char text[160];
  SinkPrintf(out, "<section class=\"stock\" id=\"stock-%d\">\n<h2>%d. ", index + 1, index + 1);
  SinkText(out, check->name);
  SinkPut(out, "</h2>\n<p class=\"where\">");
  SinkText(out, "設定ファイル ");
  SinkPut(out, "<code>");
  StockFileText(out, check, kCheckSettingsFile);
  SinkPut(out, "</code>");
  SinkText(out, "・価格 CSV ファイル ");
  SinkPut(out, "<code>");
  StockFileText(out, check, kCheckCsvFile);
  SinkPut(out, "</code></p>\n");
  if (rec == NULL) {
    SinkPut(out, "<p class=\"stop\">");
    SinkText(out, "変換はこの銘柄で止まります。この銘柄も、一覧でこれより後の銘柄も Palm に届きません。");
    SinkPut(out, "</p>\n");
    // A chart frame all the same, with the name and what happens.
    static unsigned char empty[kPriceTableOffset];
    memset(empty, 0, sizeof empty);
    memcpy(empty + kDataStockName, check->name, strnlen(check->name, kStockNameSize));
    LayoutChart(empty, sizeof empty, &Layout);
    SinkPut(out, "<div class=\"chart\">\n");
    DrawChartSvg(&Layout, out, "変換が止まるため、価格データは書き込まれません");
    SinkPut(out, "</div>\n<div class=\"tables\">\n");
  } else {
    LayoutChart(rec, length, &Layout);
    SinkPut(out, "<div class=\"chart\">\n");
    DrawChartSvg(&Layout, out, NULL);
    SinkPut(out, "</div>\n<div class=\"tables\">\n");
    WriteSettings(rec, out);
  }
  WriteFindings(check, out);
  SinkPut(out, "</div>\n<p><a class=\"back\" href=\"#top\">");
  snprintf(text, sizeof text, "↑ 一覧へ");
  SinkText(out, text);
  SinkPut(out, "</a></p>\n</section>\n");
}

int WriteStockReport(StockList list, const ReportSource* source, TextSink* out) {
  int count = PfListCount(list);
  if (count > kMaxReportStocks) return -1;
  int firstStop = -1;
  char name[81];
  for (int i = 0; i < count; ++i) {
    PfListGetText(list, i, name, sizeof name);
    ReportRow& r = Rows[i];
    r.stops = source->readStock(name, source->recordLength, &Check) != 0;
    r.rows = r.stops ? 0 : Check.rows;
    r.firstDate = Check.firstDate;
    r.lastDate = Check.lastDate;
    r.flags = Check.flags;
    r.findings = Check.findingCount + Check.findingsLeftOut;
    r.losses = CountLosses(&Check) + Check.findingsLeftOut;
    if (r.stops && firstStop < 0) firstStop = i;
  }
  WriteHeading(source, list, count, firstStop, out);
  if (count == 0) {
    SinkPut(out, "<p>");
    SinkText(out, "銘柄がありません。");
    SinkPut(out, "</p>\n");
  } else {
    WriteSummary(list, count, firstStop, out);
  }
  for (int i = 0; i < count && !out->full; ++i) {
    PfListGetText(list, i, name, sizeof name);
    int stops = source->readStock(name, source->recordLength, &Check) != 0;
    WriteStockSection(i, stops ? NULL : RecordBuffer, source->recordLength, &Check, out);
  }
  SinkPut(out, "</body>\n</html>\n");
  return out->full ? -1 : 0;
}
