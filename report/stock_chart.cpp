// The chart of one stock: its layout from the DataRec, then its SVG text.
#include "stock_chart.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

namespace {

const char kFontFamily[] =
    "IPAPGothic, IPAGothic, 'Noto Sans CJK JP', 'MS Gothic', 'Hiragino Sans', sans-serif";
const char kRisingFill[] = "#e0523e";
const char kRisingStroke[] = "#a32a1c";
const char kFallingFill[] = "#2f64c8";
const char kFallingStroke[] = "#1d3f80";
const char kClipColour[] = "#f08c00";

double Clamp(double y, double top, double bottom) {
  return y < top ? top : y > bottom ? bottom : y;
}

int DecimalsOf(double step) { return step >= 1 ? 0 : step >= 0.1 ? 1 : 2; }

// The automatic axis: round ticks around [lo, hi].
void RoundAxis(double lo, double hi, int ticks, double* min, double* max, double* step) {
  if (hi < lo) hi = lo;
  *step = RoundStep((hi - lo) / ticks);
  *min = floor(lo / *step) * *step;
  *max = ceil(hi / *step) * *step;
  if (*max <= *min) *max = *min + *step;
}

void LayoutScales(ChartLayout* c) {
  int fixed = (c->flags & kFlagFixedScale) != 0;
  c->priceFixed = fixed && c->scale[0] > c->scale[1];
  c->volumeFixed = fixed && c->scale[2] > c->scale[3];
  c->scaleRefused = fixed && (!c->priceFixed || !c->volumeFixed);

  double lo = 0, hi = 0, volumeHigh = 0;
  for (int j = 0; j < c->rows; ++j) {
    const ChartDay& d = c->days[j];
    double dayLow = c->onlyClose ? d.value[3] : d.value[2];
    double dayHigh = c->onlyClose ? d.value[3] : d.value[1];
    if (j == 0 || dayLow < lo) lo = dayLow;
    if (j == 0 || dayHigh > hi) hi = dayHigh;
    if (d.value[4] > volumeHigh) volumeHigh = d.value[4];
  }
  if (c->priceFixed) {
    c->priceMin = c->scale[1];
    c->priceMax = c->scale[0];
    c->priceStep = RoundStep((c->priceMax - c->priceMin) / 5);
  } else {
    RoundAxis(lo, hi, 5, &c->priceMin, &c->priceMax, &c->priceStep);
  }
  c->priceDecimals = DecimalsOf(c->priceStep);
  if (c->volumeFixed) {
    c->volumeMin = c->scale[3];
    c->volumeMax = c->scale[2];
  } else {
    double step;
    RoundAxis(0, volumeHigh, 4, &c->volumeMin, &c->volumeMax, &step);
  }
}

void PlaceDays(ChartLayout* c) {
  int slots = c->rows > kMinChartSlots ? c->rows : kMinChartSlots;
  c->slotWidth = (double)(kPlotRight - kPlotLeft) / slots;
  c->bodyWidth = c->slotWidth * 0.6 < 1 ? 1 : c->slotWidth * 0.6;
  c->daysPriceOutside = 0;
  c->daysVolumeOutside = 0;
  for (int j = 0; j < c->rows; ++j) {
    ChartDay& d = c->days[j];
    d.x = kPlotLeft + (j + 0.5) * c->slotWidth;
    double* y[4] = {&d.yOpen, &d.yHigh, &d.yLow, &d.yClose};
    d.outside = 0;
    for (int k = 0; k < 4; ++k) {
      *y[k] = Clamp(ChartPriceY(c, d.value[k]), kPriceTop, kPriceBottom);
      if (!c->priceFixed || (c->onlyClose && k != 3)) continue;
      if (d.value[k] > c->priceMax) d.outside |= kOutsideAbove;
      if (d.value[k] < c->priceMin) d.outside |= kOutsideBelow;
    }
    d.yVolume = Clamp(ChartVolumeY(c, d.value[4]), kVolumeTop, kVolumeBottom);
    if (c->volumeFixed && d.value[4] > c->volumeMax) d.outside |= kVolumeAbove;
    if (c->volumeFixed && d.value[4] < c->volumeMin) d.outside |= kVolumeBelow;
    d.rising = d.value[3] >= d.value[0];
    if (d.outside & (kOutsideAbove | kOutsideBelow)) ++c->daysPriceOutside;
    if (d.outside & (kVolumeAbove | kVolumeBelow)) ++c->daysVolumeOutside;
  }
}

// ---- drawing ----

void Text(TextSink* out, double x, double y, const char* anchor, const char* attributes,
          const char* cp932) {
  SinkPrintf(out, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"%s\"%s>", x, y, anchor, attributes);
  SinkText(out, cp932);
  SinkPut(out, "</text>\n");
}

void DrawTitle(const ChartLayout* c, TextSink* out) {
  char line[512], a[48], b[48], v[48];
  Text(out, kPlotLeft, 28, "start", " font-size=\"20\" font-weight=\"bold\" class=\"title\"",
       c->name);
  if (c->rows > 0) {
    const ChartDay& last = c->days[c->rows - 1];
    snprintf(line, sizeof line, "%s ～ %s・%d日・終値 %s",
             FormatPackedDate(a, sizeof a, c->days[0].date),
             FormatPackedDate(b, sizeof b, last.date), c->rows,
             FormatPackedText(last.field[3], v, sizeof v));
  } else {
    snprintf(line, sizeof line, "0日");
  }
  if (c->onlyClose) strcat(line, "・１本値");
  if (c->priceFixed || c->volumeFixed) strcat(line, "・固定スケール");
  if (c->priceFixed) {
    snprintf(line + strlen(line), sizeof line - strlen(line), " 株価 %s～%s",
             FormatGrouped(c->scale[1], a, sizeof a), FormatGrouped(c->scale[0], b, sizeof b));
  }
  if (c->volumeFixed) {
    snprintf(line + strlen(line), sizeof line - strlen(line), " 売買高 %s～%s",
             FormatGrouped(c->scale[3], a, sizeof a), FormatGrouped(c->scale[2], b, sizeof b));
  }
  Text(out, kPlotLeft, 50, "start", " font-size=\"13\" class=\"subtitle\"", line);

  // What lies outside the fixed scale, in the clip marks' colour.
  line[0] = '\0';
  if (c->scaleRefused)
    strcat(line, "固定スケールの Max が Min 以下: 自動スケールで表示");
  if (c->daysPriceOutside > 0)
    snprintf(line + strlen(line), sizeof line - strlen(line), "%s株価スケール外 %d日",
             line[0] != '\0' ? "・" : "", c->daysPriceOutside);
  if (c->daysVolumeOutside > 0)
    snprintf(line + strlen(line), sizeof line - strlen(line), "%s売買高スケール外 %d日",
             line[0] != '\0' ? "・" : "", c->daysVolumeOutside);
  if (line[0] != '\0') {
    char attributes[96];
    snprintf(attributes, sizeof attributes,
             " font-size=\"13\" font-weight=\"bold\" fill=\"%s\" class=\"outside\"", kClipColour);
    Text(out, kPlotRight, 28, "end", attributes, line);
  }
}

// An empty table has no prices to scale: its axes carry no ticks unless
// the settings fix them.
void DrawPriceAxis(const ChartLayout* c, TextSink* out) {
  if (c->rows == 0 && !c->priceFixed) return;
  SinkPut(out, "<g class=\"price-axis\" font-size=\"11\" fill=\"#444\">\n");
  double first = ceil(c->priceMin / c->priceStep - 1e-9) * c->priceStep;
  for (int i = 0; i < 100; ++i) {
    double tick = first + i * c->priceStep;
    if (tick > c->priceMax + c->priceStep * 1e-9) break;
    double y = ChartPriceY(c, tick);
    char label[48];
    SinkPrintf(out, "<line x1=\"%d\" y1=\"%.1f\" x2=\"%d\" y2=\"%.1f\" stroke=\"#e3e3e3\"/>",
               kPlotLeft, y, kPlotRight, y);
    Text(out, kPlotLeft - 6, y + 4, "end", "",
         FormatDecimal(tick, c->priceDecimals, label, sizeof label));
  }
  SinkPut(out, "</g>\n");
}

void DrawVolumeAxis(const ChartLayout* c, TextSink* out) {
  char label[48];
  SinkPut(out, "<g class=\"volume-axis\" font-size=\"11\" fill=\"#444\">\n");
  SinkPrintf(out, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"#e3e3e3\"/>",
             kPlotLeft, kVolumeTop, kPlotRight, kVolumeTop);
  if (c->rows > 0 || c->volumeFixed) {
    Text(out, kPlotLeft - 6, kVolumeTop + 10, "end", "",
         FormatVolumeText(c->volumeMax, label, sizeof label));
    Text(out, kPlotLeft - 6, kVolumeBottom, "end", "",
         FormatVolumeText(c->volumeMin, label, sizeof label));
  }
  Text(out, kPlotLeft + 4, kVolumeTop + 12, "start", " fill=\"#777\"", "売買高");
  SinkPut(out, "</g>\n");
}

void DrawDateAxis(const ChartLayout* c, TextSink* out) {
  SinkPut(out, "<g class=\"date-axis\" font-size=\"11\" fill=\"#444\">\n");
  double lastMonthLabel = -1e9, lastYearLabel = -1e9;
  int previousYear = 0, previousMonth = 0;
  for (int j = 0; j < c->rows; ++j) {
    int year, month, day;
    DecodePackedDate(c->days[j].date, &year, &month, &day);
    if (j > 0 && year == previousYear && month == previousMonth) continue;
    double x = kPlotLeft + j * c->slotWidth;
    SinkPrintf(out,
               "<line class=\"month\" x1=\"%.1f\" y1=\"%d\" x2=\"%.1f\" y2=\"%d\" "
               "stroke=\"#eeeeee\"/><line x1=\"%.1f\" y1=\"%d\" x2=\"%.1f\" y2=\"%d\" "
               "stroke=\"#555\"/>\n",
               x, kPriceTop, x, kVolumeBottom, x, kVolumeBottom, x, kVolumeBottom + 6);
    // A label that would run past the plot's right end ends there.
    char label[32];
    if (x - lastMonthLabel >= 28) {
      snprintf(label, sizeof label, "%d月", month);
      int atEnd = x > kPlotRight - 24;
      Text(out, atEnd ? (double)kPlotRight : x + 2, kVolumeBottom + 18, atEnd ? "end" : "start", "",
           label);
      lastMonthLabel = x;
    }
    if (year != previousYear && x - lastYearLabel >= 44) {
      snprintf(label, sizeof label, "%d", year);
      int atEnd = x > kPlotRight - 36;
      Text(out, atEnd ? (double)kPlotRight : x + 2, kVolumeBottom + 34, atEnd ? "end" : "start",
           " font-weight=\"bold\" class=\"year\"", label);
      lastYearLabel = x;
    }
    previousYear = year;
    previousMonth = month;
  }
  SinkPut(out, "</g>\n");
}

// The hover text of one day: date and the five values.
void DayTitle(const ChartDay& d, TextSink* out) {
  static const char* const kNames[5] = {"始値", "高値", "安値", "終値", "売買高"};
  char text[256], value[48];
  FormatPackedDate(text, sizeof text, d.date);
  for (int k = 0; k < 5; ++k)
    snprintf(text + strlen(text), sizeof text - strlen(text), " %s %s", kNames[k],
             FormatPackedText(d.field[k], value, sizeof value));
  if (d.outside != 0) strcat(text, "（スケール外）");
  SinkPut(out, "<title>");
  SinkText(out, text);
  SinkPut(out, "</title>");
}

// A small triangle at the plot's edge where a price was clipped.
void ClipMark(TextSink* out, double x, int edge, int up) {
  int tip = up ? edge - 7 : edge + 7;
  SinkPrintf(out,
             "<path class=\"clip\" d=\"M%.1f %dL%.1f %dL%.1f %dZ\" fill=\"%s\"/>", x - 4.0, edge,
             x, tip, x + 4.0, edge, kClipColour);
}

void DrawCandles(const ChartLayout* c, TextSink* out) {
  SinkPut(out, "<g class=\"candles\" stroke-width=\"1\">\n");
  for (int j = 0; j < c->rows; ++j) {
    const ChartDay& d = c->days[j];
    SinkPrintf(out, "<g class=\"candle %s\" fill=\"%s\" stroke=\"%s\">",
               d.rising ? "up" : "down", d.rising ? kRisingFill : kFallingFill,
               d.rising ? kRisingStroke : kFallingStroke);
    DayTitle(d, out);
    double top = d.yOpen < d.yClose ? d.yOpen : d.yClose;
    double height = fabs(d.yOpen - d.yClose);
    if (height < 1) height = 1;
    SinkPrintf(out,
               "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>"
               "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/></g>\n",
               d.x, d.yHigh, d.x, d.yLow, d.x - c->bodyWidth / 2, top, c->bodyWidth, height);
  }
  SinkPut(out, "</g>\n");
}

void DrawCloseLine(const ChartLayout* c, TextSink* out) {
  if (c->rows == 0) return;
  SinkPrintf(out, "<polyline class=\"close\" fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\" "
                  "stroke-linejoin=\"round\" points=\"", kFallingFill);
  for (int j = 0; j < c->rows; ++j)
    SinkPrintf(out, "%s%.1f,%.1f", j > 0 ? " " : "", c->days[j].x, c->days[j].yClose);
  SinkPut(out, "\"/>\n");
  // One point per day, for its hover text.
  SinkPut(out, "<g class=\"closes\" fill=\"transparent\">\n");
  for (int j = 0; j < c->rows; ++j) {
    const ChartDay& d = c->days[j];
    SinkPrintf(out, "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\">", d.x, d.yClose,
               c->slotWidth / 2 < 2 ? 2.0 : c->slotWidth / 2);
    DayTitle(d, out);
    SinkPut(out, "</circle>\n");
  }
  SinkPut(out, "</g>\n");
}

void DrawVolumes(const ChartLayout* c, TextSink* out) {
  SinkPut(out, "<g class=\"volumes\" fill=\"#9aabbf\">\n");
  for (int j = 0; j < c->rows; ++j) {
    const ChartDay& d = c->days[j];
    SinkPrintf(out, "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/>\n",
               d.x - c->bodyWidth / 2, d.yVolume, c->bodyWidth, kVolumeBottom - d.yVolume);
  }
  SinkPut(out, "</g>\n");
}

void DrawClipMarks(const ChartLayout* c, TextSink* out) {
  if (c->daysPriceOutside == 0 && c->daysVolumeOutside == 0) return;
  SinkPut(out, "<g class=\"clips\">\n");
  for (int j = 0; j < c->rows; ++j) {
    const ChartDay& d = c->days[j];
    if (d.outside & kOutsideAbove) ClipMark(out, d.x, kPriceTop, 1);
    if (d.outside & kOutsideBelow) ClipMark(out, d.x, kPriceBottom, 0);
    if (d.outside & kVolumeAbove) ClipMark(out, d.x, kVolumeTop, 1);
    if (d.outside & kVolumeBelow) ClipMark(out, d.x, kVolumeBottom, 0);
    if (d.outside != 0) SinkPut(out, "\n");
  }
  SinkPut(out, "</g>\n");
}

}  // namespace

