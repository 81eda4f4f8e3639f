// SPDX-License-Identifier: MIT
#include "ledger/entry_identity.h"

#include "analysis/text/text_util.h"
#include "ledger/ledger_error.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace coffer {
namespace {

bool IsNameChar(char c) {
    return !IsSpace(c) && c != '<' && c != '>' && c != '/' && c != '=' && c != '"' && c != '\'';
}

// Reads the element's tags one by one; any text that is not whitespace between tags, or a tag that is
// not a plain start or end tag with name="value" (or name='value') attributes, makes it unreadable.
class TagReader {
  public:
    using Attributes = std::vector<std::pair<std::string, std::string_view>>;
    // `attributes` holds those of the tag being read, and keeps its memory from one element to the next.
    TagReader(std::string_view text, Attributes& attributes) : text_(text), attributes_(attributes) {}

    // Appends the identity's part for every start tag; false when the text cannot be read so.
    bool readAll(std::string& identity) {
        for (skipSpaces(); at_ < text_.size(); skipSpaces()) {
            if (!take('<'))
                return false;
            if (take('/')) {
                if (name().empty())
                    return false;
                skipSpaces();
                if (!take('>'))
                    return false;
            } else if (!startTag(identity)) {
                return false;
            }
        }
        return identity.size() > 1; // one start tag at least
    }

  private:
    bool startTag(std::string& identity) {
        std::string tag(name());
        if (tag.empty())
            return false;
        std::ranges::transform(tag, tag.begin(), FoldCase);
        Attributes& attributes = attributes_;
        attributes.clear();
        for (;;) {
            const bool spaced = skipSpaces();
            if (take('>') || (take('/') && take('>')))
                break;
            std::string attribute(name());
            if (!spaced || attribute.empty())
                return false;
            skipSpaces();
            if (!take('='))
                return false;
            skipSpaces();
            const std::optional<std::string_view> value = quoted();
            if (!value)
                return false;
            std::ranges::transform(attribute, attribute.begin(), FoldCase);
            if (attribute != "rank" && !value->empty())
                attributes.emplace_back(std::move(attribute), *value);
        }
        const bool itemWithId =
            tag == "item" && std::ranges::any_of(attributes, [](const auto& a) { return a.first == "id"; });
        if (itemWithId)
            std::erase_if(attributes, [](const auto& a) { return a.first != "id"; });
        std::ranges::sort(attributes);
        // Names hold neither spaces nor "=", and each value is preceded by its length: no two lists of
        // attributes give the same bytes.
        identity.append(1, '<').append(tag);
        for (const auto& [attribute, value] : attributes)
            identity.append(1, ' ')
                .append(attribute)
                .append(1, '=')
                .append(std::to_string(value.size()))
                .append(1, ':')
                .append(value);
        return true;
    }

    std::string_view name() {
        const std::size_t start = at_;
        while (at_ < text_.size() && IsNameChar(text_[at_]))
            ++at_;
        return text_.substr(start, at_ - start);
    }

    std::optional<std::string_view> quoted() {
        if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\''))
            return std::nullopt;
        const std::size_t end = text_.find(text_[at_], at_ + 1);
        if (end == std::string_view::npos)
            return std::nullopt;
        const std::string_view value = text_.substr(at_ + 1, end - at_ - 1);
        at_ = end + 1;
        return value;
    }

    bool take(char c) {
        if (at_ >= text_.size() || text_[at_] != c)
            return false;
        ++at_;
        return true;
    }

    bool skipSpaces() {
        const std::size_t start = at_;
        while (at_ < text_.size() && IsSpace(text_[at_]))
            ++at_;
        return at_ > start;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    Attributes& attributes_;
};

} // namespace

std::string EntryIdentity(std::string_view elementText) {
    std::string identity(1, 'A'); // one-letter strings as such: an assignment trips a false warning of GCC 12
    identity.reserve(elementText.size() + 16);
    // A paste makes the identities of all its entries, some twice: the attributes' vector is made once.
    thread_local TagReader::Attributes attributes;
    if (TagReader(elementText, attributes).readAll(identity))
        return identity;
    // Unreadable: the text, every run of whitespace as one space and none at either end.
    identity.assign(1, 'T');
    bool space = false;
    for (const char c : elementText) {
        if (IsSpace(c)) {
            space = identity.size() > 1;
            continue;
        }
        if (space)
            identity += ' ';
        identity += c;
        space = false;
    }
    return identity;
}

std::uint64_t IdentityHash(std::string_view identity) {
    // FNV-1a: fixed constants, so the hashes a ledger file holds stay valid.
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (const char c : identity) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

std::string EntryKey(std::string_view identity, const std::optional<std::int64_t>& ts) {
    // libcrypto's SHA-256 (libpq's own dependency): the processor's SHA instructions where it has them.
    // The digest is looked up once, and one context serves every key of the thread.
    static EVP_MD* const kSha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    thread_local const std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    unsigned char mark[9] = {0};
    std::size_t markSize = 1;
    if (ts) {
        mark[0] = 1;
        for (int i = 0; i < 8; ++i)
            mark[1 + i] = static_cast<unsigned char>(static_cast<std::uint64_t>(*ts) >> (56 - 8 * i));
        markSize = 9;
    }
    std::string key(32, '\0');
    if (kSha256 == nullptr || context == nullptr || EVP_DigestInit_ex(context.get(), kSha256, nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), mark, markSize) != 1 ||
        EVP_DigestUpdate(context.get(), identity.data(), identity.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), reinterpret_cast<unsigned char*>(key.data()), nullptr) != 1)
        throw LedgerError(LedgerErrorKind::Other, "SHA-256 is not available from libcrypto");
    return key;
}

} // namespace coffer
