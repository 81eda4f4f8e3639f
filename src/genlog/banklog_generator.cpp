// SPDX-License-Identifier: MIT
#include "genlog/banklog_generator.h"

#include "analysis/text/web_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace coffer::bench {
namespace {

// ---------------------------------------------------------------------------
// Randomness. splitmix64 is tiny, fast and the same everywhere, so every build
// produces the same sequence. Only integer operations are used from here on;
// no floating point, no <random> distributions. Never draw twice within one
// expression (a * rng.Below(x) + rng.Below(y), f(rng.Next(), rng.Next())):
// compilers evaluate such operands in different orders, and the bytes change.

class Rng {
  public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // [0, n), n > 0. The modulo bias is far below anything a benchmark sees.
    std::uint64_t Below(std::uint64_t n) { return Next() % n; }

    // [lo, hi], lo <= hi.
    std::uint64_t Between(std::uint64_t lo, std::uint64_t hi) { return lo + Below(hi - lo + 1); }

    // true with probability per_mille / 1000.
    bool Chance(unsigned per_mille) { return Below(1000) < per_mille; }

  private:
    std::uint64_t state_;
};

// Independent streams for the roster, the catalogue and the entries, so that
// e.g. asking for more items does not reshuffle the member names.
Rng MakeStream(std::uint64_t seed, std::uint64_t salt) {
    Rng mixer(seed ^ salt);
    return Rng(mixer.Next());
}

constexpr std::uint64_t kMemberSalt = 0x6D656D6265727321ULL;
constexpr std::uint64_t kItemSalt = 0x6974656D73212121ULL;
constexpr std::uint64_t kEntrySalt = 0x656E747269657321ULL;

template <std::size_t N> std::size_t PickIndex(Rng& rng, const std::array<unsigned, N>& weights) {
    unsigned total = 0;
    for (unsigned w : weights)
        total += w;
    std::uint64_t r = rng.Below(total);
    for (std::size_t i = 0; i < N; ++i) {
        if (r < weights[i])
            return i;
        r -= weights[i];
    }
    return N - 1;
}

template <typename T, std::size_t N> const T& PickOne(Rng& rng, const std::array<T, N>& values) {
    return values[rng.Below(N)];
}

// Draws indices in proportion to integer weights; zero-weight slots are never
// drawn.
class WeightedTable {
  public:
    WeightedTable() = default;
    explicit WeightedTable(const std::vector<std::uint64_t>& weights) : weights_(weights) {
        cumulative_.reserve(weights.size());
        for (std::uint64_t w : weights) {
            total_ += w;
            cumulative_.push_back(total_);
        }
    }

    bool Empty() const { return total_ == 0; }
    bool Allows(std::size_t index) const { return weights_[index] != 0; }

    std::size_t Pick(Rng& rng) const {
        const std::uint64_t r = rng.Below(total_);
        const auto it = std::upper_bound(cumulative_.begin(), cumulative_.end(), r);
        return static_cast<std::size_t>(it - cumulative_.begin());
    }

