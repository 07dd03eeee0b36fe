#pragma once
// The built-in data, compiled in from the data files of this folder as they
// are: the region table (regions.txt, UTF-8, one tab-separated region a
// line, the site simulator reads it too) and the profile's site list (one
// "http://" base address per region, joined by CR LF).

#include <string_view>

namespace yhz {

extern const std::string_view kRegionTable;
extern const std::string_view kSiteList;

}  // namespace yhz
