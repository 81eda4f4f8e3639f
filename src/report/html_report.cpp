// SPDX-License-Identifier: MIT
#include "report/html_report.h"

#include "analysis/lookup/site_addresses.h"
#include "analysis/tables/cell_number.h"
#include "analysis/text/web_text.h"
#include "report/list_sort.h"

#include <array>
#include <vector>

namespace coffer {
namespace {

enum class Ranking {
    None, // the order the previous section left
    HighestFirst,
    LowestFirst,
    LargestPositiveFirst, // lowest first when the column holds a negative cell, else highest first
};

struct MemberSection {
    int number;
    const char* heading;
    Ranking ranking;
    int key;
    char sign;
    bool nonZero;
    char icon;
    const char* phrase;
    const char* emptyText;
};

constexpr const char* kNoneFound = "None found";
constexpr const char* kNoneFoundLookup = "None found (try enabling Lorehold lookup)";

// The member sections in the order they are computed: each pair's second section scans the order
// its first one left.
constexpr std::array<MemberSection, 17> kMemberSections = {{
    {9, "<BR><BR><b><font color=green>Most Deposits</b></font><BR>", Ranking::HighestFirst, kDeposits, '+', false, '1',
     " deposits - <a href='", kNoneFound},
    {10, "<BR><BR><font color=red><b>Most Withdrawals</b></font><BR>", Ranking::HighestFirst, kWithdrawals, '+', false,
     '2', " withdrawals - <a href='", kNoneFound},
    {11, "<font color=Green><BR><BR><b>Positive Withdrawal Difference</b></font><BR>", Ranking::LargestPositiveFirst,
     kCountDifference, '+', false, '1', " difference in deposits - <a href='", kNoneFound},
    {12, "<font color=Red><BR><BR><b>Negative Withdrawal Difference</b></font><BR>", Ranking::None, kCountDifference,
     '-', false, '2', " difference in deposits - <a href='", kNoneFound},
    {13, "<BR><BR><b><font color=Green>Highest Quality Deposits</b></font><BR>", Ranking::HighestFirst, kDepositQuality,
     '+', true, '1', " total quality deposits - <a href='", kNoneFound},
    {14, "<BR><BR><b><font color=Red>Highest Quality Withdrawals</b></font><BR>", Ranking::HighestFirst,
     kWithdrawlQuality, '+', true, '2', " total quality withdrawals - <a href='", kNoneFound},
    {15, "<font color=Green><BR><BR><b>Positive Quality Difference</b></font><BR>", Ranking::LargestPositiveFirst,
     kQualityDifference, '+', true, '1', " difference in quality - <a href='", kNoneFound},
    {16, "<font color=Red><BR><BR><b>Negative Quality Difference</b></font><BR>", Ranking::None, kQualityDifference,
     '-', true, '2', " difference in quality - <a href='", kNoneFound},
    {17, "<BR><BR><b><font color=green>Highest Value Deposits (items only)</font></b><BR>", Ranking::HighestFirst,
     kDepositValue, '+', true, '1', " total value deposits - <a href='", kNoneFoundLookup},
    {18, "<BR><BR><b><font color=red>Highest Value Withdrawals (items only)</b></font><BR>", Ranking::HighestFirst,
     kWithdrawlValue, '+', true, '2', " total value withdrawals - <a href='", kNoneFoundLookup},
    {19, "<font color=Green><BR><BR><b>Positive Total Value Deposits</b></font><BR>", Ranking::LargestPositiveFirst,
     kValueDifference, '+', true, '1', " difference in value - <a href='", kNoneFoundLookup},
    {20, "<font color=Red><BR><BR><b>Negative Total Value Deposits</b></font><BR>", Ranking::None, kValueDifference,
     '-', true, '2', " difference in value - <a href='", kNoneFoundLookup},
    {1, "<font color=Green><BR><BR><b>Highest Gold Deposits</b></font><BR>", Ranking::HighestFirst, kGoldDeposits, '+',
     true, '4', " total gold deposits - <a href='", kNoneFound},
    // Withdrawals and repairs are negative: lowest first lists the largest amounts first.
    {2, "<font color=Red><BR><BR><b>Highest Gold Withdrawals</b></font><BR>", Ranking::LowestFirst, kGoldWithdrawls,
     '-', true, '5', " total gold withdrawals - <a href='", kNoneFound},
    {3, "<font color=Red><BR><BR><b>Highest Gold Repair Bill</b></font><BR>", Ranking::LowestFirst, kRepairs, '-', true,
     '6', " total gold repairs - <a href='", kNoneFound},
    {4,
     "<font color=Green><BR><BR><b>Members with positive overall values</b></font><BR>These players give more than "
     "they take.  Consider rewarding them for their effort.<BR>",
     Ranking::LargestPositiveFirst, kTotalValue, '+', true, '4', " overall positive contributions - <a href='",
     kNoneFound},
    {5,
     "<font color=Red><BR><BR><b>Members with negative overall values</b></font><BR>These players take more than "
     "they give.  This is normal in a guild and may not be deliberate, but be wary of particularly high numbers "
     "that could identify a bank ninja.<BR>",
     Ranking::None, kTotalValue, '-', true, '5', " overall negative contributions - <a href='", kNoneFound},
}};

constexpr const char* kNinjaHeading =
    "<font color=Red><BR><BR><b>NINJA LIST</b></font><BR>These players have have not deposited anything, and have "
    "only withdrawn.  However, we suggest doing more research before you punish them or gkick them.  It could be "
    "that they made many deposits that are not included in your current log, or they are an alt and their main has "
    "made deposits.<BR>";
constexpr const char* kNinjaPhrase = " overall gold and item withdrawls with zero deposits - <a href='";
constexpr const char* kItemsDepositedHeading =
    "<font color=Green><BR><BR><b>Most Valuable Items Deposited</b></font><BR>";
constexpr const char* kItemsWithdrawnHeading =
    "<font color=Red><BR><BR><b>Most Valuable Items Withdrawn</b></font><BR>";
constexpr const char* kQualityNote =
    "<BR><i>Using item quality instead of value.  Turn on Lorehold lookup for a more accurate result</i>";

bool ColumnHoldsNegative(const StatsTable& table, int column) {
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        if (table.cell(row, static_cast<std::size_t>(column)).find('-') != std::string::npos)
            return true;
    return false;
}

void Rank(StatsTable& table, Ranking ranking, int column) {
    switch (ranking) {
    case Ranking::None:
        break;
    case Ranking::HighestFirst:
        SortHighestFirst(table, column);
        break;
    case Ranking::LowestFirst:
        SortLowestFirst(table, column);
        break;
    case Ranking::LargestPositiveFirst:
        if (ColumnHoldsNegative(table, column))
            SortLowestFirst(table, column);
        else
            SortHighestFirst(table, column);
        break;
    }
}

class ReportWriter {
  public:
    ReportWriter(const GuildStats& stats, const ReportSettings& settings)
        : armoryBase_(EscapeHtmlText(settings.armoryBase)),
          itemDatabaseBase_(EscapeHtmlText(settings.itemDatabaseBase)), realm_(stats.guild.realm) {}

