#include <gtest/gtest.h>

#include "base/profile.h"
#include "demo/world/site_data.h"
#include "region/region_catalog.h"
#include "text/encoding.h"

namespace yhz {
namespace {

TEST(RegionCatalog, RegionTextHasItsFixedShape) {
    const std::string bytes = builtInRegionText();
    EXPECT_EQ(bytes.size(), 642u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

TEST(RegionCatalog, RegionsInTheirFixedOrder) {
    const std::vector<std::string> regions = builtInRegions();
    ASSERT_EQ(regions.size(), 53u);
    EXPECT_EQ(regions[0], gbk("北京-京A"));
    EXPECT_EQ(regions[17], gbk("江苏盐城-苏J"));
    EXPECT_EQ(regions[41], gbk("广西壮族自治区-桂O"));
    EXPECT_EQ(regions[52], gbk("新疆-新O"));
    // Zhejiang keeps its own letter order.
    std::string zhejiang;
    for (size_t k = 22; k <= 32; ++k) {
        zhejiang += localToUtf8(platePrefix(regions[k])).substr(3);
    }
    EXPECT_EQ(zhejiang, "ABCFEDGHLJK");
    EXPECT_EQ(platePrefix(regions[17]), gbk("苏J"));
}

TEST(RegionCatalog, OneHttpsSitePerRegion) {
    const std::vector<std::string> sites = builtInSites();
    ASSERT_EQ(sites.size(), 53u);
    std::set<std::string> distinct(sites.begin(), sites.end());
    EXPECT_EQ(distinct.size(), 53u);
    for (const std::string& site : sites) {
        EXPECT_EQ(site.rfind("https://", 0), 0u) << site;
        EXPECT_NE(site.back(), '/');
    }
}

TEST(RegionCatalog, SiteListIsOneBased) {
    StartupValues values;
    EXPECT_EQ(values.site(1), "");
    values.setSiteList(builtInSites());
    EXPECT_EQ(values.siteCount(), 53u);
    EXPECT_EQ(values.site(1), builtInSites()[0]);
    // 江苏盐城 is item 17 of the choice and entry 18 of the site list.
    EXPECT_NE(values.site(18).find("js-yc"), std::string::npos);
    EXPECT_EQ(values.site(0), "");
    EXPECT_EQ(values.site(54), "");
}

}  // namespace
}  // namespace yhz

namespace yhz {
namespace {

// The demo build's site list and the simulator serve the same world: the
// same regions in the same order, each under the host the client asks for.
TEST(RegionCatalog, DemoSitesMatchTheSimulator) {
    const std::vector<std::string> regions = builtInRegions();
    const std::vector<std::string> sites = builtInSites();
    const auto& simulated = demo::regions();
    ASSERT_EQ(simulated.size(), regions.size());
    for (size_t k = 0; k < simulated.size(); ++k) {
        const std::string prefix = localToUtf8(platePrefix(regions[k]));
        EXPECT_EQ(prefix, simulated[k].province + simulated[k].letter) << k;
        if (std::string(profile::kName) == "demo") {
            EXPECT_EQ(sites[k].rfind("https://" + simulated[k].code + ".localhost:", 0), 0u)
                << sites[k];
        }
    }
}

}  // namespace
}  // namespace yhz