double RoundStep(double raw) {
  if (!(raw > 0.01)) return 0.01;
  double power = pow(10.0, floor(log10(raw)));
  double f = raw / power;
  double step = (f <= 1.0 + 1e-9 ? 1 : f <= 2.0 + 1e-9 ? 2 : f <= 5.0 + 1e-9 ? 5 : 10) * power;
  return step < 0.01 ? 0.01 : step;
}

double ChartPriceY(const ChartLayout* c, double price) {
  return kPriceBottom - (price - c->priceMin) / (c->priceMax - c->priceMin) *
                            (kPriceBottom - kPriceTop);
}

double ChartVolumeY(const ChartLayout* c, double volume) {
  return kVolumeBottom - (volume - c->volumeMin) / (c->volumeMax - c->volumeMin) *
                             (kVolumeBottom - kVolumeTop);
}

void LayoutChart(const unsigned char* rec, int32_t length, ChartLayout* c) {
  memset(c, 0, sizeof *c);
  ReadTextField(rec + kDataStockName, kStockNameSize, c->name);
  c->flags = rec[kDataFlags];
  c->onlyClose = (c->flags & kFlagOnlyClose) != 0;
  for (int k = 0; k < 4; ++k) c->scale[k] = ReadBE32(rec + kDataPriceScaleMax + 4 * k);
  c->rows = CountPriceRows(rec, length);
  for (int j = 0; j < c->rows; ++j) {
    PriceRow row;
    ReadPriceRow(rec + kPriceTableOffset + kPriceRowSize * j, &row);
    ChartDay& d = c->days[j];
    d.date = row.date;
    for (int k = 0; k < 5; ++k) {
      d.field[k] = row.value[k];
      d.value[k] = DecodePackedValue(row.value[k]);
    }
  }
  LayoutScales(c);
  PlaceDays(c);
}

