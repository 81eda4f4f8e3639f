// SPDX-License-Identifier: MIT
#include "cli/cli_ledger.h"

#include "analysis/analysis_run.h"
#include "analysis/scan/bank_log_scanner.h"
#include "cli/cli.h"
#include "ledger/ledger_actions.h"
#include "ledger/ledger_file.h"
#include "ledger/ledger_open.h"
#include "ledger/password_free_text.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <ostream>

namespace coffer {
namespace {

const QCommandLineOption kLedger(QStringLiteral("ledger"), {}, QStringLiteral("FILE")), kAdd(QStringLiteral("add")),
    kMerge(QStringLiteral("merge"), {}, QStringLiteral("OTHER")), kInfo(QStringLiteral("info"));

// Whether the form of the alert rules takes a period.
bool PeriodOfAlerts(AlertForm form) {
    return form == AlertForm::Alerts || form == AlertForm::CheckRules;
}

// Options that only reporting takes.
constexpr const char* kReportOptions[] = {"report", "members", "items",  "csv",    "players", "items-per-section",
                                          "from",   "to",      "lookup", "item-db"};

// Opens the ledger `name` with `open`; where its server wants a password that was not given, asks for it
// and opens it once more with it, which `name` then gives too.
std::unique_ptr<LedgerStore> OpenAsking(std::string& name, const PasswordAsker& askPassword,
                                        const std::function<std::unique_ptr<LedgerStore>(const std::string&)>& open) {
    try {
        return open(name);
    } catch (const LedgerError& error) {
        std::optional<std::string> password;
        if (error.kind() != LedgerErrorKind::PasswordNeeded || !askPassword ||
            !(password = askPassword(LedgerDisplayName(name))))
            throw;
        name = ServerLedgerWithPassword(name, *password);
        return open(name);
    }
}

// Opens the ledger for writing; an older one is brought up to date, which takes a while on a large
// ledger: unless quiet, standard error says so first. `going`, where given, may give up the wait for a
// lock and stop the upgrade.
std::unique_ptr<LedgerStore> OpenForWriting(std::string& name, const PasswordAsker& askPassword, bool quiet,
                                            std::ostream& err, const std::function<bool()>& going = {}) {
    UpgradeWatch watch;
    if (going)
        watch.progress = [&going](std::uint64_t, std::uint64_t) { return going(); };
    if (!quiet)
        watch.starts = [&](std::int64_t from, std::int64_t to) {
            // One write, so that nothing reading it, or a signal, meets a part of the line.
            err << LedgerDisplayName(name) + ": bringing the ledger up to date (version " + std::to_string(from) +
                       " to " + std::to_string(to) + ")\u2026\n"
                << std::flush;
        };
    return OpenAsking(name, askPassword,
                      [&](const std::string& uri) { return OpenLedger(uri, LedgerAccess::ReadWrite, going, watch); });
}

} // namespace

std::unique_ptr<LedgerStore> OpenForReading(std::string name, const PasswordAsker& askPassword) {
    return OpenAsking(name, askPassword, [](const std::string& uri) { return OpenExistingLedger(uri); });
}

namespace {

// The fetches open the ledger anew each time, the first before any download: a password the server
// wants is asked for there, once, and an older ledger brought up to date.
int Fetch(const LedgerCliOptions& options, bool quiet, std::ostream& err) {
    return RunFetchForm(options.file, options.fetch, quiet, err,
                        [&](std::string& name, const std::function<bool()>& going) {
                            return OpenForWriting(name, options.askPassword, quiet, err, going);
                        });
}

// Every file its own paste, in its own transaction; stops at the first that fails, those before it added.
int Add(const LedgerCliOptions& options, const std::vector<std::string>& logFiles, bool quiet, const LogReader& readLog,
        std::ostream& err) {
    std::string name = options.file;
    const std::unique_ptr<LedgerStore> ledger = OpenForWriting(name, options.askPassword, quiet, err);
    for (const std::string& file : logFiles) {
        const std::string_view text = readLog(file);
        if (!LooksLikeBankLog(text)) {
            err << file << ": " << kNoXmlMessage << '\n';
            return kCliNoXml;
        }
        const AddReport report = AddToLedger(*ledger, text, file == "-" ? std::string() : file, NowMs());
        if (!quiet)
            for (const std::string& line : AddStatusLines(file == "-" ? "standard input" : file, report))
                err << line << '\n';
        for (const TimeGap& gap : report.outcome.openedGaps)
            err << GapText(gap) << '\n';
    }
    return kCliSuccess;
}

bool SameLedger(const std::string& a, const std::string& b) {
    std::error_code error;
    return IsServerLedger(a) || IsServerLedger(b) ? a == b : std::filesystem::equivalent(a, b, error);
}

int Merge(const LedgerCliOptions& options, bool quiet, std::ostream& err) {
    const std::unique_ptr<LedgerStore> other = OpenForReading(options.other, options.askPassword);
    const std::string otherName = LedgerDisplayName(options.other);
    if (SameLedger(options.file, options.other))
        throw LedgerError(LedgerErrorKind::SameFile,
                          otherName + " is the ledger itself: a ledger is not merged into itself");
    std::string name = options.file;
    const std::unique_ptr<LedgerStore> ledger = OpenForWriting(name, options.askPassword, quiet, err);
    const AddOutcome outcome = MergeLedger(*ledger, *other, otherName);
    if (!quiet)
        err << otherName << ": " << outcome.copiesAdded << " new to the ledger\n";
    for (const TimeGap& gap : outcome.openedGaps)
        err << GapText(gap) << '\n';
    return kCliSuccess;
}

void Info(const LedgerCliOptions& options, std::ostream& out) {
    const LedgerSummary summary = ReadLedgerSummary(*OpenForReading(options.file, options.askPassword), options.file);
    out << "Ledger: " << LedgerDisplayName(options.file) << '\n';
    for (const std::string& line : LedgerTotalsLines(summary))
        out << line << '\n';
    out << "Pastes: " << summary.pastes.size() << '\n';
    for (const PasteRecord& paste : summary.pastes) {
        const PasteFields field = PasteFieldTexts(paste);
        out << "  added " << field[0] << ", " << field[1] << " entries, " << field[2] << " new, from " << field[3]
            << " to " << field[4] << ", " << field[5] << ", " << field[6] << '\n';
    }
    out << "Gaps: " << summary.gaps.size() << '\n';
    for (const TimeGap& gap : summary.gaps)
        out << GapText(gap) << '\n';
}

} // namespace

void HideLedgerPasswords(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--")
            break;
        char* uri = nullptr;
        bool pageAddress = false; // --fetch's, whose user part may hold a password as well
        for (const std::string name : {"--ledger", "--merge", "--fetch"}) {
            if (arg == name && i + 1 < argc)
                uri = argv[++i];
            else if (arg.starts_with(name + "="))
                uri = argv[i] + name.size() + 1;
            else
                continue;
            pageAddress = name == "--fetch";
        }
        if (uri != nullptr && (pageAddress || IsServerLedger(uri)))
            for (const TextRange& password : PasswordRanges(uri))
                std::fill(uri + password.begin, uri + password.end, '*');
    }
}

