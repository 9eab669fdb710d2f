// The report page of every stock: one self-contained HTML page (styles
// inline, charts as inline SVG, no script, font or picture fetched from
// anywhere), well-formed as XML, that shows per stock what the conversion
// will send to the handheld: a table of all stocks linked to one section
// per stock with its chart, its fourteen settings under the labels of the
// settings dialog, and the findings of the check with file and line.
// Prints one stock per page.
#pragma once

#include <stdint.h>

#include "../platform/platform.h"
#include "report_text.h"
#include "stock_check.h"

// Reads one stock as the conversion would: fills `check` and leaves the
// DataRec in RecordBuffer; 0, or -1 when the conversion stops at this
// stock. CheckStock in the program; the tests give their own.
typedef int (*ReadStockFunction)(const char* name, int32_t recordLength, StockCheck* check);

struct ReportSource {
  const char* workFolder;   // shown in the page's heading (as the host spells it)
  const char* csvFolder;
  int32_t recordLength;     // the record template length of the conversion
  ReadStockFunction readStock;
};

enum { kMaxReportStocks = 8192 };

// Writes the page for the stocks of `list`, in list order, into `out`.
// 0, or -1 when the page does not fit `out` or the list holds more than
// kMaxReportStocks stocks (nothing is reported: the caller says it).
int WriteStockReport(StockList list, const ReportSource* source, TextSink* out);

// The section of one stock whose DataRec (`length` bytes) is at `rec`
// (NULL when the conversion stops at it), as WriteStockReport writes it.
void WriteStockSection(int index, const unsigned char* rec, int32_t length,
                       const StockCheck* check, TextSink* out);