  private:
    std::vector<std::uint64_t> weights_;
    std::vector<std::uint64_t> cumulative_;
    std::uint64_t total_ = 0;
};

// ---------------------------------------------------------------------------
// Text helpers.

void AppendUInt(std::string& out, std::uint64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

std::string XmlAttributeEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        // A raw line break would split the element over two lines.
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '\t':
            out += "&#9;";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                throw std::invalid_argument("control character in guild name or realm");
            }
            out += c;
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Roster.

constexpr std::array<std::string_view, 36> kNameHeads = {
    "al",  "ar",  "bel", "bran", "cor", "da",  "del", "dor", "el",  "en", "fa", "gal",
    "gor", "ha",  "ir",  "ja",   "ka",  "kel", "lo",  "mar", "mor", "na", "or", "pe",
    "ra",  "ren", "sa",  "sel",  "tha", "tor", "ul",  "va",  "wen", "yr", "za", "bro"};

constexpr std::array<std::string_view, 40> kNameTails = {
    "a",   "an",  "ar",   "bek", "da",  "dil", "dor", "e",  "el",  "en", "eth", "gar", "ia",  "is",
    "ith", "ka",  "lan",  "lia", "lin", "lor", "mir", "na", "nor", "ra", "rak", "ric", "ron", "sa",
    "sha", "tar", "thas", "wyn", "ys",  "ze",  "zor", "do", "rin", "mo", "vyn", "ga"};

constexpr std::size_t kMaxNameLength = 12;

struct Member {
    std::string name;
    unsigned rank = 0;
    std::uint64_t activity = 1;
    unsigned deposit_share = 50; // percent of this member's traffic that is deposits
};

void Capitalise(std::string& word) {
    if (!word.empty() && word[0] >= 'a' && word[0] <= 'z')
        word[0] = static_cast<char>(word[0] - 'a' + 'A');
}

bool AcceptableName(const std::string& name, const std::unordered_set<std::string>& taken) {
    return name.size() <= kMaxNameLength && name != "Null" && taken.count(name) == 0;
}

std::string RandomMemberName(Rng& rng, std::size_t syllables) {
    std::string name(PickOne(rng, kNameHeads));
    for (std::size_t i = 1; i < syllables; ++i)
        name += PickOne(rng, kNameTails);
    Capitalise(name);
    return name;
}

// Walks the four-syllable space in order; used only once random draws keep
// colliding, which needs a very large roster.
std::string NextFallbackMemberName(std::uint64_t& cursor, const std::unordered_set<std::string>& taken) {
    const std::uint64_t heads = kNameHeads.size();
    const std::uint64_t tails = kNameTails.size();
    const std::uint64_t space = heads * tails * tails * tails;
    for (; cursor < space; ++cursor) {
        std::uint64_t i = cursor;
        std::string name(kNameHeads[i % heads]);
        i /= heads;
        for (int k = 0; k < 3; ++k, i /= tails)
            name += kNameTails[i % tails];
        Capitalise(name);
        if (AcceptableName(name, taken)) {
            ++cursor;
            return name;
        }
    }
    throw std::logic_error("member name space exhausted");
}

std::vector<Member> MakeRoster(std::size_t count, std::uint64_t seed) {
    Rng rng = MakeStream(seed, kMemberSalt);
    std::vector<Member> roster;
    roster.reserve(count);
    std::unordered_set<std::string> taken;
    taken.reserve(count * 2);
    std::uint64_t fallback_cursor = 0;

    // Syllable counts 1..4; most characters have two or three.
    static constexpr std::array<unsigned, 4> kSyllableWeights = {4, 46, 42, 8};
    // Ranks 1..7; rank 0 is the guild master, handed to the first member.
    static constexpr std::array<unsigned, 7> kRankWeights = {3, 7, 15, 25, 30, 12, 8};

    for (std::size_t m = 0; m < count; ++m) {
        Member member;
        for (int attempt = 0; attempt < 24 && member.name.empty(); ++attempt) {
            std::string candidate = RandomMemberName(rng, 1 + PickIndex(rng, kSyllableWeights));
            if (AcceptableName(candidate, taken))
                member.name = std::move(candidate);
        }
        if (member.name.empty())
            member.name = NextFallbackMemberName(fallback_cursor, taken);
        taken.insert(member.name);

        member.rank = m == 0 ? 0 : static_cast<unsigned>(1 + PickIndex(rng, kRankWeights));
        // Heavy-tailed activity: a few members generate most of the traffic.
        // Each draw is its own statement: the order in which the operands of
        // one expression are evaluated differs between compilers.
        const std::uint64_t activity_scale = std::uint64_t{1} << rng.Below(11);
        member.activity = activity_scale * rng.Between(1, 4);
        const std::uint64_t kind = rng.Below(100);
        if (kind < 10) {
            member.deposit_share = 0; // only ever takes from the bank
        } else if (kind < 20) {
            member.deposit_share = static_cast<unsigned>(rng.Between(90, 100)); // feeds the bank
        } else {
            member.deposit_share = static_cast<unsigned>(rng.Between(25, 75));
        }
        roster.push_back(std::move(member));
    }
    return roster;
}

// ---------------------------------------------------------------------------
// Item catalogue.

struct Noun {
    std::string_view word;
    std::string_view icon;
};

constexpr std::array<Noun, 8> kConsumables = {{{"Potion", "inv_potion"},
                                               {"Elixir", "inv_potion"},
                                               {"Flask", "inv_alchemy_endlessflask"},
                                               {"Draught", "inv_drink"},
                                               {"Bandage", "inv_misc_bandage"},
                                               {"Stew", "inv_misc_food"},
                                               {"Bread", "inv_misc_food"},
                                               {"Tonic", "inv_potion"}}};
constexpr std::array<Noun, 5> kContainers = {{{"Bag", "inv_misc_bag"},
                                              {"Pouch", "inv_misc_bag"},
                                              {"Satchel", "inv_misc_bag"},
                                              {"Sack", "inv_misc_bag"},
                                              {"Pack", "inv_misc_bag"}}};
constexpr std::array<Noun, 10> kWeapons = {{{"Sword", "inv_sword"},
                                            {"Axe", "inv_axe"},
                                            {"Mace", "inv_mace"},
                                            {"Dagger", "inv_weapon_shortblade"},
                                            {"Bow", "inv_weapon_bow"},
                                            {"Staff", "inv_staff"},
                                            {"Spear", "inv_spear"},
                                            {"Blade", "inv_sword"},
                                            {"Hammer", "inv_hammer"},
                                            {"Wand", "inv_wand"}}};
constexpr std::array<Noun, 8> kGems = {{{"Ruby", "inv_jewelcrafting_gem"},
                                        {"Sapphire", "inv_jewelcrafting_gem"},
                                        {"Emerald", "inv_jewelcrafting_gem"},
                                        {"Opal", "inv_misc_gem_opal"},
                                        {"Pearl", "inv_misc_gem_pearl"},
                                        {"Topaz", "inv_misc_gem_topaz"},
                                        {"Garnet", "inv_misc_gem_bloodgem"},
                                        {"Diamond", "inv_misc_gem_diamond"}}};
constexpr std::array<Noun, 12> kArmor = {{{"Helm", "inv_helmet"},
                                          {"Gloves", "inv_gauntlets"},
                                          {"Boots", "inv_boots"},
                                          {"Belt", "inv_belt"},
                                          {"Bracers", "inv_bracer"},
                                          {"Cloak", "inv_misc_cape"},
                                          {"Robe", "inv_chest_cloth"},
                                          {"Shoulders", "inv_shoulder"},
                                          {"Leggings", "inv_pants"},
                                          {"Ring", "inv_jewelry_ring"},
                                          {"Amulet", "inv_jewelry_necklace"},
                                          {"Shield", "inv_shield"}}};
constexpr std::array<Noun, 6> kReagents = {{{"Powder", "inv_misc_dust"},
                                            {"Ink", "inv_inscription_ink"},
                                            {"Candle", "inv_misc_candle"},
                                            {"Salt", "inv_misc_salt"},
                                            {"Oil", "inv_potion"},
                                            {"Dust", "inv_enchant_dust"}}};
constexpr std::array<Noun, 4> kProjectiles = {{{"Arrow", "inv_ammo_arrow"},
                                               {"Shot", "inv_ammo_bullet"},
                                               {"Bolt", "inv_ammo_arrow"},
                                               {"Slug", "inv_ammo_bullet"}}};
constexpr std::array<Noun, 10> kTradeGoods = {{{"Bar", "inv_ingot"},
                                               {"Ore", "inv_ore"},
                                               {"Cloth", "inv_fabric"},
                                               {"Leather", "inv_misc_leatherscrap"},
                                               {"Herb", "inv_misc_herb"},
                                               {"Essence", "inv_enchant_essence"},
                                               {"Thread", "inv_fabric_spool"},
                                               {"Dye", "inv_potion"},
                                               {"Scale", "inv_misc_monsterscales"},
                                               {"Meat", "inv_misc_food_meat"}}};
constexpr std::array<Noun, 4> kGeneric = {{{"Trinket", "inv_misc_trinket"},
                                           {"Curio", "inv_misc_idol"},
                                           {"Token", "inv_misc_token"},
                                           {"Figurine", "inv_misc_statue"}}};
constexpr std::array<Noun, 6> kRecipes = {{{"Recipe", "inv_scroll"},
                                           {"Pattern", "inv_scroll"},
                                           {"Plans", "inv_scroll"},
                                           {"Schematic", "inv_scroll"},
                                           {"Formula", "inv_scroll"},
                                           {"Manual", "inv_misc_book"}}};
constexpr std::array<Noun, 3> kMoney = {
    {{"Coin", "inv_misc_coin"}, {"Doubloon", "inv_misc_coin"}, {"Medallion", "inv_jewelry_talisman"}}};
constexpr std::array<Noun, 2> kQuivers = {{{"Quiver", "inv_misc_quiver"}, {"Bandolier", "inv_misc_ammo_bullet"}}};
constexpr std::array<Noun, 5> kQuestItems = {{{"Letter", "inv_letter"},
                                              {"Journal", "inv_misc_book"},
                                              {"Relic", "inv_misc_idol"},
                                              {"Idol", "inv_misc_idol"},
                                              {"Tablet", "inv_misc_stonetablet"}}};
constexpr std::array<Noun, 3> kKeys = {
    {{"Key", "inv_misc_key"}, {"Keyring", "inv_misc_key"}, {"Lockpick", "inv_misc_key"}}};
constexpr std::array<Noun, 3> kPermanents = {
    {{"Inscription", "inv_misc_armorkit"}, {"Spellthread", "inv_fabric_spool"}, {"Kit", "inv_misc_armorkit"}}};
constexpr std::array<Noun, 6> kMiscItems = {{{"Box", "inv_box"},
                                             {"Lantern", "inv_misc_lantern"},
                                             {"Toy", "inv_misc_toy"},
                                             {"Egg", "inv_egg"},
                                             {"Whistle", "inv_misc_whistle"},
                                             {"Tabard", "inv_shirt_guildtabard"}}};

struct ItemClass {
    const Noun* nouns;
    std::size_t noun_count;
    unsigned stack;         // largest stack; 1 means the item never stacks
    bool gear;              // weapons and armour can be legendary or artifact
    bool single_word_names; // materials are often called just "Thornleaf"
};

template <std::size_t N>
constexpr ItemClass MakeClass(const std::array<Noun, N>& nouns, unsigned stack, bool gear, bool single) {
    return ItemClass{nouns.data(), N, stack, gear, single};
}

// Indexed by the class number written to the item's type attribute.
const std::array<ItemClass, 16> kItemClasses = {
    MakeClass(kConsumables, 20, false, false),  // 0 consumable
    MakeClass(kContainers, 1, false, false),    // 1 container
    MakeClass(kWeapons, 1, true, false),        // 2 weapon
    MakeClass(kGems, 20, false, true),          // 3 gem
    MakeClass(kArmor, 1, true, false),          // 4 armour
    MakeClass(kReagents, 20, false, true),      // 5 reagent
    MakeClass(kProjectiles, 200, false, false), // 6 projectile
    MakeClass(kTradeGoods, 20, false, true),    // 7 trade goods
    MakeClass(kGeneric, 1, false, false),       // 8 generic
    MakeClass(kRecipes, 1, false, false),       // 9 recipe
    MakeClass(kMoney, 20, false, false),        // 10 money
    MakeClass(kQuivers, 1, false, false),       // 11 quiver
    MakeClass(kQuestItems, 1, false, false),    // 12 quest
    MakeClass(kKeys, 1, false, false),          // 13 key
    MakeClass(kPermanents, 5, false, false),    // 14 permanent
    MakeClass(kMiscItems, 1, false, false),     // 15 miscellaneous
};

constexpr std::array<unsigned, 16> kClassWeights = {180, 30, 110, 60, 200, 50, 20, 220, 20, 50, 5, 5, 15, 5, 20, 10};

// Poor, common, uncommon, rare, epic, legendary, artifact.
constexpr std::array<unsigned, 7> kQualityWeights = {80, 400, 280, 160, 62, 14, 4};
// How often an item of each quality passes through the bank, relatively. The
// few legendary and artifact pieces get passed around between raiders.
constexpr std::array<unsigned, 7> kQualityTraffic = {6, 12, 8, 4, 3, 4, 4};

constexpr std::array<std::string_view, 30> kAdjectives = {
    "Heavy",  "Light",   "Runed",  "Fine",      "Sturdy",     "Ancient", "Polished", "Gleaming", "Worn",   "Tarnished",
    "Savage", "Blessed", "Cursed", "Jagged",    "Reinforced", "Elder",   "Frozen",   "Burning",  "Silent", "Hollow",
    "Grim",   "Noble",   "Crude",  "Exquisite", "Shadowed",   "Radiant", "Mystic",   "Rugged",   "Gilded", "Stout"};

constexpr std::array<std::string_view, 30> kCompoundHeads = {
    "Nether", "Frost", "Ash",   "Storm", "Iron",   "Moon",    "Sun",    "Thorn", "Star", "Shadow",
    "Blood",  "Dusk",  "Ember", "Stone", "Silver", "Gold",    "Dream",  "Wind",  "Fire", "Earth",
    "Sea",    "Void",  "Rune",  "Mist",  "Bone",   "Glimmer", "Copper", "Briar", "Oak",  "Grave"};

constexpr std::array<std::string_view, 25> kCompoundTails = {
    "weave", "steel", "leaf",    "bloom",  "root",    "silk",  "hide", "cap",  "thistle",
    "vine",  "shard", "dust",    "scale",  "forge",   "cloth", "bark", "fang", "wing",
    "moss",  "petal", "crystal", "thread", "blossom", "wood",  "glass"};

struct Item {
    std::uint32_t id = 0;
    std::string name;
    std::string icon;
    std::string subtype;
    unsigned quality = 1;
    unsigned item_class = 7;
    unsigned stack = 1;
};

std::string Compound(std::size_t head, std::size_t tail) {
    std::string word(kCompoundHeads[head]);
    word += kCompoundTails[tail];
    return word;
}

std::string RandomItemName(Rng& rng, const ItemClass& cls, const Noun& noun) {
    static constexpr std::array<unsigned, 4> kWordCountWeights = {15, 40, 30, 15};
    std::size_t words = 1 + PickIndex(rng, kWordCountWeights);
    if (words == 1 && !cls.single_word_names)
        words = 2;

    const std::size_t head = rng.Below(kCompoundHeads.size());
    const std::size_t tail = rng.Below(kCompoundTails.size());
    const std::string compound = Compound(head, tail);
    const std::string_view adjective = PickOne(rng, kAdjectives);
    std::string name;
    switch (words) {
    case 1:
        name = compound;
        break;
    case 2:
        name = rng.Chance(500) ? compound : std::string(adjective);
        name += ' ';
        name += noun.word;
        break;
    case 3:
        name = std::string(adjective) + ' ' + compound + ' ' + std::string(noun.word);
        break;
    default:
        name = std::string(adjective) + ' ' + std::string(noun.word) + " of " + compound;
        break;
    }
    return name;
}

// Walks "Adjective Compound Noun" names in order for the given class; needed
// only when random draws keep colliding.
std::string NextFallbackItemName(std::uint64_t& cursor, const ItemClass& cls,
                                 const std::unordered_set<std::string>& taken) {
    const std::uint64_t adjectives = kAdjectives.size();
    const std::uint64_t heads = kCompoundHeads.size();
    const std::uint64_t tails = kCompoundTails.size();
    const std::uint64_t space = adjectives * heads * tails * cls.noun_count;
    for (; cursor < space; ++cursor) {
        std::uint64_t i = cursor;
        const std::size_t a = i % adjectives;
        i /= adjectives;
        const std::size_t h = i % heads;
        i /= heads;
        const std::size_t t = i % tails;
        i /= tails;
        std::string name =
            std::string(kAdjectives[a]) + ' ' + Compound(h, t) + ' ' + std::string(cls.nouns[i % cls.noun_count].word);
        if (taken.count(name) == 0) {
            ++cursor;
            return name;
        }
    }
    throw std::logic_error("item name space exhausted");
}

struct Catalogue {
    std::vector<Item> items;
    WeightedTable traffic;
};

Catalogue MakeCatalogue(std::size_t count, std::uint64_t seed) {
    Rng rng = MakeStream(seed, kItemSalt);
    Catalogue catalogue;
    catalogue.items.reserve(count);
    std::vector<std::uint64_t> traffic;
    traffic.reserve(count);
    std::unordered_set<std::string> taken;
    taken.reserve(count * 2);
    std::array<std::uint64_t, 16> fallback_cursors{};

    std::uint64_t next_id = rng.Between(700, 799);
    for (std::size_t n = 0; n < count; ++n) {
        Item item;
        item.id = static_cast<std::uint32_t>(next_id);
        next_id += rng.Between(1, 9);

        item.item_class = static_cast<unsigned>(PickIndex(rng, kClassWeights));
        const ItemClass& cls = kItemClasses[item.item_class];
        const Noun& noun = cls.nouns[rng.Below(cls.noun_count)];

        for (int attempt = 0; attempt < 16 && item.name.empty(); ++attempt) {
            std::string candidate = RandomItemName(rng, cls, noun);
            if (taken.count(candidate) == 0)
                item.name = std::move(candidate);
        }
        if (item.name.empty())
            item.name = NextFallbackItemName(fallback_cursors[item.item_class], cls, taken);
        taken.insert(item.name);

        item.icon = std::string(noun.icon);
        item.icon += '_';
        const std::uint64_t icon_number = rng.Between(1, 40);
        if (icon_number < 10)
            item.icon += '0';
        AppendUInt(item.icon, icon_number);

        item.quality = static_cast<unsigned>(PickIndex(rng, kQualityWeights));
        if (!cls.gear && item.quality > 4)
            item.quality = 4;

        item.stack = cls.stack;
        if (item.item_class == 7 && rng.Chance(400))
            item.stack = 10;
        if (cls.gear)
            AppendUInt(item.subtype, rng.Below(11));

        std::uint64_t weight = kQualityTraffic[item.quality] * (std::uint64_t{1} << rng.Below(7));
        if (item.stack > 1)
            weight *= 3;
        traffic.push_back(weight);
        catalogue.items.push_back(std::move(item));
    }
    catalogue.traffic = WeightedTable(traffic);
    return catalogue;
}

// ---------------------------------------------------------------------------
// Entries.

enum EntryType : unsigned {
    kItemDeposit = 1,
    kItemWithdrawal = 2,
    kItemMove = 3,
    kGoldDeposit = 4,
    kGoldWithdrawal = 5,
    kRepair = 6,
};

// Per mille of entries of each type, in type order 1..6.
constexpr std::array<unsigned, 6> kTypeMix = {350, 350, 50, 120, 80, 50};

// Bank tabs 0..5; the first ones see most of the traffic.
constexpr std::array<unsigned, 6> kTabWeights = {30, 25, 18, 12, 9, 6};

constexpr std::uint64_t kNewestTimestampMs = 1231000000000ULL; // early January 2009
constexpr std::uint64_t kTimestampFloorMs = 1000;
constexpr std::uint64_t kMsPerDay = 86'400'000;
constexpr unsigned kNullPlayerPerMille = 1;
constexpr unsigned kSamePlayerAgainPerMille = 300;
// The armory now and then writes an attribute after an item entry's type: type="1" unknown="1">.
constexpr unsigned kTrailingAttributePerMille = 20;

constexpr std::uint64_t kCopperPerGold = 10000;

std::uint64_t GoldDepositAmount(Rng& rng) {
    static constexpr std::array<std::uint64_t, 16> kRoundGold = {1,  2,  5,   10,  15,  20,  25,  30,
                                                                 50, 75, 100, 150, 200, 250, 500, 1000};
    static constexpr std::array<unsigned, 16> kRoundWeights = {3, 4, 8, 14, 6, 10, 9, 6, 12, 4, 10, 3, 4, 3, 2, 1};
    const std::uint64_t kind = rng.Below(100);
    if (kind < 10)
        return rng.Between(100, kCopperPerGold - 1); // loose change
    if (kind < 65)
        return kRoundGold[PickIndex(rng, kRoundWeights)] * kCopperPerGold;
    const std::uint64_t gold = rng.Between(1, 300);
    return gold * kCopperPerGold + rng.Below(kCopperPerGold);
}

std::uint64_t GoldWithdrawalAmount(Rng& rng) {
    static constexpr std::array<std::uint64_t, 9> kRoundGold = {5, 10, 20, 25, 35, 50, 100, 200, 500};
    static constexpr std::array<unsigned, 9> kRoundWeights = {6, 12, 10, 12, 8, 10, 6, 3, 1};
    if (rng.Chance(750))
        return kRoundGold[PickIndex(rng, kRoundWeights)] * kCopperPerGold;
    const std::uint64_t gold = rng.Between(1, 200);
    return gold * kCopperPerGold + rng.Below(kCopperPerGold);
}

std::uint64_t RepairAmount(Rng& rng) {
    // Mostly a few gold, now and then a wipe night's worth.
    const std::uint64_t a = rng.Below(60);
    const std::uint64_t b = rng.Below(60);
    return a * b * 100 + rng.Between(100, 9999);
}

class EntryWriter {
  public:
    explicit EntryWriter(const BankLogGeneratorOptions& options)
        : options_(options), roster_(MakeRoster(options.member_count, options.seed)),
          catalogue_(MakeCatalogue(options.item_count, options.seed)), rng_(MakeStream(options.seed, kEntrySalt)) {
        BuildMemberTables();
        BuildHeader();
    }

