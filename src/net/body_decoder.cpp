// SPDX-License-Identifier: MIT
#include "net/body_decoder.h"

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <new>
#include <string>

namespace coffer {
namespace {

// What one call of inflate() may write: the body grows by this much at most before the cap is checked.
constexpr std::size_t kInflateStep = 256 * 1024;

// The header's value without spaces and in lower case: encodings are named in any letter case.
std::string EncodingName(std::string_view header) {
    std::string name;
    for (const char c : header)
        if (c != ' ' && c != '\t')
            name += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return name;
}

} // namespace

struct BodyDecoder::Inflater {
    z_stream stream{};
    Inflater() {
        // 32 on top of the window size: a gzip or a zlib header, whichever the stream has; sites send
        // either for "deflate".
        if (inflateInit2(&stream, MAX_WBITS + 32) != Z_OK)
            throw std::bad_alloc();
    }
    ~Inflater() { inflateEnd(&stream); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
};

BodyDecoder::BodyDecoder(std::string_view contentEncoding, std::int64_t maxBytes) : maxBytes_(maxBytes), ended_(true) {
    const std::string encoding = EncodingName(contentEncoding);
    if (encoding == "gzip" || encoding == "x-gzip" || encoding == "deflate") {
        inflater_ = std::make_unique<Inflater>();
        ended_ = false;
    } else if (!encoding.empty() && encoding != "identity") {
        damage_ =
            "the page came compressed as \"" + std::string(contentEncoding) + "\", which this program cannot read";
    }
}

BodyDecoder::~BodyDecoder() = default;

BodyDecoder::Step BodyDecoder::damaged(std::string reason) {
    damage_ = "the compressed page is damaged (" + reason + ")";
    return Step::Damaged;
}

BodyDecoder::Step BodyDecoder::take(std::string_view received) {
    if (!damage_.empty())
        return Step::Damaged;
    if (inflater_)
        return inflate(received);
    if (static_cast<std::int64_t>(body_.size() + received.size()) > maxBytes_)
        return Step::TooLarge;
    body_.append(received);
    return Step::Taken;
}

BodyDecoder::Step BodyDecoder::inflate(std::string_view received) {
    if (ended_)
        return received.empty() ? Step::Taken : damaged("more follows the end of its stream");
    z_stream& stream = inflater_->stream;
    stream.next_in = reinterpret_cast<const Bytef*>(received.data());
    stream.avail_in = static_cast<uInt>(received.size());
    for (;;) {
        // One byte of room past the cap tells a body that would pass it, without inflating further.
        const std::size_t before = body_.size();
        const std::size_t room = std::min(kInflateStep, static_cast<std::size_t>(maxBytes_ + 1) - before);
        body_.resize(before + room);
        stream.next_out = reinterpret_cast<Bytef*>(body_.data() + before);
        stream.avail_out = static_cast<uInt>(room);
        const int status = ::inflate(&stream, Z_NO_FLUSH);
        body_.resize(before + room - stream.avail_out);
        if (static_cast<std::int64_t>(body_.size()) > maxBytes_)
            return Step::TooLarge;
        if (status == Z_STREAM_END) {
            ended_ = true;
            return stream.avail_in == 0 ? Step::Taken : damaged("more follows the end of its stream");
        }
        if (status == Z_BUF_ERROR || (status == Z_OK && stream.avail_in == 0 && stream.avail_out > 0))
            return Step::Taken; // everything received is inflated: the rest of the stream is still to come
        if (status != Z_OK)
            return damaged(stream.msg != nullptr ? stream.msg : "zlib error " + std::to_string(status));
    }
}

} // namespace coffer
