#include "analysis/tables/text_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace coffer {
namespace {

// Numbers stay the texts' own through every growth of the index, in any order of look-ups, in a copy,
// and after cutting, where a cut text that equals an earlier one is found as the earlier.
TEST(TextIndex, KeepsEachTextsNumberThroughGrowthCopiesAndCuts) {
    std::vector<std::string> texts = {"", "a", "ab"};
    for (int i = 0; i < 20000; ++i) // many growths, and slots shared by many texts
        texts.push_back("member " + std::to_string(i * 7919));
    TextIndex index;
    for (std::uint32_t i = 0; i < texts.size(); ++i)
        ASSERT_EQ(index.intern(texts[i]), i) << texts[i];
    std::vector<std::uint32_t> order(texts.size());
    for (std::uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    TextIndex copy = index;
    for (const std::uint32_t i : order) {
        ASSERT_EQ(index.intern(texts[i]), i) << texts[i];
        ASSERT_EQ(copy.intern(texts[i]), i) << "copy: " << texts[i];
    }
    EXPECT_EQ(index.intern("new"), texts.size());
    EXPECT_TRUE(std::equal(texts.begin(), texts.end(), index.texts().begin()));

    index.cut([](std::string_view text) { return text.starts_with("member 1") ? std::size_t{8} : text.size(); });
    EXPECT_EQ(index.intern("member 1"), 5u) << "member 15838, the first cut to it";
    EXPECT_EQ(index.intern("member 7919"), 4u);
    EXPECT_EQ(index.intern("ab"), 2u);
}

} // namespace
} // namespace coffer