    std::size_t PageCount() const {
        const std::size_t full = options_.entry_count / kBankLogEntriesPerPage;
        const bool partial = options_.entry_count % kBankLogEntriesPerPage != 0;
        return std::max<std::size_t>(1, full + (partial ? 1 : 0));
    }

    // Appends the next page (header, entries, footer) to out.
    void AppendNextPage(std::string& out) {
        out += header_;
        out += overlap_;
        const std::size_t end = std::min(options_.entry_count, written_ + kBankLogEntriesPerPage);
        const std::size_t overlapFrom = end - std::min(options_.overlap_entries, end - written_);
        std::size_t overlapStart = std::string::npos;
        while (written_ < end) {
            if (written_ == overlapFrom)
                overlapStart = out.size();
            AppendEntry(out);
            ++written_;
        }
        overlap_ = overlapStart == std::string::npos ? std::string() : out.substr(overlapStart);
        out += "    </banklogs>\n  </guildBank>\n</page>\n";
    }

  private:
    void BuildMemberTables() {
        std::vector<std::uint64_t> deposit;
        std::vector<std::uint64_t> withdraw;
        std::vector<std::uint64_t> move;
        std::vector<std::uint64_t> anyone;
        for (const Member& m : roster_) {
            deposit.push_back(m.activity * m.deposit_share);
            withdraw.push_back(m.activity * (100 - m.deposit_share));
            move.push_back(m.rank <= 2 ? m.activity : 0); // officers sort the tabs
            anyone.push_back(m.activity);
        }
        anyone_ = WeightedTable(anyone);
        depositors_ = WeightedTable(deposit);
        withdrawers_ = WeightedTable(withdraw);
        movers_ = WeightedTable(move);
        // Tiny rosters may lack a depositor, withdrawer or officer.
        if (depositors_.Empty())
            depositors_ = anyone_;
        if (withdrawers_.Empty())
            withdrawers_ = anyone_;
        if (movers_.Empty())
            movers_ = anyone_;
    }

