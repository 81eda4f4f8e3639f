// SPDX-License-Identifier: MIT
#include "ledger/entry_identity.h"

#include <gtest/gtest.h>

#include <tuple>

namespace coffer {
namespace {

TEST(EntryIdentity, SameTransactionWhateverTheLayout) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        // Layout, attribute order, the letter case of names, rank, empty values and an item's attributes
        // besides its id do not count.
        {"<banklog money=\"0\" player=\"Ann\" rank=\"1\" ts=\"5\" type=\"2\">\n  <item count=\"2\" id=\"7\" "
         "name=\"Nails\"/>\n</banklog>",
         "<banklog  type='2' TS=\"5\" player=\"Ann\" money=\"0\" rank=\"3\" otab=\"\"><item id=\"7\" name=\"Iron\" "
         "icon=\"x\" count=\"2\"/></banklog>",
         true},
        {"<banklog player=\"Ann\" ts=\"5\" type=\"4\" money=\"1\"/>",
         "<banklog player=\"ann\" ts=\"5\" type=\"4\" money=\"1\"/>", false},
        {"<banklog player=\"A\" type=\"2\"><item name=\"Nails\" count=\"1\"/></banklog>",
         "<banklog player=\"A\" type=\"2\"><item name=\"Nails\" count=\"2\"/></banklog>", false},
        {"<banklog player=\"A\" type=\"2\"><item name=\"B\"/></banklog>",
         "<banklog player=\"A\" type=\"2\" name=\"B\"><item/></banklog>", false},
        {"<banklog player=\"A\" type=\"2 money=1\"/>", "<banklog player=\"A\" type=\"2\" money=\"1\"/>", false},
        // Unreadable elements: their text, with every run of whitespace as one space.
        {"<banklog player=A  type=\"4\"\n/>", "<banklog player=A type=\"4\" />", true},
        {"<banklog player=A type=\"4\"/>", "<banklog player=B type=\"4\"/>", false},
    };
    for (const auto& [a, b, same] : cases)
        EXPECT_EQ(EntryIdentity(a) == EntryIdentity(b), same) << a << "\n" << b;
}

} // namespace
} // namespace coffer
