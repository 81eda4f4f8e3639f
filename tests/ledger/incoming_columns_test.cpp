// SPDX-License-Identifier: MIT
#include "ledger/incoming_columns.h"

#include "ledger/ledger_error.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <string>
#include <tuple>

namespace coffer {
namespace {

// Keys as long as their identities, of every length: a part's keys are not all of one size.
std::string IdentityAsKey(std::string_view identity, const std::optional<std::int64_t>& ts) {
    return std::string(identity) + std::to_string(ts.value_or(-1));
}
std::string SameKey(std::string_view, const std::optional<std::int64_t>&) {
    return "k";
}
// The first and the last key of a part the same: found only once every key is in.
std::string TwinsAtAPartsEnds(std::string_view identity, const std::optional<std::int64_t>& ts) {
    return ts == 0 || ts == EntryKeys::kKeysPerPart - 1 ? "twin" : IdentityAsKey(identity, ts);
}
// Slower than the reads: a read of keys not yet made would find them missing.
std::string SlowKey(std::string_view identity, const std::optional<std::int64_t>& ts) {
    for (const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(20);
         std::chrono::steady_clock::now() < until;) {
    }
    return EntryKey(identity, ts);
}
std::string FailingKey(std::string_view identity, const std::optional<std::int64_t>& ts) {
    if (ts == 5'000)
        throw LedgerError(LedgerErrorKind::Other, "no key");
    return EntryKey(identity, ts);
}
std::atomic<std::size_t> keysCounted = 0;
std::string CountedKey(std::string_view identity, const std::optional<std::int64_t>& ts) {
    ++keysCounted;
    return EntryKey(identity, ts);
}

std::vector<PasteEntry> Entries(std::deque<std::string>& texts, std::size_t count) {
    std::vector<PasteEntry> entries;
    for (std::size_t i = 0; i < count; ++i) {
        texts.push_back("<banklog money=\"" + std::to_string(i) + "\" player=\"P" + std::to_string(i % 7) + "\" ts=\"" +
                        std::to_string(i) + "\" type=\"4\"/>");
        PasteEntry& entry = entries.emplace_back();
        entry.text = texts.back();
        entry.ts = static_cast<std::int64_t>(i);
    }
    return entries;
}

// The keys made on their thread are each entry's own, read part by part while the next are made, on
// either side of a part's end; two the same are found, and a key that cannot be made fails the wait.
TEST(KeysMaker, MakesEachEntrysKeyInPartsAndFindsTwo) {
    constexpr std::size_t kPart = EntryKeys::kKeysPerPart;
    const std::tuple<EntryKeyFunction, std::size_t, bool> cases[] = {{EntryKey, 0, false},
                                                                     {EntryKey, 1, false},
                                                                     {EntryKey, kPart - 1, false},
                                                                     {EntryKey, kPart, false},
                                                                     {IdentityAsKey, kPart + 1, false},
                                                                     {IdentityAsKey, 3 * kPart + 5, false},
                                                                     {SlowKey, kPart + 1, false},
                                                                     {SameKey, 2, true},
                                                                     {SameKey, kPart + 1, true},
                                                                     {TwinsAtAPartsEnds, kPart, true}};
    for (const auto& [entryKey, count, twice] : cases) {
        std::deque<std::string> texts;
        const std::vector<PasteEntry> entries = Entries(texts, count);
        KeysMaker maker(entries, entryKey);
        if (twice) { // asked at once: the answer comes with the last key
            EXPECT_TRUE(maker.anyTwice()) << count << " entries";
        }
        for (const std::size_t upTo : {std::size_t{1}, kPart - 1, kPart, kPart + 1, count}) {
            if (upTo > count)
                continue;
            const EntryKeys& keys = maker.upTo(upTo);
            for (std::size_t place = upTo > kPart ? upTo - kPart : 0; place < upTo; ++place)
                ASSERT_EQ(keys[place], entryKey(EntryIdentity(entries[place].text), entries[place].ts))
                    << count << " entries, " << place;
        }
        EXPECT_EQ(maker.anyTwice(), twice) << count << " entries";
        EXPECT_EQ(maker.upTo(count).size(), count);
    }
    std::deque<std::string> texts;
    const std::vector<PasteEntry> entries = Entries(texts, 6'000);
    KeysMaker failing(entries, FailingKey);
    EXPECT_THROW(failing.upTo(entries.size()), LedgerError);
    EXPECT_THROW(std::ignore = failing.anyTwice(), LedgerError);
    // Gone before its keys are made, the maker stops at the end of a part.
    const std::vector<PasteEntry> many = Entries(texts, 100 * kPart);
    { const KeysMaker stopped(many, CountedKey); }
    EXPECT_LT(keysCounted.load(), many.size());
}

} // namespace
} // namespace coffer
