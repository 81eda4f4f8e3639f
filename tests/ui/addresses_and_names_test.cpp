// SPDX-License-Identifier: MIT
#include "analysis/lookup/site_addresses.h"
#include "ui/charts/chart_output.h"
#include "ui/link_launcher.h"
#include "ui/report_copy.h"
#include "ui/site_links.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace coffer {
namespace {

TEST(Addresses, MemberPagesSiteLinksAndTheLinkLaunchers) {
    const std::string sheet = "http://armory.example/character-sheet.xml";
    EXPECT_EQ(MemberPageAddress("http://armory.example", "A&amp;B", "x y&z"), sheet + "?r=A%26B&n=x%20y%26z");
    EXPECT_EQ(DomainLabel("http://www.lorehold.example"), "lorehold");
    EXPECT_EQ(DomainLabel("http://localhost:8080"), "localhost");
    const QStringList labels{"armory", "lorehold"};
    EXPECT_TRUE(ContainsSiteLabel("http://ARMORY.example/character-sheet.xml?n=A", labels));
    EXPECT_TRUE(ContainsSiteLabel("http://www.LoreHold.example/?item=5", labels));
    EXPECT_FALSE(ContainsSiteLabel("http://www.coffer.example", labels));
    EXPECT_FALSE(ContainsSiteLabel("http://anything", {""}));
    // The link launcher adds "http://" in front unless the address holds "http://" or "https://", any case.
    EXPECT_EQ(LauncherAddress("Website", "HTTPS://coffer.example", "-"), QStringLiteral("HTTPS://coffer.example"));
    EXPECT_EQ(LauncherAddress("Website", "see http://a.example", "-"), QStringLiteral("see http://a.example"));
    EXPECT_EQ(LauncherAddress("Armory", "-", "armory.example"), QStringLiteral("http://armory.example"));
    EXPECT_FALSE(LauncherAddress("website", "coffer.example", "-").has_value());
}

// Save As adds ".htm" unless the name holds it anywhere; a chart picture gets ".png" unless it ends so.
TEST(FileNames, SuffixesAreAddedOnlyWhenMissing) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"Report.HTML", "Report.HTML", "Report.HTML.png"},
        {"notes.htm.txt", "notes.htm.txt", "notes.htm.txt.png"},
        {"Chart.PNG", "Chart.PNG.htm", "Chart.PNG"},
        {"chart.png.txt", "chart.png.txt.htm", "chart.png.txt.png"}};
    for (const auto& [name, report, chart] : cases) {
        EXPECT_EQ(WithHtmExtension(name), QString(report));
        EXPECT_EQ(WithPngSuffix(name), QString(chart));
    }
}

} // namespace
} // namespace coffer
