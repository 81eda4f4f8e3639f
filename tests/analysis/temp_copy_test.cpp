#include "analysis/scan/temp_copy.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <iterator>
#include <mutex>
#include <stop_token>

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
    const struct {
        std::string_view text;
        bool stopFirst;
        std::string expected;
    } cases[] = {{"", false, "\n"}, {"<?xml?>", false, "<?xml?>\n"}, {large, false, large + "\n"}, {large, true, ""}};
    testing::TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 10));
        TempCopy copy(folder.path());
        ASSERT_TRUE(copy.ok()) << copy.error();
        std::stop_source stop;
        if (c.stopFirst)
            stop.request_stop();
        copy.write(c.text, stop.get_token());
        EXPECT_TRUE(ReadAll(copy.read(), true) == c.expected);
        EXPECT_TRUE(ReadAll(copy.read(), false) == c.expected) << "a second pass reads from the start";
        EXPECT_TRUE(ReadAll(copy.read(TempCopy::Pass::Last), true) == c.expected)
            << "the last gives back only what it read";
        EXPECT_TRUE(copy.finishWriting());
        EXPECT_FALSE(copy.readFailed());
        EXPECT_TRUE(std::filesystem::is_empty(folder.path())) << "the copy has no name";
    }
}

// The writing keeps within reach of a last pass that starts at once: the pass still reads it all, and
// one that stops early holds the writing back (it does not reach the end within a second) yet still
// lets it end.
TEST(TempCopy, LastPassPacesTheWritingWithoutHoldingItUp) {
    const std::string large(50 << 20, 'x');
    testing::TempFolder folder;
    for (const bool readAll : {true, false}) {
        SCOPED_TRACE(readAll);
        TempCopy copy(folder.path());
        std::mutex mutex;
        std::condition_variable grown;
        std::uint64_t copied = 0;
        copy.write(large, {}, [&](std::uint64_t bytes) {
            const std::lock_guard lock(mutex);
            copied = bytes;
            grown.notify_all();
        });
        std::istream& in = copy.read(TempCopy::Pass::Last);
        if (readAll) {
            EXPECT_TRUE(ReadAll(in, true) == large + "\n");
        } else {
            std::string block(1 << 20, '\0');
            in.read(block.data(), static_cast<std::streamsize>(block.size()));
            std::unique_lock lock(mutex);
            EXPECT_FALSE(grown.wait_for(lock, std::chrono::seconds(1), [&] { return copied == large.size(); }));
        }
        EXPECT_TRUE(copy.finishWriting());
    }
}

} // namespace
} // namespace coffer