    // Each row is appended to its section's text, piece by piece: a report of many members is built
    // without a string for every piece of every row.
    void icon(std::string& text, char digit) const {
        text += "<img src='";
        text += armoryBase_;
        text += "/images/guildbank/transaction/type";
        text += digit;
        text += ".gif'>";
    }

    // The member link that ends every row: "<a href='" is the end of the row's phrase.
    void memberLink(std::string& text, std::string_view name) const {
        text += ReportMemberAddress(armoryBase_, name, realm_);
        text += "'>";
        text += EscapeHtmlText(name);
        text += "</a><BR>";
    }

    void memberRow(std::string& text, const StatsTable& members, std::size_t row, int key, char iconDigit,
                   const char* phrase) const {
        icon(text, iconDigit);
        text += Number(members, row, key);
        text += phrase;
        memberLink(text, members.cell(row, kCharacter));
    }

    void ninjaRow(std::string& text, const StatsTable& members, std::size_t row) const {
        text += "<img src='";
        text += armoryBase_;
        text += "/qel-icons/_images/21x21/inv_helmet_27.png'>";
        text += Number(members, row, kTotalValue);
        text += kNinjaPhrase;
        memberLink(text, members.cell(row, kCharacter));
    }

    // An item row shows either the item's value or, in the quality fallback, its quality.
    void itemRow(std::string& text, const StatsTable& items, std::size_t row, char iconDigit, bool byQuality) const {
        const std::string_view name = items.cell(row, kItem);
        const std::string_view itemId = items.cell(row, kItemNumber);
        icon(text, itemId.empty() ? '2' : iconDigit);
        text += "<a href='";
        text +=
            itemId.empty() ? ItemSearchAddress(itemDatabaseBase_, name) : ItemPageAddress(itemDatabaseBase_, itemId);
        text += "'>";
        text += EscapeHtmlText(name);
        text += "</a> ";
        text += EscapeHtmlText(items.cell(row, byQuality ? kQuality : kItemValue));
        text += byQuality ? " quality - <a href='" : " gold - <a href='";
        memberLink(text, items.cell(row, kItemMember));
    }

