// The embedded sample dump and generated dumps of any size: made with the
// dump-format code, deterministic, for the demo, the ryvo tool, the tests
// and the benchmark.
#pragma once

// Writes the sample Ryvo.dmp to `path`, whole in place of any file there
// (WriteWholeFile): six Japanese stocks with 260 weekdays of prices each.
// 0, or -1 when the file could not be written (no message).
int WriteSampleDump(const char* path);

// Writes a dump of `stocks` stocks named by four-digit codes from 1001 on,
// each with `rows` (at most 260) weekdays of prices, in DataRecs of 4412
// bytes. 0 or -1 as above.
int WriteSyntheticDump(const char* path, int stocks, int rows);

// The number of stocks in the sample and the name of stock `index`
// (code page 932).
int SampleStockCount(void);
const char* SampleStockName(int index);
