#pragma once
// The plate list's menu operations. Each runs under the store's lock as one
// step, so rows that a background task appends meanwhile land before or after
// it, never in the middle. Checking all and inverting are RowStore members.

#include "plates/plate_store.h"

namespace yhz {

// Deletes the checked rows and writes every remaining row's Id as its
// position + 1. Statuses and other texts stay.
void deleteCheckedPlates(PlateStore& plates);

// Keeps the first row of each (plate, date) pair, in row order, and rebuilds
// the list from those pairs: Ids from 1, plate with its outer spaces trimmed,
// unchecked, status 0. The comparison uses the untrimmed plate.
void removeDuplicatePlates(PlateStore& plates);

}  // namespace yhz
