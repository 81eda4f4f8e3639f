// SPDX-License-Identifier: MIT
#include "analysis/scan/bank_log_scanner.h"

#include "analysis/scan/view_stream.h"
#include "analysis/text/text_util.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

namespace coffer {
namespace {

enum KeyBit : unsigned { kPlayer = 1, kMoney = 2, kCount = 4, kQuality = 8, kName = 16 };

// The first `byte` in [from, to), else `to`. Tokens are short, too short for a call to memchr to pay,
// and a byte at a time mispredicts where each search ends: eight bytes are tested at once while eight
// can be read before `readable` (the end of the element, often past `to`), and a match past `to` is
// no match. Of the bytes the test marks, the lowest is always a true match. Inlined where it is used:
// a call for each token costs more than the search.
[[gnu::always_inline]] inline const char* FindByte(const char* from, const char* to, const char* readable, char byte) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHighBits = 0x8080808080808080ULL;
    const std::uint64_t pattern = kOnes * static_cast<unsigned char>(byte);
    for (; from < to && readable - from >= 8; from += 8) {
        std::uint64_t bytes = 0;
        std::memcpy(&bytes, from, sizeof bytes);
        bytes ^= pattern;
        if (const std::uint64_t found = (bytes - kOnes) & ~bytes & kHighBits; found != 0)
            return std::min(to, from + __builtin_ctzll(found) / 8);
    }
    while (from < to && *from != byte)
        ++from;
    return std::min(from, to);
}

// Whether the text ends with the key, letter case ignored: the key is lower-case letters only, and a
// byte matches a lower-case letter exactly when it equals it with the bit of 0x20 set.
template <std::size_t kSize> bool EndsWithKey(std::string_view text, const char (&key)[kSize]) {
    constexpr std::size_t kLength = kSize - 1;
    if (text.size() < kLength)
        return false;
    unsigned char folded[kLength];
    std::memcpy(folded, text.data() + text.size() - kLength, kLength);
    for (unsigned char& c : folded)
        c |= 0x20;
    return std::memcmp(folded, key, kLength) == 0;
}

// Which of the keys "player=", "money=", "count=", "qi=" and "name=" the token contains. Every key
// ends in "=" and no two in the same letter, so one look before each "=" finds them all in one pass.
// The token lies in an element that ends at `readable`.
unsigned KeysIn(std::string_view token, const char* readable) {
    unsigned keys = 0;
    const char* const end = token.data() + token.size();
    for (const char* at = FindByte(token.data(), end, readable, '='); at != end;
         at = FindByte(at + 1, end, readable, '=')) {
        const std::string_view before = token.substr(0, static_cast<std::size_t>(at - token.data()));
        switch (before.empty() ? '\0' : FoldCase(before.back())) {
        case 'r':
            keys |= EndsWithKey(before, "player") ? kPlayer : 0u;
            break;
        case 'y':
            keys |= EndsWithKey(before, "money") ? kMoney : 0u;
            break;
        case 't':
            keys |= EndsWithKey(before, "count") ? kCount : 0u;
            break;
        case 'i':
            keys |= EndsWithKey(before, "qi") ? kQuality : 0u;
            break;
        case 'e':
            keys |= EndsWithKey(before, "name") ? kName : 0u;
            break;
        default:
            break;
        }
    }
    return keys;
}

// `out` becomes the raw text without any occurrence of the key (lower case; letter case ignored) and
// without any double quote, "<" and ">". It keeps its memory: an entry's fields are refilled in place.
// The key starts with a letter, which a byte matches when it equals it with the bit of 0x20 set.
void CleanField(std::string_view raw, std::string_view key, std::string& out) {
    out.resize(raw.size()); // written through a pointer, then cut to what was kept
    char* kept = out.data();
    for (std::size_t i = 0; i < raw.size();) {
        const char c = raw[i];
        if ((c | 0x20) == key[0] && raw.size() - i >= key.size() && EqualsNoCase(raw.substr(i, key.size()), key)) {
            i += key.size();
            continue;
        }
        // Every byte is written and the dropped ones overwritten: which bytes go cannot be predicted.
        *kept = c;
        kept += (c != '"') & (c != '<') & (c != '>');
        ++i;
    }
    out.resize(static_cast<std::size_t>(kept - out.data()));
}

// The guild key line: the piece after a piece holding "name=" is the guild name, the piece after one
// holding "realm=" the realm. A key in the last piece has no value and changes nothing.
void ReadGuildKey(std::string_view line, GuildIdentity& guild) {
    std::vector<std::string_view> pieces;
    SplitAt(line, "\"", pieces);
    // Unlike an entry's fields, the value keeps any "<" and ">": the report escapes them.
    // One copy of the piece, edited in place: a value may be as long as the log.
    auto valueOf = [](std::string_view piece, std::string_view key) {
        std::string value;
        AppendWithoutNoCase(piece, key, value);
        std::erase(value, '"');
        value.erase(value.find_last_not_of(' ') + 1); // npos + 1: nothing but spaces, all erased
        value.erase(0, value.find_first_not_of(' '));
        return value;
    };
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (ContainsNoCase(pieces[i], "name=") && i + 1 < pieces.size())
            guild.name = valueOf(pieces[++i], "name=");
        if (ContainsNoCase(pieces[i], "realm=") && i + 1 < pieces.size())
            guild.realm = valueOf(pieces[++i], "realm=");
    }
}