void DrawChartSvg(const ChartLayout* c, TextSink* out, const char* note) {
  SinkPrintf(out,
             "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\" viewBox=\"0 0 %d %d\" "
             "width=\"%d\" height=\"%d\" font-family=\"%s\" role=\"img\">\n",
             kChartWidth, kChartHeight, kChartWidth, kChartHeight, kFontFamily);
  SinkPut(out, "<title>");
  SinkText(out, c->name);
  SinkPut(out, "</title>\n");
  SinkPrintf(out, "<rect width=\"%d\" height=\"%d\" fill=\"#ffffff\"/>\n", kChartWidth,
             kChartHeight);
  DrawTitle(c, out);
  DrawPriceAxis(c, out);
  DrawVolumeAxis(c, out);
  DrawDateAxis(c, out);
  SinkPrintf(out,
             "<rect class=\"frame\" x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"none\" "
             "stroke=\"#888\"/>\n<rect class=\"frame\" x=\"%d\" y=\"%d\" width=\"%d\" "
             "height=\"%d\" fill=\"none\" stroke=\"#888\"/>\n",
             kPlotLeft, kPriceTop, kPlotRight - kPlotLeft, kPriceBottom - kPriceTop, kPlotLeft,
             kVolumeTop, kPlotRight - kPlotLeft, kVolumeBottom - kVolumeTop);
  if (c->rows == 0 || note != NULL) {
    Text(out, (kPlotLeft + kPlotRight) / 2.0, (kPriceTop + kPriceBottom) / 2.0, "middle",
         " font-size=\"18\" fill=\"#777\" class=\"empty\"",
         note != NULL ? note : "価格データなし");
  }
  DrawVolumes(c, out);
  if (c->onlyClose)
    DrawCloseLine(c, out);
  else
    DrawCandles(c, out);
  DrawClipMarks(c, out);
  SinkPut(out, "</svg>\n");
}
