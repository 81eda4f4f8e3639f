#include "ui/page_addresses.h"
#include "ui/report_copy.h"
#include "ui/site_links.h"

#include <gtest/gtest.h>

namespace coffer {
namespace {

TEST(PageAddresses, MemberAndItemPages) {
    const struct {
        std::string realm, name, expected;
    } members[] = {
        {"Stone Harbor", "Abc", "http://armory.example/character-sheet.xml?r=Stone%20Harbor&n=Abc"},
        {"Silver Hand", "Zo\xC3\xAB", "http://armory.example/character-sheet.xml?r=Silver%20Hand&n=Zo%C3%AB"},
        {"A&amp;B", "x y&z", "http://armory.example/character-sheet.xml?r=A%26B&n=x%20y%26z"},
    };
    for (const auto& c : members)
        EXPECT_EQ(MemberPageAddress("http://armory.example", c.realm, c.name), c.expected) << c.name;
    EXPECT_EQ(ItemSearchAddress("http://www.lorehold.example", "Frost Lotus"),
              "http://www.lorehold.example/?search=Frost+Lotus");
    EXPECT_EQ(ItemSearchAddress("http://www.lorehold.example", "Rod & Reel"),
              "http://www.lorehold.example/?search=Rod+%26+Reel");
}

TEST(SiteLinks, DomainLabelsAndTheirTest) {
    EXPECT_EQ(DomainLabel("http://www.lorehold.example"), "lorehold");
    EXPECT_EQ(DomainLabel("http://armory.example"), "armory");
    EXPECT_EQ(DomainLabel("http://localhost:8080"), "localhost");
    const QStringList labels{"armory", "lorehold"};
    EXPECT_TRUE(ContainsSiteLabel("http://ARMORY.example/character-sheet.xml?n=A", labels));
    EXPECT_TRUE(ContainsSiteLabel("http://www.LoreHold.example/?item=5", labels));
    EXPECT_FALSE(ContainsSiteLabel("http://www.coffer.example", labels));
    EXPECT_FALSE(ContainsSiteLabel("http://anything", {""}));
}

TEST(SaveAsNames, HtmIsAddedOnlyWhenMissing) {
    const struct {
        const char* chosen;
        const char* saved;
    } cases[] = {{"/d/summary", "/d/summary.htm"},         {"/d/Report.HTML", "/d/Report.HTML"},
                 {"/d/page.html", "/d/page.html"},         {"/d/notes.htm.txt", "/d/notes.htm.txt"},
                 {"/d/report.HTM", "/d/report.HTM"},       {"/d/x.ht", "/d/x.ht.htm"}};
    for (const auto& c : cases)
        EXPECT_EQ(WithHtmExtension(QString::fromLatin1(c.chosen)), QString::fromLatin1(c.saved)) << c.chosen;
}

} // namespace
} // namespace coffer