// The length rule keeps "type=" tokens of a nested item element out, as the log is laid out: the
// element's own type ends its start tag (`type="2">`, or `type="4"/>` with money). A bare
// `type="digits"` is the element's type followed by another attribute, never the item's last one.
bool IsTypeToken(std::string_view token, bool hasMoney) {
    if (token.substr(0, 5) != "type=")
        return false;
    if (hasMoney ? token.size() >= 8 : token.size() == 9)
        return true;
    constexpr std::string_view kOpen = "type=\"";
    const std::string_view digits = token.substr(std::min(token.size(), kOpen.size()));
    return token.starts_with(kOpen) && digits.size() >= 2 && digits.back() == '"' &&
           AllDigits(digits.substr(0, digits.size() - 1));
}

struct RawFields {
    explicit RawFields(std::string& itemNameBuffer) : itemName(itemNameBuffer) { itemName.clear(); }

    std::string_view player, money, type, count, quality, ts;
    std::string& itemName; // the scan's buffer, reused from element to element
    bool hasPlayer = false, hasMoney = false, hasType = false, hasCount = false, hasQuality = false,
         hasItemName = false, hasTs = false;
};

// The digits of a ts token, quotes, markup and a closing slash aside; empty when anything else is in
// it, there is no digit or the number does not fit 64 bits.
std::optional<std::uint64_t> ReadTimestamp(std::string_view token) {
    std::uint64_t value = 0;
    bool digits = false;
    for (const char c : token.substr(3)) {
        if (c == '"' || c == '<' || c == '>' || c == '/')
            continue;
        if (c < '0' || c > '9' || __builtin_mul_overflow(value, 10u, &value) ||
            __builtin_add_overflow(value, static_cast<unsigned>(c - '0'), &value))
            return std::nullopt;
        digits = true;
    }
    return digits ? std::optional(value) : std::nullopt;
}

// A hash of the element's lines with every run of whitespace, line breaks included, as one space and
// none at either end: the same element pasted with other indentation or line breaks hashes alike. It
// hashes the element's words, the runs between whitespace, which is the same thing: each word's bytes
// eight at a time, its length in the top byte of the first eight, mixed into two lanes in turn so that
// the multiplications of one do not wait for the other's.
class ElementHash {
  public:
    void addLine(std::string_view line) {
        const char* at = line.data();
        const char* const end = at + line.size();
        // The lanes stay in registers for the line, the next to take a word first: kept in the members
        // and picked by index, each multiplication would also wait for a store and a load.
        Lanes lanes{lanes_[count_ & 1], lanes_[~count_ & 1], count_};
        while (at != end) {
            while (at != end && IsSpace(*at))
                ++at;
            const char* const word = at;
            at = WordEnd(at, end);
            if (at != word)
                addWord(word, static_cast<std::size_t>(at - word), end, lanes);
        }
        count_ = lanes.count;
        lanes_[count_ & 1] = lanes.next;
        lanes_[~count_ & 1] = lanes.other;
    }
    std::uint64_t value() const { return Mix(lanes_[0], lanes_[1] ^ count_); }

