#pragma once
// The built-in data: the region text (base64 of GBK lines, each ended by
// CR LF) and the site list (one "http://" base address per region, joined
// by CR LF), both compiled in from data files of this folder.

#include <string_view>

namespace yhz {

std::string_view embeddedRegionText();
std::string_view embeddedSiteText();

}  // namespace yhz
