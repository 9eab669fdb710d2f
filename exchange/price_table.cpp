// The price table of a DataRec: the slots read from a price CSV file put
// in date order and packed into the 15-byte rows of the record in
// RecordBuffer.

#include "exchange.h"
#include "price_table.h"

int CompareRowDates(const PriceSlot* a, const PriceSlot* b) {
  if (a->date < b->date) return -1;
  if (a->date > b->date) return 1;
  return 0;
}

// Heap sort of the slots by date: in place, no allocation, not stable.
static void SiftDown(PriceSlot* slots, int start, int count) {
  int root = start;
  for (;;) {
    int child = root * 2 + 1;
    if (child >= count) return;
    if (child + 1 < count && CompareRowDates(&slots[child], &slots[child + 1]) < 0)
      ++child;
    if (CompareRowDates(&slots[root], &slots[child]) >= 0) return;
    PriceSlot t = slots[root];
    slots[root] = slots[child];
    slots[child] = t;
    root = child;
  }
}

static void SortSlots(PriceSlot* slots, int count) {
  int sorted = 1;
  for (int i = 1; i < count && sorted; ++i)
    if (CompareRowDates(&slots[i - 1], &slots[i]) > 0) sorted = 0;
  if (sorted) return;
  for (int start = count / 2 - 1; start >= 0; --start) SiftDown(slots, start, count);
  for (int end = count - 1; end > 0; --end) {
    PriceSlot t = slots[0];
    slots[0] = slots[end];
    slots[end] = t;
    SiftDown(slots, 0, end);
  }
}

void StorePriceTable(PriceSlot* slots, int count) {
  SortSlots(slots, count);
  for (int j = 0; j < count; ++j) {
    PriceRow row;
    row.date = slots[j].date;
    for (int i = 0; i < 5; ++i)
      row.value[i] = EncodePackedValue(slots[j].mantissa[i], slots[j].exponent[i]);
    WritePriceRow(RecordBuffer + kPriceTableOffset + kPriceRowSize * j, &row);
  }
}
