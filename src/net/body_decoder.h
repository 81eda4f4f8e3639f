// SPDX-License-Identifier: MIT
#pragma once
// An answer's body as it arrives, inflated from its Content-Encoding (none, gzip or deflate) with zlib
// and held to a cap on its inflated size. Qt's own decompression loses the compressed length and never
// tells a stream that stops before its end, so the downloader asks for the compressed body and
// inflates it here.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace coffer {

class BodyDecoder {
  public:
    enum class Step { Taken, TooLarge, Damaged };

    // `contentEncoding` as the answer's header gives it (empty without one).
    BodyDecoder(std::string_view contentEncoding, std::int64_t maxBytes);
    ~BodyDecoder();
    BodyDecoder(const BodyDecoder&) = delete;
    BodyDecoder& operator=(const BodyDecoder&) = delete;

    // Adds the next bytes as received (at most the cap at a time). After TooLarge or Damaged the body
    // is not to be used.
    Step take(std::string_view received);
    // Whether the encoding saw the body's end: a compressed stream ended; a plain body ends where it stops.
    bool ended() const { return ended_; }
    // Why the body cannot be inflated; empty while it can.
    const std::string& damage() const { return damage_; }
    const std::string& body() const { return body_; }

  private:
    Step damaged(std::string reason);
    Step inflate(std::string_view received);

    struct Inflater;
    std::unique_ptr<Inflater> inflater_; // none for a plain body
    std::int64_t maxBytes_;
    std::string body_;
    std::string damage_;
    bool ended_;
};

} // namespace coffer
