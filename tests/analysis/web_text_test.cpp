// SPDX-License-Identifier: MIT
#include "analysis/text/web_text.h"

#include "analysis/text/text_util.h"

#include <gtest/gtest.h>

#include <tuple>

namespace coffer {
namespace {

TEST(WebText, NamesAsHtmlTextCannotOpenTagsOrLeaveAttributes) {
    const std::pair<std::string, std::string> cases[] = {
        {"Salt &amp; Pepper", "Salt &amp; Pepper"}, // a reference shows as its character
        {"Salt & Pepper", "Salt &amp; Pepper"},
        {"<script>alert('x')</script>", "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"},
        {"a\"b", "a&quot;b"},
        {"&#233;&#xE9;&lt;", "&#233;&#xE9;&lt;"},
        {"&#0;&#xD800;&#x110000;&bogus;&;", "&amp;#0;&amp;#xD800;&amp;#x110000;&amp;bogus;&amp;;"},
        {"Zo\xC3\xAB", "Zo\xC3\xAB"},
        {std::string("a\0b\x01\xff\xC3", 6), "a\xEF\xBF\xBD"
                                             "b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, // an encoded surrogate is not UTF-8
    };
    for (const auto& [name, html] : cases)
        EXPECT_EQ(EscapeHtmlText(name), html) << name;
}

TEST(WebText, NamesInAddressesAreDecodedThenPercentEncoded) {
    const std::tuple<std::string, SpaceAs, std::string> cases[] = {
        {"Silver Hand", SpaceAs::Plus, "Silver+Hand"},
        {"Salt &amp; Pepper", SpaceAs::Plus, "Salt+%26+Pepper"},
        {"&#233;", SpaceAs::Plus, "%C3%A9"},
        {"a'b\"c<d>e/f?g#h+i", SpaceAs::Plus, "a%27b%22c%3Cd%3Ee%2Ff%3Fg%23h%2Bi"},
        {"-_.~", SpaceAs::Plus, "-_.~"},
    };
    for (const auto& [name, space, address] : cases)
        EXPECT_EQ(EncodeForAddress(name, space), address) << name;
    EXPECT_EQ(DecodeCharacterReferences("&amp;amp; &quot;&apos;&#x1F600;&unknown;"),
              "&amp; \"'\xF0\x9F\x98\x80&unknown;");
}

// Texts a hostile log or page can hold: each call must take linear time (a quadratic one runs for
// minutes on these and the test times out).
TEST(WebText, HostileTextsTakeLinearTime) {
    constexpr std::size_t kSize = 4 << 20;
    const std::string ampersands(kSize, '&');
    std::string escaped;
    for (std::size_t i = 0; i < kSize; ++i)
        escaped += "&amp;";
    EXPECT_EQ(EscapeHtmlText(ampersands), escaped);
    EXPECT_EQ(DecodeCharacterReferences(ampersands), ampersands);
    EXPECT_EQ(EncodeForAddress(ampersands, SpaceAs::Plus).size(), 3 * kSize);

    // A long needle that almost matches everywhere: "aaa...ab" in "AAA...A", then at the very end.
    const std::string needle = std::string(kSize / 16, 'a') + "b";
    std::string page(kSize, 'A');
    EXPECT_EQ(FindNoCase(page, needle), std::string_view::npos);
    page += 'B';
    EXPECT_EQ(FindNoCase(page, needle), kSize + 1 - needle.size());
    EXPECT_EQ(FindNoCase(page, "x" + needle), std::string_view::npos);
    EXPECT_EQ(FindNoCase(page, needle, kSize), std::string_view::npos);
}

} // namespace
} // namespace coffer
