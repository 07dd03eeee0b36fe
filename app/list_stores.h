#pragma once
// The window's list data: the only copy of both lists' rows, the plate
// list's cell colours and the expired plates. Shared, so that background
// work holding them stays valid whatever the window does meanwhile.

#include <memory>

#include "plates/expired_plates.h"
#include "plates/plate_store.h"
#include "plates/segment_store.h"
#include "query/cell_colours.h"

namespace yhz {

struct ListStores {
    std::shared_ptr<SegmentStore> segments = std::make_shared<SegmentStore>();  // 超级列表框1
    std::shared_ptr<PlateStore> plates = std::make_shared<PlateStore>();        // 超级列表框3
    std::shared_ptr<CellColourTable> colours = std::make_shared<CellColourTable>();
    std::shared_ptr<ExpiredPlateSet> expired = std::make_shared<ExpiredPlateSet>();
};

}  // namespace yhz
