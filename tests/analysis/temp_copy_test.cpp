// SPDX-License-Identifier: MIT
#include "analysis/scan/temp_copy.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <tuple>

#include <chrono>
#include <future>
#include <iterator>
#include <stop_token>
#include <utility>

namespace coffer {
namespace {

// In blocks, as the line reader reads, or a character at a time.
std::string ReadAll(std::istream& in, bool inBlocks) {
    if (!inBlocks)
        return {std::istreambuf_iterator<char>(in), {}};
    std::string text, block(1 << 20, '\0');
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0)
        text.append(block.data(), static_cast<std::size_t>(in.gcount()));
    return text;
}

// The copy is read while it is written: every read waits for its bytes, and the copy ends where the
// writing ends, with the line break the run adds.
TEST(TempCopy, ReadsBackWhatIsWrittenWhileItIsWritten) {
    const std::string large(30 << 20, 'x'); // several pieces of the writer, read as they come
    const std::tuple<std::string_view, bool, std::string> cases[] = {
        {"", false, "\n"}, {"<?xml?>", false, "<?xml?>\n"}, {large, false, large + "\n"}, {large, true, ""}};
    testing::TempFolder folder;
    for (const auto& [text, stopFirst, expected] : cases) {
        SCOPED_TRACE(text.substr(0, 10));
        TempCopy copy(folder.path());
        ASSERT_TRUE(copy.ok()) << copy.error();
        std::stop_source stop;
        if (stopFirst)
            stop.request_stop();
        copy.write(text, stop.get_token());
        EXPECT_TRUE(ReadAll(copy.read(), true) == expected);
        EXPECT_TRUE(ReadAll(copy.read(), false) == expected) << "a second pass reads from the start";
        EXPECT_TRUE(ReadAll(copy.read(TempCopy::Pass::Last), true) == expected)
            << "the last gives back only what it read";
        EXPECT_TRUE(copy.finishWriting());
        EXPECT_FALSE(copy.readFailed());
        EXPECT_TRUE(std::filesystem::is_empty(folder.path())) << "the copy has no name";
    }
}

// The writing keeps within reach of a last pass that starts at once: the pass still reads it all; one that
// stops early holds the writing back (no end within a second) yet still lets it end.
TEST(TempCopy, LastPassPacesTheWritingWithoutHoldingItUp) {
    const std::string large(50 << 20, 'x');
    testing::TempFolder folder;
    for (const bool readAll : {true, false}) {
        SCOPED_TRACE(readAll);
        TempCopy copy(folder.path());
        std::promise<void> ended;
        copy.write(large, {}, [&, told = false](std::uint64_t bytes) mutable { // told again for the line break
            if (bytes == large.size() && !std::exchange(told, true))
                ended.set_value();
        });
        std::istream& in = copy.read(TempCopy::Pass::Last);
        if (readAll) {
            EXPECT_TRUE(ReadAll(in, true) == large + "\n");
        } else {
            std::string block(1 << 20, '\0');
            in.read(block.data(), static_cast<std::streamsize>(block.size()));
            EXPECT_EQ(ended.get_future().wait_for(std::chrono::seconds(1)), std::future_status::timeout);
        }
        EXPECT_TRUE(copy.finishWriting());
    }
}

} // namespace
} // namespace coffer
