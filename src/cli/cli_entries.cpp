// SPDX-License-Identifier: MIT
#include "cli/cli_entries.h"

#include "cli/cli.h"
#include "ledger/ledger_file.h"
#include "ledger/ledger_open.h"
#include "report/table_export.h"
#include "shell/output_files.h"

#include <memory>
#include <ostream>

namespace coffer {
namespace {

const QCommandLineOption kEntries(QStringLiteral("entries"), {}, QStringLiteral("OUT")),
    kMemberFilter(QStringLiteral("member"), {}, QStringLiteral("NAME")),
    kItemFilter(QStringLiteral("item"), {}, QStringLiteral("NAME")),
    kAction(QStringLiteral("action"), {}, QStringLiteral("A")),
    kSearch(QStringLiteral("search"), {}, QStringLiteral("TEXT")),
    kSort(QStringLiteral("sort"), {}, QStringLiteral("ORDER"));

} // namespace

QList<QCommandLineOption> EntriesCliOptionList() {
    return {kEntries, kMemberFilter, kItemFilter, kAction, kSearch, kSort};
}

const char* EntriesCliUsage() {
    return R"(
The ledger's entries, as the window's list shows them (with --ledger FILE):
      --entries OUT          write the ledger's entries, newest first, as tab-separated text (or
                             CSV with --csv) to OUT ("-": standard output); with --from and --to,
                             and these filters, all applying together:
      --member NAME          only the entries of the member NAME as the member table counts them:
                             of this name, or of a name that goes on after it with a space
      --item NAME            only the entries of the item of exactly this name
      --action A             only items, gold, repairs, deposits or withdrawals
      --search TEXT          only entries whose member or item name holds TEXT (letter case ignored)
      --sort ORDER           -time (newest first, the default), time (oldest first), or by member
                             or item (A to Z folded), count or gold (smallest first); a sort by a
                             column takes at most 200,000 entries
)";
}

std::string ReadEntriesCliOptions(const QCommandLineParser& parser, EntriesCliOptions& options) {
    if (!parser.isSet(kEntries)) {
        for (const QCommandLineOption* filter : {&kMemberFilter, &kItemFilter, &kAction, &kSearch, &kSort})
            if (parser.isSet(*filter))
                return "option --" + filter->names().constFirst().toStdString() + " goes with --entries OUT";
        return {};
    }
    options.output = parser.value(kEntries).toStdString();
    if (options.output.empty())
        return "option --entries needs a file name, or - for standard output";
    if (parser.isSet(kMemberFilter))
        options.filter.member = parser.value(kMemberFilter).toStdString();
    if (parser.isSet(kItemFilter))
        options.filter.item = parser.value(kItemFilter).toStdString();
    options.filter.search = parser.value(kSearch).toStdString();
    if (parser.isSet(kAction)) {
        const std::optional<ActionGroup> group = ActionGroupNamed(parser.value(kAction).toStdString());
        if (!group)
            return "option --action takes items, gold, repairs, deposits or withdrawals, not \"" +
                   parser.value(kAction).toStdString() + "\"";
        options.filter.action = *group;
    }
    if (parser.isSet(kSort)) {
        const std::optional<EntrySort> sort = EntrySortNamed(parser.value(kSort).toStdString());
        if (!sort)
            return "option --sort takes time, -time, member, item, count or gold, not \"" +
                   parser.value(kSort).toStdString() + "\"";
        options.sort = *sort;
    }
    return {};
}

int RunEntriesForm(const LedgerCliOptions& ledger, const EntriesCliOptions& options, bool csv, bool quiet,
                   std::ostream& out, std::ostream& err) {
    return ReportingLedgerErrors(err, [&]() -> int {
        const std::unique_ptr<LedgerStore> store = OpenForReading(ledger.file, ledger.askPassword);
        if (!quiet && !store->listIndexed())
            err << LedgerDisplayName(ledger.file)
                << ": listing from every entry's text, which is slower until the ledger is next added to\n";
        std::uint64_t spacedCells = 0;
        bool sorted = true;
        ListTotals totals;
        const TextWriter write = [&](const TextSink& sink) {
            const auto& captions = EntryCaptions();
            RowWriter rows({captions.begin(), captions.end()}, csv ? TableFormat::Csv : TableFormat::TabSeparated, sink,
                           &spacedCells);
            store->readAtOnce([&] { // the totals of the rows written, whatever another program adds meanwhile
                sorted = ForEachEntryCells(*store, options.filter, options.sort,
                                           [&](const EntryCells& cells) { rows.row(cells); });
                if (sorted && !quiet)
                    totals = store->listTotals(options.filter);
            });
            return sorted && rows.finish();
        };
        // Too many rows to sort: nothing is written, a file named stays as it was.
        const auto refused = [&] {
            err << "coffer-cli: " << TooManyToSortText(options.sort.column) << '\n';
            return kCliFailure;
        };
        std::string error;
        if (options.output == "-") {
            if (!write([&](std::string_view piece) {
                    return static_cast<bool>(out.write(piece.data(), static_cast<std::streamsize>(piece.size())));
                }))
                return sorted ? kCliFailure : refused(); // RunCli tells of the failed write
        } else {
            OutputFiles outputs;
            error = outputs.add(options.output, write);
            if (!sorted)
                return refused();
            if (error.empty())
                error = outputs.commit();
        }
        if (!quiet && spacedCells > 0)
            err << (options.output == "-" ? "standard output" : options.output) << ": " << SpacedCellsText(spacedCells)
                << '\n';
        if (error.empty()) {
            if (!quiet)
                err << ListTotalsText(totals) << '\n';
            return kCliSuccess;
        }
        err << "coffer-cli: " << error << '\n';
        return kCliFailure;
    });
}

} // namespace coffer