QList<QCommandLineOption> LedgerCliOptionList() {
    return QList<QCommandLineOption>{kLedger, kAdd, kMerge, kInfo} + FetchCliOptionList() + AlertCliOptionList();
}

std::string LedgerCliUsage() {
    return std::string(R"(
Guild ledger (every paste kept, nothing counted twice, any period reported):
      --ledger FILE          use the ledger FILE; with neither --add nor --info, report from it
                             (with the options above, without LOGFILE); a postgresql:// URI
                             instead of FILE names a ledger on a PostgreSQL server
      --add LOGFILE...       add each LOGFILE to the ledger as a paste of its own (creates FILE)
      --merge OTHER          add every entry and paste of the ledger OTHER, a file or a URI
                             (creates FILE)
      --info                 print the ledger's totals, its pastes and the gaps between them
)") + FetchCliUsage() +
           R"(A password in a URI is starred out of the program's arguments as it starts, but others may see it
before: give it in ~/.pgpass or PGPASSWORD instead, or type it when asked at the terminal.
)";
}

std::string ReadLedgerCliOptions(const QCommandLineParser& parser, bool logFilesGiven, LedgerCliOptions& options) {
    if (std::string misuse = ReadFetchCliOptions(parser, options.fetch); !misuse.empty())
        return misuse;
    if (std::string misuse = ReadAlertCliOptions(parser, options.alerts); !misuse.empty())
        return misuse;
    const bool add = parser.isSet(kAdd), merge = parser.isSet(kMerge), info = parser.isSet(kInfo),
               fetch = !options.fetch.address.empty(), entries = parser.isSet(QStringLiteral("entries")),
               alerts = options.alerts.form != AlertForm::None;
    const char* form = add      ? "add"
                       : merge  ? "merge"
                       : info   ? "info"
                       : fetch  ? "fetch"
                       : alerts ? AlertFormOption(options.alerts.form)
                                : "entries";
    if (!parser.isSet(kLedger))
        return add || merge || info || fetch || entries || alerts
                   ? std::string("option --") + form + " needs --ledger FILE"
                   : std::string();
    options.file = parser.value(kLedger).toStdString();
    if (add + merge + info + fetch + entries > 1)
        return "give one of --add, --merge, --info, --fetch and --entries";
    if (alerts && add + merge + info + fetch + entries > 0)
        return std::string("option --") + AlertFormOption(options.alerts.form) +
               " does not go with --add, --merge, --info, --fetch or --entries";
    options.form = add       ? LedgerForm::Add
                   : merge   ? LedgerForm::Merge
                   : info    ? LedgerForm::Info
                   : fetch   ? LedgerForm::Fetch
                   : entries ? LedgerForm::Entries
                   : alerts  ? LedgerForm::Alerts
                             : LedgerForm::Report;
    options.other = parser.value(kMerge).toStdString();
    // SQLite would take an empty name for a temporary database, which keeps nothing.
    if (options.file.empty() || (merge && options.other.empty()))
        return "the ledger name is empty";
    if (parser.isSet(QStringLiteral("count-repeated-once")))
        return "option --count-repeated-once does not apply to a ledger, which counts every entry once";
    if (options.form == LedgerForm::Add && !logFilesGiven)
        return "no bank log file given";
    if (options.form != LedgerForm::Add && logFilesGiven)
        return "bank log files go into a ledger with --add";
    if (options.form != LedgerForm::Report)
        for (const std::string_view option : kReportOptions)
            if (parser.isSet(QLatin1String(option)) &&
                !(options.form == LedgerForm::Entries && (option == "from" || option == "to" || option == "csv")) &&
                !(PeriodOfAlerts(options.alerts.form) && (option == "from" || option == "to")))
                return "option --" + std::string(option) + " does not go with --" + form;
    return {};
}

