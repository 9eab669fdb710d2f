// The chart of one stock's price table as the handheld will draw it, as
// SVG text: daily candles (or a line of the closing prices for a stock with
// OnlyClose), volume bars in a band below, a date axis with month ticks and
// year labels, a price axis with round ticks, and with FixedScale the axes
// of the stock's own Max and Min settings, prices beyond them clipped at
// the edge and marked. Works on a DataRec as bytes: the record of a dump,
// or the one the conversion would write.
#pragma once

#include <stdint.h>

#include "dump_format.h"
#include "report_text.h"

// The picture's frame, in SVG user units (viewBox 0 0 width height).
enum {
  kChartWidth = 1040,
  kChartHeight = 456,
  kPlotLeft = 84,
  kPlotRight = 1024,
  kPriceTop = 64,
  kPriceBottom = 324,
  kVolumeTop = 340,
  kVolumeBottom = 410,
  kMinChartSlots = 20,   // a short table still draws slim candles
};

// Where a day lies outside a fixed scale (ChartDay.outside).
enum {
  kOutsideAbove = 1, kOutsideBelow = 2,                 // a price
  kVolumeAbove = 4, kVolumeBelow = 8,                   // the volume
};

struct ChartDay {
  unsigned date;                  // packed
  uint32_t field[5];              // packed open, high, low, close, volume
  double value[5];                // decoded
  double x;                       // centre of the day's slot
  double yOpen, yHigh, yLow, yClose;   // inside the price plot (clipped)
  double yVolume;                 // top of the volume bar (clipped)
  int rising;                     // close >= open
  int outside;                    // kOutside... bits
};

struct ChartLayout {
  char name[kStockNameSize + 1];  // code page 932
  int flags;
  int rows;
  int onlyClose;
  int priceFixed, volumeFixed;    // the axis runs from the stock's settings
  int scaleRefused;               // FixedScale set but a Max not above its Min
  int32_t scale[4];               // priceScaleMax, Min, volumeScaleMax, Min
  double priceMin, priceMax, priceStep;
  int priceDecimals;              // of the tick labels
  double volumeMin, volumeMax;
  double slotWidth, bodyWidth;
  int daysPriceOutside, daysVolumeOutside;
  ChartDay days[kMaxPriceRows];
};

// Lays out the chart of the DataRec `rec` of `length` bytes: the rows that
// CountPriceRows counts, oldest on the left.
void LayoutChart(const unsigned char* rec, int32_t length, ChartLayout* layout);

// y of a price or a volume on the chart's axes, not clipped.
double ChartPriceY(const ChartLayout* layout, double price);
double ChartVolumeY(const ChartLayout* layout, double volume);

// A round step near `raw` (1, 2 or 5 times a power of ten, at least 0.01).
double RoundStep(double raw);

// Writes the <svg> element of the chart (UTF-8, escaped; no XML
// declaration, so that it can stand inside an HTML page as well).
// `note`, when not NULL, is a code page 932 line drawn across an empty
// plot instead of "価格データなし".
void DrawChartSvg(const ChartLayout* layout, TextSink* out, const char* note);
