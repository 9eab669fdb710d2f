// The price table of the DataRec in RecordBuffer, made from the slots that
// the reading of a price CSV file fills.
#pragma once

#include "exchange.h"

// Puts slots[0 .. count - 1] in date order (in place; rows of one date in
// no set order) and writes them as the rows of the price table of the
// DataRec in RecordBuffer, from its first row on.
void StorePriceTable(PriceSlot* slots, int count);
