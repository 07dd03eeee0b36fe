#pragma once
// How the retrieval reads the choices made in the site's page. The browser
// layer implements it over the page it shows; tests implement it with fixed
// values.

#include <optional>

#include "retrieval/site_interface.h"

namespace yhz {

class PageReader {
public:
    virtual ~PageReader() = default;

    // The values of the selected options of "id=glbm" and "id=hpzl" and the
    // values of "id=startTime" and "id=endTime"; "" for an element the page
    // does not have. nullopt when no document can be reached at all (no
    // page, or it did not answer in time); the caller then does nothing.
    // Called on the GUI thread.
    virtual std::optional<PageChoices> readChoices() = 0;
};

}  // namespace yhz