    void BuildHeader() {
        if (options_.guild_name.empty() || options_.realm.empty()) {
            throw std::invalid_argument("guild name and realm must not be empty");
        }
        // Form encoding as the armory uses it in nameUrl/realmUrl.
        const std::string name_url = PercentEncode(options_.guild_name, SpaceAs::Plus);
        const std::string realm_url = PercentEncode(options_.realm, SpaceAs::Plus);
        header_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<?xml-stylesheet type=\"text/xsl\" href=\"/_layout/guild/bank-log.xsl\"?>\n"
                  "<page globalSearch=\"1\" lang=\"en_us\" requestUrl=\"/guild-bank-log.xml\">\n"
                  "  <guildKey factionId=\"0\" name=\"";
        header_ += XmlAttributeEscape(options_.guild_name);
        header_ += "\" nameUrl=\"";
        header_ += XmlAttributeEscape(name_url);
        header_ += "\" realm=\"";
        header_ += XmlAttributeEscape(options_.realm);
        header_ += "\" realmUrl=\"";
        header_ += XmlAttributeEscape(realm_url);
        header_ += "\" url=\"";
        header_ += XmlAttributeEscape("r=" + realm_url + "&n=" + name_url);
        header_ += "\"/>\n"
                   "  <guildBank>\n"
                   "    <banklogs>\n";
    }

