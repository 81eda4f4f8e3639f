// SPDX-License-Identifier: MIT
#include "analysis/scan/temp_copy.h"

#include "analysis/scan/temporary_names.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace coffer {
namespace {
// Written in pieces of this size, each made readable as soon as it is in the file.
constexpr std::size_t kPiece = std::size_t{4} << 20;
// How far the writing may run ahead of the last pass, which gives the pieces it has read back: the
// writing then reuses their memory instead of fresh memory.
constexpr std::uint64_t kAheadOfLastPass = 4 * kPiece;
} // namespace

// Reads the copy with pread, waiting for the writer where needed: large reads go straight into the
// caller's buffer, small ones through a buffer of its own.
class TempCopy::Reader : public std::streambuf {
  public:
    Reader(TempCopy& copy, Pass pass) : copy_(copy), releasing_(pass == Pass::Last) {}

  protected:
    std::streamsize xsgetn(char* out, std::streamsize wanted) override {
        std::streamsize got = std::min<std::streamsize>(egptr() - gptr(), wanted);
        if (got > 0) { // before the first small read there is no buffer at all
            std::memcpy(out, gptr(), static_cast<std::size_t>(got));
            gbump(static_cast<int>(got));
        }
        while (got < wanted) {
            const std::size_t n = readSome(out + got, static_cast<std::size_t>(wanted - got));
            if (n == 0)
                break;
            got += static_cast<std::streamsize>(n);
        }
        return got;
    }
    int_type underflow() override {
        if (!buffer_)
            buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
        const std::size_t n = readSome(buffer_.get(), kBufferSize);
        setg(buffer_.get(), buffer_.get(), buffer_.get() + n);
        return n == 0 ? traits_type::eof() : traits_type::to_int_type(buffer_[0]);
    }

  private:
    // At least one byte once it is written, at most `size`; 0 at the end of the copy or on an error.
    std::size_t readSome(char* out, std::size_t size) {
        for (;;) {
            const std::uint64_t written = copy_.writtenPast(offset_);
            if (written <= offset_)
                return 0; // the writing is over: the end of the copy
            const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(written - offset_, size));
            const ssize_t n = ::pread(copy_.fd_, out, wanted, static_cast<off_t>(offset_));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                copy_.readFailed_ = true;
                return 0;
            }
            offset_ += static_cast<std::uint64_t>(n);
            release();
            return static_cast<std::size_t>(n);
        }
    }
    // Punches the pieces read so far out of the file, keeping its size. Where the system cannot, the
    // copy just keeps them: nothing else changes.
    void release() {
        const std::uint64_t upTo = offset_ / kPiece * kPiece;
        if (!releasing_ || upTo == released_)
            return;
        if (::fallocate(copy_.fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(released_),
                        static_cast<off_t>(upTo - released_)) != 0)
            releasing_ = false;
        released_ = upTo;
    }

    TempCopy& copy_;
    bool releasing_;
    std::uint64_t released_ = 0; // the bytes punched out of the file, from its start
    std::uint64_t offset_ = 0;
    // Made at the first small read: the scans read in large pieces, straight into their own buffers.
    static constexpr std::size_t kBufferSize = 1 << 16;
    std::unique_ptr<char[]> buffer_;
};

TempCopy::TempCopy(const std::filesystem::path& folder) {
    std::string name = (folder / "temp-XXXXXX.txt").string();
    const auto naming = LockTemporaryNames(); // the name lasts too short a time to be added
    fd_ = mkstemps(name.data(), 4);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return;
    }
    ::unlink(name.c_str());
    name_ = name;
}

TempCopy::~TempCopy() {
    if (writer_.joinable()) {
        writer_.request_stop();
        unleashWriting();
        writer_.join();
    }
    stream_.reset();
    reader_.reset();
    if (fd_ >= 0)
        ::close(fd_);
}

void TempCopy::write(std::string_view text, std::stop_token stop, std::function<void(std::uint64_t)> copied) {
    writing_ = true;
    copied_ = std::move(copied);
    // A text shorter than a piece is written at once: a thread of its own would let nothing be read
    // sooner, since a piece is readable only once it is in the file whole.
    if (text.size() < kPiece)
        writeOut(text, stop, {});
    else
        writer_ = std::jthread([this, text, stop](std::stop_token ended) { writeOut(text, stop, ended); });
}

void TempCopy::writeOut(std::string_view text, std::stop_token stop, std::stop_token ended) {
    std::string error;
    for (std::string_view rest : {text, std::string_view("\n")}) {
        while (!rest.empty() && error.empty() && !stop.stop_requested() && !ended.stop_requested()) {
            {
                std::unique_lock lock(mutex_);
                drained_.wait(lock, [&] { return !paced_ || written_ < lastPassAt_ + kAheadOfLastPass; });
            }
            errno = 0;
            const ssize_t n = ::write(fd_, rest.data(), std::min(rest.size(), kPiece));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error = errno != 0 ? std::strerror(errno) : "write failed";
                break;
            }
            rest.remove_prefix(static_cast<std::size_t>(n));
            std::uint64_t written = 0;
            {
                std::lock_guard lock(mutex_);
                written = written_ += static_cast<std::uint64_t>(n);
                grown_.notify_all();
            }
            if (copied_)
                copied_(std::min<std::uint64_t>(written, text.size()));
        }
    }
    std::lock_guard lock(mutex_);
    error_ = error;
    writing_ = false;
    grown_.notify_all();
}

std::uint64_t TempCopy::writtenPast(std::uint64_t offset) {
    std::unique_lock lock(mutex_);
    if (paced_) {
        lastPassAt_ = offset;
        drained_.notify_one();
    }
    grown_.wait(lock, [&] { return written_ > offset || !writing_; });
    return written_;
}

void TempCopy::unleashWriting() {
    std::lock_guard lock(mutex_);
    paced_ = false;
    drained_.notify_one();
}

std::istream& TempCopy::read(Pass pass) {
    stream_.reset();
    if (pass == Pass::Last) {
        std::lock_guard lock(mutex_);
        paced_ = true;
        lastPassAt_ = 0;
    }
    reader_ = std::make_unique<Reader>(*this, pass);
    stream_ = std::make_unique<std::istream>(reader_.get());
    return *stream_;
}

bool TempCopy::finishWriting() {
    unleashWriting(); // the last pass may have ended early
    if (writer_.joinable())
        writer_.join();
    return error_.empty();
}

} // namespace coffer