  private:
    // The first whitespace byte from `at` on, or `end`. Eight bytes are tested at once for one at or
    // below a space, which whitespace is; the lowest such byte found that way is exact.
    static const char* WordEnd(const char* at, const char* end) {
        constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHighBits = 0x8080808080808080ULL;
        for (; end - at >= 8; at += 8) {
            std::uint64_t bytes = 0;
            std::memcpy(&bytes, at, sizeof bytes);
            if (const std::uint64_t low = (bytes - kOnes * 0x21) & ~bytes & kHighBits; low != 0) {
                at += __builtin_ctzll(low) / 8;
                if (IsSpace(*at))
                    return at;
                break; // a control character that is not whitespace: byte by byte from here
            }
        }
        while (at != end && !IsSpace(*at))
            ++at;
        return at;
    }
    struct Lanes {
        std::uint64_t next, other, count;
    };
    static void addWord(const char* word, std::size_t size, const char* lineEnd, Lanes& lanes) {
        absorb(Bytes(word, size, lineEnd) ^ (std::uint64_t{size} << 56), lanes);
        for (std::size_t at = 8; at < size; at += 8)
            absorb(Bytes(word + at, size - at, lineEnd), lanes);
    }
    // Up to eight bytes (at least one) as one number, zeros after the last. Where the line holds eight
    // bytes from `from` on, they are loaded at once and the extra ones masked off: a copy of a varying
    // length costs several times more.
    static std::uint64_t Bytes(const char* from, std::size_t size, const char* lineEnd) {
        std::uint64_t bytes = 0;
        if (lineEnd - from >= 8) {
            std::memcpy(&bytes, from, sizeof bytes);
            return size >= 8 ? bytes : bytes & ((std::uint64_t{1} << (8 * size)) - 1);
        }
        std::memcpy(&bytes, from, std::min<std::size_t>(size, sizeof bytes));
        return bytes;
    }
    static void absorb(std::uint64_t bytes, Lanes& lanes) {
        const std::uint64_t mixed = Mix(lanes.next, bytes);
        lanes.next = lanes.other;
        lanes.other = mixed;
        ++lanes.count;
    }
    // The two halves of a 128-bit product folded together: every bit of the input reaches every bit.
    static std::uint64_t Mix(std::uint64_t hash, std::uint64_t word) {
        __extension__ using Wide = unsigned __int128;
        const Wide product = static_cast<Wide>(hash ^ word) * 0x9E3779B97F4A7C15ULL;
        return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
    }

    // The lanes start from numbers of the process's own: a text cannot be crafted in advance to hash
    // like another, each such pair costing a comparison of their texts wherever the hash is looked up.
    static std::array<std::uint64_t, 2> Seed() {
        static const std::array<std::uint64_t, 2> seed = [] {
            std::random_device random;
            auto next = [&random] { return (std::uint64_t{random()} << 32) | random(); };
            return std::array<std::uint64_t, 2>{next(), next()};
        }();
        return seed;
    }

    std::array<std::uint64_t, 2> lanes_ = Seed();
    std::uint64_t count_ = 0;
};

// The tags a line holds, from one look at each "<" in it (letter case ignored): one pass instead of a
// search for each tag.
struct LineTags {
    bool guildKey = false, bankLog = false, bankLogEnd = false;
};

LineTags TagsIn(std::string_view line) {
    LineTags tags;
    for (std::size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1)) {
        const std::string_view rest = line.substr(at);
        auto startsWith = [&](std::string_view tag) {
            return rest.size() >= tag.size() && EqualsNoCase(rest.substr(0, tag.size()), tag);
        };
        // The letter after "<" tells which tag it may be.
        switch (rest.size() < 2 ? '\0' : FoldCase(rest[1])) {
        case 'g':
            tags.guildKey = tags.guildKey || startsWith("<guildkey");
            break;
        case 'b':
            tags.bankLog = tags.bankLog || startsWith("<banklog ");
            break;
        case '/':
            tags.bankLogEnd = tags.bankLogEnd || startsWith("</banklog>");
            break;
        default:
            break;
        }
    }
    return tags;
}