    const WeightedTable& TableFor(unsigned type) const {
        switch (type) {
        case kItemDeposit:
        case kGoldDeposit:
            return depositors_;
        case kItemWithdrawal:
        case kGoldWithdrawal:
            return withdrawers_;
        case kItemMove:
            return movers_;
        default:
            return anyone_;
        }
    }

    void AdvanceClock(bool same_player) {
        const std::uint64_t gap_ms = (same_player ? rng_.Between(1, 6) : rng_.Between(4, 90)) * 1000;
        if (timestamp_ms_ > gap_ms + kTimestampFloorMs) {
            timestamp_ms_ -= gap_ms;
        } else if (timestamp_ms_ > 1) {
            timestamp_ms_ -= 1;
        }
    }

    // Entry i of n at newest - i * span / n, without overflowing 64 bits.
    std::uint64_t SpreadTimestamp() const {
        const std::uint64_t span = options_.spread_days * kMsPerDay;
        const std::uint64_t n = options_.entry_count;
        return kNewestTimestampMs - (span / n * written_ + span % n * written_ / n);
    }

    void AppendEntry(std::string& out) {
        const unsigned type = static_cast<unsigned>(1 + PickIndex(rng_, kTypeMix));
        const bool null_player = rng_.Chance(kNullPlayerPerMille);

        const WeightedTable& table = TableFor(type);
        std::size_t member = 0;
        bool same_player = false;
        if (!null_player) {
            if (last_member_ < roster_.size() && table.Allows(last_member_) && rng_.Chance(kSamePlayerAgainPerMille)) {
                member = last_member_;
                same_player = true;
            } else {
                member = table.Pick(rng_);
            }
        }
        const unsigned rank = null_player ? static_cast<unsigned>(rng_.Between(3, 7)) : roster_[member].rank;
        if (written_ > 0)
            AdvanceClock(same_player);
        last_member_ = null_player ? roster_.size() : member;

        out += "      <banklog dtab=\"";
        if (type <= kItemMove) {
            const std::size_t tab = PickIndex(rng_, kTabWeights);
            AppendUInt(out, tab);
            out += "\" money=\"0";
            if (type == kItemMove) {
                out += "\" otab=\"";
                AppendUInt(out, (tab + rng_.Between(1, kTabWeights.size() - 1)) % kTabWeights.size());
            }
        } else {
            out += "\" money=\"";
            std::uint64_t money = 0;
            if (type == kGoldDeposit) {
                money = GoldDepositAmount(rng_);
            } else if (type == kGoldWithdrawal) {
                money = GoldWithdrawalAmount(rng_);
            } else {
                money = RepairAmount(rng_);
            }
            AppendUInt(out, money);
        }
        out += "\" player=\"";
        if (null_player) {
            out += "null";
        } else {
            out += roster_[member].name;
        }
        out += "\" rank=\"";
        AppendUInt(out, rank);
        out += "\" ts=\"";
        AppendUInt(out, options_.spread_days == 0 ? timestamp_ms_ : SpreadTimestamp());
        out += "\" type=\"";
        AppendUInt(out, type);
        if (type > kItemMove) {
            out += "\"/>\n";
            return;
        }
        if (rng_.Chance(kTrailingAttributePerMille))
            out += "\" unknown=\"1";
        out += "\">\n";

        const Item& item = catalogue_.items[catalogue_.traffic.Pick(rng_)];
        std::uint64_t count = 1;
        if (item.stack > 1)
            count = (type == kItemMove || rng_.Chance(450)) ? item.stack : rng_.Between(1, item.stack);
        out += "        <item count=\"";
        AppendUInt(out, count);
        out += "\" icon=\"";
        out += item.icon;
        out += "\" id=\"";
        AppendUInt(out, item.id);
        out += "\" name=\"";
        out += item.name;
        out += "\" qi=\"";
        AppendUInt(out, item.quality);
        out += "\" slot=\"";
        AppendUInt(out, rng_.Below(98));
        out += "\" subtype=\"";
        out += item.subtype;
        out += "\" type=\"";
        AppendUInt(out, item.item_class);
        out += "\"/>\n      </banklog>\n";
    }