int ReportingLedgerErrors(std::ostream& err, const std::function<int()>& work) {
    try {
        return work();
    } catch (const LedgerError& error) {
        err << "coffer-cli: " << error.what() << '\n';
    } catch (const std::filesystem::filesystem_error& error) { // as a ledger file was looked at
        err << "coffer-cli: " << CannotOpenLedger(error.path1(), error.code()).what() << '\n';
    }
    return kCliFailure;
}

int RunLedgerForm(const LedgerCliOptions& options, const std::vector<std::string>& logFiles, bool quiet,
                  const LogReader& readLog, std::ostream& out, std::ostream& err) {
    return ReportingLedgerErrors(err, [&]() -> int {
        if (options.form == LedgerForm::Add)
            return Add(options, logFiles, quiet, readLog, err);
        if (options.form == LedgerForm::Merge)
            return Merge(options, quiet, err);
        if (options.form == LedgerForm::Fetch)
            return Fetch(options, quiet, err);
        if (options.form == LedgerForm::Alerts) {
            std::string name = options.file;
            const std::unique_ptr<LedgerStore> ledger = AlertFormWrites(options.alerts.form)
                                                            ? OpenForWriting(name, options.askPassword, quiet, err)
                                                            : OpenForReading(name, options.askPassword);
            return RunAlertForm(options.alerts, *ledger, quiet, out, err);
        }
        Info(options, out);
        return kCliSuccess;
    });
}

std::optional<LedgerLog> ReadLedgerForReport(const LedgerCliOptions& options, const std::optional<TimeRange>& period,
                                             std::ostream& err) {
    std::optional<LedgerLog> log;
    ReportingLedgerErrors(err, [&] {
        log = ReadLedgerLog(*OpenForReading(options.file, options.askPassword), period);
        return kCliSuccess;
    });
    return log;
}

} // namespace coffer