// The element's tokens, split at single spaces, one at a time: views into the element, never a list.
class Tokens {
  public:
    explicit Tokens(std::string_view element) : rest_(element) {}
    bool next(std::string_view& token) {
        if (done_)
            return false;
        const char* const end = rest_.data() + rest_.size();
        const auto space = static_cast<std::size_t>(FindByte(rest_.data(), end, end, ' ') - rest_.data());
        token = rest_.substr(0, space);
        done_ = space == rest_.size();
        rest_.remove_prefix(done_ ? rest_.size() : space + 1);
        return true;
    }
    // Drops the spaces before the next token, which would only give empty tokens: indentation is runs
    // of them.
    void skipSpaces() {
        while (!rest_.empty() && rest_[0] == ' ')
            rest_.remove_prefix(1);
    }
    const char* end() const { return rest_.data() + rest_.size(); }

  private:
    std::string_view rest_;
    bool done_ = false;
};

RawFields ReadTokens(std::string_view element, std::string& itemNameBuffer) {
    RawFields raw(itemNameBuffer);
    Tokens tokens(element);
    const char* const end = tokens.end();
    for (std::string_view token; tokens.next(token); tokens.skipSpaces()) {
        if (token.empty())
            continue;
        const unsigned keys = KeysIn(token, end);
        if (keys & kPlayer) {
            raw.player = token;
            raw.hasPlayer = true;
        }
        if (keys & kMoney) {
            raw.hasMoney = token != "money=\"0\"";
            raw.money = raw.hasMoney ? token : std::string_view();
        }
        if (IsTypeToken(token, raw.hasMoney)) {
            raw.type = token;
            raw.hasType = true;
        }
        if (keys & kCount) {
            raw.count = token;
            raw.hasCount = true;
        }
        if (keys & kQuality) {
            raw.quality = token;
            raw.hasQuality = true;
        }
        // The element's own time comes before any nested element's attributes.
        if (!raw.hasTs && token.size() > 3 && token[2] == '=' && EndsWithKey(token.substr(0, 2), "ts")) {
            raw.ts = token;
            raw.hasTs = true;
        }
        if (keys & kName) {
            // A name of several words runs over tokens until one closes its quote.
            raw.itemName.clear();
            AppendWithoutNoCase(token, "name=\"", raw.itemName);
            raw.hasItemName = true;
            bool closed = raw.itemName.find('"') != std::string::npos;
            for (std::string_view next; !closed && tokens.next(next);) {
                raw.itemName += '+';
                raw.itemName.append(next);
                closed = next.find('"') != std::string_view::npos;
            }
        }
    }
    return raw;
}

// Every field of the entry is set anew; the strings keep their memory, so a scan that refills one
// entry allocates nothing once the strings have grown.
void FillEntry(const RawFields& raw, BankLogEntry& entry) {
    const std::pair<bool, std::string*> fields[] = {{raw.hasPlayer, &entry.player},
                                                    {raw.hasMoney, &entry.money},
                                                    {raw.hasType, &entry.type},
                                                    {raw.hasQuality, &entry.quality},
                                                    {raw.hasItemName, &entry.itemName}};
    for (const auto& [has, field] : fields)
        if (!has)
            field->clear();
    if (raw.hasPlayer)
        CleanField(raw.player, "player=", entry.player);
    if (raw.hasMoney)
        CleanField(raw.money, "money=", entry.money);
    if (raw.hasType) {
        CleanField(raw.type, "type=", entry.type);
        std::erase(entry.type, '/');
    }
    if (raw.hasCount)
        CleanField(raw.count, "count=", entry.count);
    else
        entry.count.assign(1, '1'); // the default; an assignment of "1" trips a false warning of GCC 12
    if (raw.hasQuality) {
        CleanField(raw.quality, "qi=", entry.quality);
        entry.quality = QualityWeight(entry.quality);
    }
    if (raw.hasItemName)
        CleanField(raw.itemName, "name=", entry.itemName);
    entry.value.clear();
    entry.itemId.clear();
    entry.ts = raw.hasTs ? ReadTimestamp(raw.ts) : std::nullopt;
}

} // namespace