    static std::string Number(const StatsTable& table, std::size_t row, int column) {
        return WideText(RoundedValue(table.cell(row, static_cast<std::size_t>(column))));
    }

  private:
    std::string armoryBase_, itemDatabaseBase_; // escaped like any other text of the report
    std::string realm_;
};

std::string Balances(const StatsTable& members) {
    struct Balance {
        const char* label;
        std::vector<int> columns;
    };
    const Balance balances[] = {{"Deposit Balance: ", {kCountDifference}},
                                {"Quality Balance: ", {kQualityDifference}},
                                {"Value Balance: ", {kValueDifference}},
                                {"Gold Balance: ", {kGoldDeposits, kGoldWithdrawls, kRepairs}},
                                {"Overall Balance: ", {kTotalValue}}};
    std::string text;
    for (const Balance& balance : balances) {
        WideAmount sum = 0; // of the members' totals, which together stay far within 128 bits
        for (std::size_t row = 0; row < members.rowCount(); ++row)
            for (int column : balance.columns)
                sum += RoundedValue(members.cell(row, static_cast<std::size_t>(column)));
        text += balance.label + WideText(sum) + "<BR>";
    }
    return text + "<BR>";
}

// One end of the period line; an open end says so.
std::string PeriodEnd(const std::string& date, const char* open) {
    return date.empty() ? open : EscapeHtmlText(date);
}

} // namespace

SectionLimit ParseSectionLimit(std::string_view text) {
    if (!ParseNumberText(text))
        return {0, SectionLimit::Fault::NotANumber};
    // A number too long for 64 bits is out of range as well.
    const auto value = ParseWhole(text);
    if (!value || *value < kMinSectionLimit || *value > kMaxSectionLimit)
        return {0, SectionLimit::Fault::OutOfRange};
    return {static_cast<int>(*value), SectionLimit::Fault::None};
}

// The share of a report's rankings done, by the rows each one sorts and scans: most of a report's time.
class RankingProgress {
  public:
    RankingProgress(const StepProgress& progress, std::size_t rows) : progress_(progress), rows_(rows) {}
    // Counts a ranking of `rows` rows as done; false when the report is to stop.
    bool ranked(std::size_t rows) {
        done_ += rows;
        progress_.tell(rows_ == 0 ? 1.0 : static_cast<double>(done_) / static_cast<double>(rows_));
        return !progress_.stop.stop_requested();
    }

