#include "ui/page_addresses.h"
#include "ui/site_links.h"

#include <gtest/gtest.h>

namespace coffer {
namespace {

TEST(PageAddresses, MemberPages) {
    const struct {
        std::string realm, name, expected;
    } members[] = {
        {"Stone Harbor", "Abc", "http://armory.example/character-sheet.xml?r=Stone%20Harbor&n=Abc"},
        {"Silver Hand", "Zo\xC3\xAB", "http://armory.example/character-sheet.xml?r=Silver%20Hand&n=Zo%C3%AB"},
        {"A&amp;B", "x y&z", "http://armory.example/character-sheet.xml?r=A%26B&n=x%20y%26z"},
    };
    for (const auto& c : members)
        EXPECT_EQ(MemberPageAddress("http://armory.example", c.realm, c.name), c.expected) << c.name;
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

} // namespace
} // namespace coffer
