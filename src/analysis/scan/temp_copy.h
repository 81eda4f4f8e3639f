// SPDX-License-Identifier: MIT
#pragma once
// The run's temporary copy of the log: a uniquely named file beside the program, written (when longer
// than the piece it is written in) on a thread of its own while it is read back, so that scanning starts
// at once instead of after the whole write.
// Its name is removed as soon as it is created, so the system frees it when the process ends, however
// it ends.

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <memory>
#include <mutex>
#include <stop_token>
#include <streambuf>
#include <string>
#include <string_view>
#include <thread>

namespace coffer {

class TempCopy {
  public:
    // Creates the file in `folder`; ok() is false (with error()) when it cannot.
    explicit TempCopy(const std::filesystem::path& folder);
    ~TempCopy();
    TempCopy(const TempCopy&) = delete;
    TempCopy& operator=(const TempCopy&) = delete;

    bool ok() const { return fd_ >= 0; }
    // Starts writing the text and one line break; a stop ends the writing early. `text` must outlive
    // the writing. `copied`, when given, is told after each piece how many bytes of the text from its
    // start are in the copy, on the thread that writes it.
    void write(std::string_view text, std::stop_token stop, std::function<void(std::uint64_t)> copied = {});
    // Whether the copy is read again after a pass.
    enum class Pass { NotLast, Last };
    // The copy from its start, for one more pass. A read waits for the bytes it asks for until they
    // are written; the copy ends where the writing ended. The last pass gives what it has read back
    // to the system as it goes, and the writing keeps within a few pieces of it: the writing then
    // reuses the same memory instead of taking fresh memory for the whole log, which costs more than
    // the copying.
    std::istream& read(Pass pass = Pass::NotLast);
    // Waits for the writing to end; false (with error()) when the copy could not be written in full.
    bool finishWriting();

    const std::string& error() const { return error_; }
    // Whether a read of the copy failed: what was read before it is all that was read.
    bool readFailed() const { return readFailed_; }
    const std::string& name() const { return name_; }

  private:
    class Reader;
    // Waits until the copy holds more than `offset` bytes or the writing is over; the bytes written.
    // Tells the writing how far the last pass has read.
    std::uint64_t writtenPast(std::uint64_t offset);
    // Writes the text and a line break, then ends the writing; `ended` stops it as `stop` does.
    void writeOut(std::string_view text, std::stop_token stop, std::stop_token ended);
    std::function<void(std::uint64_t)> copied_;
    // Lets the writing run to the end without waiting for the last pass.
    void unleashWriting();

    int fd_ = -1;
    std::string name_;
    std::string error_;
    bool readFailed_ = false;
    std::jthread writer_;
    std::mutex mutex_;
    std::condition_variable grown_;
    std::condition_variable drained_; // the last pass has read further, or the writing is let run
    std::uint64_t written_ = 0;
    bool writing_ = false;
    bool paced_ = false;           // the writing keeps within reach of the last pass
    std::uint64_t lastPassAt_ = 0; // how far the last pass has read
    std::unique_ptr<Reader> reader_;
    std::unique_ptr<std::istream> stream_;
};

} // namespace coffer