std::string QualityWeight(std::string_view rawQuality) {
    static constexpr std::array<const char*, 7> kWeights = {"00000", "00001", "00010", "00050",
                                                            "00100", "01000", "10000"};
    if (rawQuality.size() == 1 && rawQuality[0] >= '0' && rawQuality[0] <= '6')
        return kWeights[static_cast<std::size_t>(rawQuality[0] - '0')];
    return std::string(rawQuality);
}

bool SameWords(std::string_view a, std::string_view b) {
    if (a == b)
        return true; // the common case, a page pasted again as it was: compared at once
    auto skipSpaces = [](std::string_view& text) {
        while (!text.empty() && IsSpace(text.front()))
            text.remove_prefix(1);
    };
    auto takeWord = [](std::string_view& text) {
        std::size_t size = 0;
        while (size < text.size() && !IsSpace(text[size]))
            ++size;
        const std::string_view word = text.substr(0, size);
        text.remove_prefix(size);
        return word;
    };
    for (skipSpaces(a), skipSpaces(b); !a.empty() && !b.empty(); skipSpaces(a), skipSpaces(b))
        if (takeWord(a) != takeWord(b))
            return false;
    return a.empty() && b.empty();
}

bool LooksLikeBankLog(std::string_view text) {
    return ContainsNoCase(text, "?xml");
}

void ScanBankLog(LineReader& lines, GuildIdentity& guild, const EntryHandler& onEntry, std::stop_token stop) {
    BankLogEntry entry; // refilled for every element
    ScanBankLog(
        lines, guild, [&entry]() -> BankLogEntry& { return entry; }, onEntry, stop);
}

namespace {

// The scan itself. With text hooks, each element's lines are also gathered with their line breaks.
void Scan(LineReader& lines, GuildIdentity& guild, const std::function<BankLogEntry&()>& nextEntry,
          const EntryHandler& onEntry, const ElementTextHooks* textHooks, std::stop_token stop) {
    std::string_view line;
    auto closes = [](std::string_view text, const LineTags& tags) {
        return tags.bankLogEnd || text.find("/>") != std::string_view::npos;
    };
    std::uint64_t page = 0;
    std::string itemName;
    std::string withBreaks;
    for (std::uint64_t lineStart = lines.offset(); !stop.stop_requested() && lines.readLine(line);
         lineStart = lines.offset()) {
        if (line.find('?') != std::string_view::npos && ContainsNoCase(line, "?xml"))
            ++page;
        LineTags tags = TagsIn(line);
        if (tags.guildKey) {
            ReadGuildKey(line, guild);
            if (textHooks != nullptr && textHooks->guildKey)
                textHooks->guildKey(guild);
        }
        if (!tags.bankLog)
            continue;
        // The element runs until a line closes it with "/>" (its item child) or "</banklog>"; its lines
        // are joined where the reader holds them.
        std::string_view elementText = line;
        if (textHooks != nullptr)
            withBreaks.assign(line);
        ElementHash hash;
        hash.addLine(line);
        bool closed = closes(line, tags);
        for (std::string_view added; !closed && lines.joinNextLine(elementText, added);) {
            tags = TagsIn(added);
            closed = closes(added, tags);
            hash.addLine(added);
            if (textHooks != nullptr)
                withBreaks.append(1, '\n').append(added);
        }
        BankLogEntry& entry = nextEntry();
        FillEntry(ReadTokens(elementText, itemName), entry);
        entry.page = page;
        entry.textHash = hash.value();
        entry.textBegin = lineStart;
        entry.textEnd = lines.offset();
        if (entry.player == "null")
            continue;
        if (textHooks != nullptr)
            textHooks->element(entry, withBreaks, closed);
        else
            onEntry(entry);
    }
}

} // namespace

void ScanBankLog(LineReader& lines, GuildIdentity& guild, const std::function<BankLogEntry&()>& nextEntry,
                 const EntryHandler& onEntry, std::stop_token stop) {
    Scan(lines, guild, nextEntry, onEntry, nullptr, stop);
}

void ScanBankLogElements(std::string_view text, GuildIdentity& guild, const ElementTextHooks& hooks) {
    ViewStream in(text);
    LineReader lines(in);
    BankLogEntry entry;
    Scan(lines, guild, [&entry]() -> BankLogEntry& { return entry; }, {}, &hooks, {});
}

} // namespace coffer