  private:
    const StepProgress& progress_;
    std::size_t rows_, done_ = 0;
};

std::string BuildReport(GuildStats& stats, const ReportSettings& settings, const StepProgress& progress) {
    StatsTable& members = stats.members;
    StatsTable& items = stats.items;
    const ReportWriter writer(stats, settings);
    const std::string balances = Balances(members);
    // Every member section ranks the members; the items are ranked by value, and by quality when
    // the values leave their sections empty.
    RankingProgress rankings(progress, std::size(kMemberSections) * members.rowCount() + 2 * items.rowCount());

    std::array<std::string, 21> sections; // by section number
    for (const MemberSection& section : kMemberSections) {
        Rank(members, section.ranking, section.key);
        const RowFilter filter =
            section.nonZero ? NonZeroSignFilter(section.key, section.sign) : SignFilter(section.key, section.sign);
        sections[static_cast<std::size_t>(section.number)] =
            ScanSection(members, filter, settings.playersPerSection,
                        [&](const StatsTable& table, std::size_t row, std::string& text) {
                            writer.memberRow(text, table, row, section.key, section.icon, section.phrase);
                        });
        if (!rankings.ranked(members.rowCount()))
            return {};
    }

    struct ItemSection {
        std::size_t number;
        const char* type;
        char icon;
    };
    const ItemSection itemSections[] = {{7, "Deposit", '1'}, {8, "Withdrawal", '2'}};
    SortHighestFirst(items, kItemValue);
    for (const ItemSection& section : itemSections)
        sections[section.number] = ScanSection(items, ItemValueFilter(section.type), settings.itemsPerSection,
                                               [&](const StatsTable& table, std::size_t row, std::string& text) {
                                                   writer.itemRow(text, table, row, section.icon, false);
                                               });
    if (!rankings.ranked(items.rowCount()))
        return {};

    // The NINJA LIST: members without any deposit whose total is negative, in the order section 4 left.
    sections[6] = ScanSection(
        members,
        [](const StatsTable& table, std::size_t row) {
            return RoundedValue(table.cell(row, kDeposits)) + RoundedValue(table.cell(row, kGoldDeposits)) == 0 &&
                   RoundedValue(table.cell(row, kTotalValue)) < 0;
        },
        static_cast<int>(members.rowCount()) + 1,
        [&](const StatsTable& table, std::size_t row, std::string& text) { writer.ninjaRow(text, table, row); });
    if (sections[6].empty())
        sections[6] = "None found (congratulations!)";

    // Without values, the item sections rank by quality instead.
    for (const ItemSection& section : itemSections) {
        std::string& text = sections[section.number];
        if (!text.empty())
            continue;
        SortHighestFirst(items, kQuality);
        text = ScanSection(items, ItemQualityFilter(section.type), settings.itemsPerSection,
                           [&](const StatsTable& table, std::size_t row, std::string& text) {
                               writer.itemRow(text, table, row, '1', true);
                           });
        text = text.empty() ? kNoneFound : text + kQualityNote;
    }
    rankings.ranked(items.rowCount()); // sorted by quality or not, the rankings are done
    for (const MemberSection& section : kMemberSections) {
        std::string& text = sections[static_cast<std::size_t>(section.number)];
        if (text.empty())
            text = section.emptyText;
    }

    std::array<const char*, 21> headings{};
    for (const MemberSection& section : kMemberSections)
        headings[static_cast<std::size_t>(section.number)] = section.heading;
    headings[6] = kNinjaHeading;
    headings[7] = kItemsDepositedHeading;
    headings[8] = kItemsWithdrawnHeading;

    const std::string guildName = EscapeHtmlText(stats.guild.name);
    std::string document = "<html><head><meta charset=\"utf-8\"><Title>Guild Bank Report for " + guildName +
                           "</title><script src='" + EscapeHtmlText(settings.itemDatabaseBase) +
                           "/widgets/power.js'></script></head><body>";
    document += "<center><h1>Guild Bank Report for the <BR>" + guildName + " guild<BR>on the " +
                EscapeHtmlText(stats.guild.realm) + " server</h1><BR><BR>Generated by <a href='http://www." +
                settings.website + "'>" + settings.programName + "</a></center><BR><BR>";
    document += "<b>Report created on:</b> " + settings.createdOn + "<BR><BR>";
    if (!settings.periodFrom.empty() || !settings.periodTo.empty())
        document += "<b>Period:</b> " + PeriodEnd(settings.periodFrom, "the start of the log") + " to " +
                    PeriodEnd(settings.periodTo, "the end of the log") + "<BR><BR>";
    document += "<b>Number of players accessing the bank:</b> " + std::to_string(members.rowCount()) + "<BR><BR>";
    document += "<b>Summaries</b><BR>Positive values mean your bank is earning or growing.  Negative values mean "
                "your bank is losing value or items.  A value near zero means your bank is well balanced.  These "
                "numbers are only valid for the period that is included in the portion of the log that you "
                "analyzed.  Overall Balance includes gold, repairs, and item values (if Lorehold lookup is "
                "enabled).<BR><BR>";
    document += balances;
    for (std::size_t number = 1; number <= 20; ++number)
        document += std::string(headings[number]) + sections[number];
    document += "</body></html>";
    return document;
}

} // namespace coffer
