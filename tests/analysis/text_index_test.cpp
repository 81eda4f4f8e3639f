// SPDX-License-Identifier: MIT
#include "analysis/tables/text_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace coffer {
namespace {

// Numbers stay the texts' own through every growth of the index, in any order of look-ups, in a copy,
// and after cutting, where a cut text that equals an earlier one is found as the earlier.
TEST(TextIndex, KeepsEachTextsNumberThroughGrowthCopiesAndCuts) {
    std::vector<std::string> texts = {"", "a", "ab"};
    for (int i = 0; i < 20000; ++i) { // many growths, and slots shared by many texts
        texts.push_back("member " + std::to_string(i * 7919));
        if (i % 1000 == 7) // texts of blocks of their own between those that share blocks
            texts.push_back(std::string(static_cast<std::size_t>(i) * 7, 'x') + std::to_string(i));
    }
    TextIndex moved;
    moved.intern("before the move");
    { const TextIndex taken = std::move(moved); }
    EXPECT_EQ(moved.intern("after the move"), 0u) << "a moved-from index is empty and owns what it holds";
    EXPECT_EQ(moved.texts()[0], "after the move");
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
    EXPECT_EQ(index.find("not held"), std::nullopt);
    EXPECT_TRUE(std::equal(texts.begin(), texts.end(), index.texts().begin()));

    // Cut to "member ": a long run of equal texts, the first found before and after the index grows.
    index.cut([](std::string_view text) { return text.starts_with("member ") ? std::size_t{7} : text.size(); });
    std::map<std::string, std::uint32_t> first;
    for (std::uint32_t i = 0; i < texts.size(); ++i)
        if (texts[i].starts_with("member "))
            first.try_emplace(texts[i].substr(0, 7), i);
    for (int growth = 0; growth < 2; ++growth) {
        for (const auto& [cut, number] : first)
            EXPECT_EQ(index.find(cut), number) << cut;
        for (int i = 0; i < 30000; ++i)
            index.intern("after the cut " + std::to_string(i));
    }
    EXPECT_EQ(index.intern("member "), 3u);
    EXPECT_EQ(index.intern("ab"), 2u);
}

} // namespace
} // namespace coffer