    const BankLogGeneratorOptions& options_;
    std::vector<Member> roster_;
    Catalogue catalogue_;
    Rng rng_;
    WeightedTable anyone_;
    WeightedTable depositors_;
    WeightedTable withdrawers_;
    WeightedTable movers_;
    std::string header_;
    std::string overlap_; // the entries the next page repeats
    std::size_t written_ = 0;
    std::size_t last_member_ = static_cast<std::size_t>(-1);
    std::uint64_t timestamp_ms_ = kNewestTimestampMs;
};

void CheckOptions(const BankLogGeneratorOptions& options) {
    if (options.member_count == 0 || options.member_count > kMaxGeneratedMembers) {
        throw std::invalid_argument("member count must be between 1 and " + std::to_string(kMaxGeneratedMembers));
    }
    if (options.item_count == 0 || options.item_count > kMaxGeneratedItems) {
        throw std::invalid_argument("item count must be between 1 and " + std::to_string(kMaxGeneratedItems));
    }
    if (options.guild_name.empty() || options.realm.empty()) {
        throw std::invalid_argument("guild name and realm must not be empty");
    }
    if (options.overlap_entries > kBankLogEntriesPerPage) {
        throw std::invalid_argument("overlap must be at most " + std::to_string(kBankLogEntriesPerPage) + " entries");
    }
    if (options.spread_days > kMaxSpreadDays) {
        throw std::invalid_argument("spread must be at most " + std::to_string(kMaxSpreadDays) + " days");
    }
}

} // namespace

std::string GenerateBankLog(const BankLogGeneratorOptions& options) {
    CheckOptions(options);
    EntryWriter writer(options);
    std::string out;
    out.reserve(options.entry_count * 200 + writer.PageCount() * 600);
    for (std::size_t page = 0; page < writer.PageCount(); ++page)
        writer.AppendNextPage(out);
    return out;
}

void WriteBankLog(std::ostream& out, const BankLogGeneratorOptions& options) {
    CheckOptions(options);
    EntryWriter writer(options);
    std::string buffer;
    for (std::size_t page = 0; page < writer.PageCount() && out; ++page) {
        buffer.clear();
        writer.AppendNextPage(buffer);
        out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    }
}

} // namespace coffer::bench
