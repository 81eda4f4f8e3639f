// SPDX-License-Identifier: MIT
#include "cli/cli.h"

#include "analysis/analysis_run.h"
#include "analysis/lookup/web_item_prices.h"
#include "analysis/scan/mapped_file.h"
#include "analysis/text/text_util.h"
#include "cli/cli_entries.h"
#include "cli/cli_ledger.h"
#include "ledger/ledger_output_check.h"
#include "net/network_downloader.h"
#include "report/html_report.h"
#include "report/report_file.h"
#include "report/table_export.h"
#include "shell/product_config.h"
#include "shell/program_folder.h"
#include "shell/qt/local_days.h"

#include <QCommandLineParser>
#include <QDate>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <unistd.h>
#include <vector>

namespace coffer {
namespace {

constexpr const char* kUsage = R"(Usage: coffer-cli [options] LOGFILE...

Analyses guild bank log XML (the armory's bank log page source) and writes the HTML report.
Several files are read one after another, as if their text were pasted one under the other;
"-" reads standard input.

Options:
  -o, --report FILE          write the report to FILE (default: report.html)
      --members FILE         write the member table as tab-separated text
      --items FILE           write the item table as tab-separated text
      --csv                  write the --members and --items files as CSV instead
      --players N            players per report section (default: 10)
      --items-per-section N  items per report section (default: 25)
      --from YYYY-MM-DD      analyse only entries from this local date on
      --to YYYY-MM-DD        analyse only entries up to and including this local date
      --count-repeated-once  count an entry repeated on a later page (pages pasted twice) once
      --lookup               look up every item's value on the item database site (slower)
      --item-db URL          the item database site, for the look-ups and the report's item links
                             (default: http://www.lorehold.example)
      --quiet                do not print status texts
      --help                 show this help
      --version              show the version

Exit status: 0 on success, 1 when the text holds no XML, 2 on bad usage, a file that cannot be
read or written, or an output that would replace a log file, another output or the ledger.
)";

struct CliOptions {
    std::string reportPath = "report.html";
    std::string membersPath;
    std::string itemsPath;
    int players = kDefaultPlayersPerSection;
    int itemsPerSection = kDefaultItemsPerSection;
    std::string itemDatabase = kItemDatabaseBase;
    std::optional<QDate> from;
    std::optional<QDate> to;
    bool countRepeatedOnce = false;
    bool lookup = false;
    bool csv = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::vector<std::string> logFiles;
    LedgerCliOptions ledger;
    EntriesCliOptions entries;
};

struct UsageError {
    std::string message;
    bool pointToHelp = true;
};

void RefuseBeyondLimit(std::uint64_t size, const std::string& file) {
    if (size > kMaxLogBytes)
        throw UsageError{"cannot read " + file + ": the log is larger than 4 GiB", false};
}

bool IsHostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// A site's base address as the program builds on it: http:// or https://, a host (with an optional
// port), an optional path of plain address characters, no trailing "/". Nothing else is accepted, so
// the address can stand in the report's links as it is.
std::string SiteBase(std::string address, const std::string& option) {
    while (!address.empty() && address.back() == '/')
        address.pop_back();
    const std::size_t scheme = address.find("://");
    const std::string_view name = std::string_view(address).substr(0, scheme);
    bool valid = scheme != std::string::npos && (EqualsNoCase(name, "http") || EqualsNoCase(name, "https"));
    if (valid) {
        const std::string_view rest = std::string_view(address).substr(scheme + 3);
        const std::size_t hostEnd = std::min(rest.find_first_of(":/"), rest.size());
        const std::string_view host = rest.substr(0, hostEnd);
        std::string_view after = rest.substr(hostEnd);
        valid = !host.empty() && std::all_of(host.begin(), host.end(), IsHostChar);
        if (valid && !after.empty() && after.front() == ':') {
            const std::size_t portEnd = std::min(after.find('/'), after.size());
            const std::string_view port = after.substr(1, portEnd - 1);
            const bool digits = !port.empty() && port.size() <= 5 && AllDigits(port);
            const int number = digits ? std::stoi(std::string(port)) : 0;
            valid = number >= 1 && number <= 65535;
            after.remove_prefix(portEnd);
        }
        valid = valid && std::all_of(after.begin(), after.end(),
                                     [](char c) { return IsHostChar(c) || c == '/' || c == '_' || c == '~'; });
    }
    if (!valid)
        throw UsageError{"option " + option + " needs an http:// or https:// address, not \"" + address + "\""};
    return address;
}

// A date of the years 1 to 9999 (there is no year 0), written with four digits.
QDate IsoDate(const std::string& text, const std::string& option) {
    const bool shaped = text.size() == 10 && text[4] == '-' && text[7] == '-' && AllDigits(text.substr(0, 4)) &&
                        AllDigits(text.substr(5, 2)) && AllDigits(text.substr(8));
    const QDate date = QDate::fromString(QString::fromStdString(text), QStringLiteral("yyyy-MM-dd"));
    if (!shaped || !date.isValid())
        throw UsageError{"option " + option + " needs a date as YYYY-MM-DD, not \"" + text + "\""};
    return date;
}

// The first argument that the parser refused, in the tool's own words: an option it does not know
// (or a switch given a value), or an option whose value is missing.
std::string RefusedArgument(const std::vector<std::string>& args, const QList<QCommandLineOption>& known,
                            const QString& parserText) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--")
            break;
        if (arg.size() < 2 || arg[0] != '-')
            continue;
        const std::size_t eq = arg.find('=');
        const std::string written = arg.substr(0, eq);
        const QString name =
            QString::fromStdString(written.substr(std::min(written.find_first_not_of('-'), written.size())));
        const auto option = std::find_if(known.begin(), known.end(),
                                         [&](const QCommandLineOption& o) { return o.names().contains(name); });
        const bool dashes = written == (name.size() == 1 ? "-" : "--") + name.toStdString();
        if (option == known.end() || !dashes || (option->valueName().isEmpty() && eq != std::string::npos))
            return "unknown option " + arg;
        if (!option->valueName().isEmpty() && eq == std::string::npos && ++i >= args.size())
            return "option " + arg + " needs a value";
    }
    return parserText.toStdString();
}

// Parses the arguments; throws UsageError with a message for the user.
CliOptions ParseArguments(const std::vector<std::string>& args) {
    const QCommandLineOption report({QStringLiteral("o"), QStringLiteral("report")}, {}, QStringLiteral("FILE")),
        members(QStringLiteral("members"), {}, QStringLiteral("FILE")),
        items(QStringLiteral("items"), {}, QStringLiteral("FILE")),
        players(QStringLiteral("players"), {}, QStringLiteral("N")),
        itemsPerSection(QStringLiteral("items-per-section"), {}, QStringLiteral("N")),
        itemDatabase(QStringLiteral("item-db"), {}, QStringLiteral("URL")),
        from(QStringLiteral("from"), {}, QStringLiteral("YYYY-MM-DD")),
        to(QStringLiteral("to"), {}, QStringLiteral("YYYY-MM-DD")),
        countRepeatedOnce(QStringLiteral("count-repeated-once")), lookup(QStringLiteral("lookup")),
        csv(QStringLiteral("csv")), quiet(QStringLiteral("quiet")), help(QStringLiteral("help")),
        version(QStringLiteral("version"));
    const QList<QCommandLineOption> known =
        QList<QCommandLineOption>{report, members,           items,  players, itemsPerSection, itemDatabase, from,
                                  to,     countRepeatedOnce, lookup, csv,     quiet,           help,         version} +
        LedgerCliOptionList() + EntriesCliOptionList();
    QCommandLineParser parser;
    parser.addOptions(known);
    QStringList arguments{QStringLiteral("coffer-cli")};
    for (const std::string& arg : args)
        arguments << QString::fromStdString(arg);
    if (!parser.parse(arguments))
        throw UsageError{RefusedArgument(args, known, parser.errorText())};

    // Every value given is checked; the last one counts.
    auto eachValue = [&](const QCommandLineOption& option, auto&& take) {
        for (const QString& value : parser.values(option))
            take(value.toStdString(), "--" + option.names().constLast().toStdString());
    };
    auto limit = [](const std::string& text, const std::string& option) {
        const SectionLimit parsed = ParseSectionLimit(text);
        if (parsed.fault != SectionLimit::Fault::None)
            throw UsageError{"option " + option + " needs a whole number from " + std::to_string(kMinSectionLimit) +
                             " to " + std::to_string(kMaxSectionLimit) + ", not \"" + text + "\""};
        return parsed.value;
    };
    CliOptions options;
    const std::pair<const QCommandLineOption&, std::string&> paths[] = {
        {report, options.reportPath}, {members, options.membersPath}, {items, options.itemsPath}};
    for (const auto& [option, path] : paths)
        if (parser.isSet(option))
            path = parser.value(option).toStdString();
    eachValue(players, [&](const std::string& value, const std::string& o) { options.players = limit(value, o); });
    eachValue(itemsPerSection,
              [&](const std::string& value, const std::string& o) { options.itemsPerSection = limit(value, o); });
    eachValue(itemDatabase,
              [&](std::string value, const std::string& o) { options.itemDatabase = SiteBase(value, o); });
    eachValue(from, [&](const std::string& value, const std::string& o) { options.from = IsoDate(value, o); });
    eachValue(to, [&](const std::string& value, const std::string& o) { options.to = IsoDate(value, o); });
    options.countRepeatedOnce = parser.isSet(countRepeatedOnce);
    options.lookup = parser.isSet(lookup);
    options.csv = parser.isSet(csv);
    options.quiet = parser.isSet(quiet);
    options.help = parser.isSet(help);
    options.version = parser.isSet(version);
    for (const QString& file : parser.positionalArguments())
        options.logFiles.push_back(file.toStdString());

    if (std::string misuse = ReadLedgerCliOptions(parser, !options.logFiles.empty(), options.ledger); !misuse.empty())
        throw UsageError{misuse};
    if (std::string misuse = ReadEntriesCliOptions(parser, options.entries); !misuse.empty())
        throw UsageError{misuse};
    if (!options.help && !options.version && options.logFiles.empty() && options.ledger.file.empty())
        throw UsageError{"no bank log file given"};
    if (options.from && options.to && *options.to < *options.from)
        throw UsageError{"the period ends on " + options.to->toString(Qt::ISODate).toStdString() +
                         ", before it starts on " + options.from->toString(Qt::ISODate).toStdString()};
    return options;
}

// Appends the rest of the stream to the text in blocks, with no copy of the whole on the way.
void AppendAll(std::istream& stream, std::string& text, const std::string& file) {
    std::vector<char> block(1 << 16);
    while (stream.read(block.data(), static_cast<std::streamsize>(block.size())) || stream.gcount() > 0) {
        RefuseBeyondLimit(text.size() + static_cast<std::size_t>(stream.gcount()), file);
        text.append(block.data(), static_cast<std::size_t>(stream.gcount()));
    }
}

// The files' texts one under the other; throws UsageError when one cannot be read.
std::string ReadLogs(const std::vector<std::string>& files, std::istream& in) {
    std::string text;
    for (const std::string& file : files) {
        if (!text.empty() && text.back() != '\n' && text.back() != '\r')
            text += '\n';
        if (file == "-") {
            AppendAll(in, text, "standard input");
            continue;
        }
        std::error_code error;
        if (std::filesystem::is_directory(file, error))
            throw UsageError{"cannot read " + file + ": it is a folder"};
        std::ifstream stream(file, std::ios::binary);
        if (!stream)
            throw UsageError{"cannot read " + file + ": " + std::strerror(errno)};
        // Room for the whole file at once: the text does not grow, and copy itself, as it is read.
        if (const auto size = std::filesystem::file_size(file, error); !error) {
            RefuseBeyondLimit(text.size() + size, file);
            text.reserve(text.size() + static_cast<std::size_t>(size) + 1);
        }
        AppendAll(stream, text, file);
        if (stream.bad())
            throw UsageError{"cannot read " + file + ": " + std::strerror(errno)};
    }
    return text;
}

// One regular file is mapped: reading a large log onto the heap costs several times more. Anything
// else, and a file that cannot be mapped, is read into `read` (with its error messages).
std::string_view LogText(const std::vector<std::string>& files, std::istream& in, std::optional<MappedFile>& mapped,
                         std::string& read) {
    if (files.size() == 1 && files[0] != "-") {
        std::error_code error;
        if (const auto size = std::filesystem::file_size(files[0], error); !error)
            RefuseBeyondLimit(size, files[0]); // before the whole file is mapped
        if (mapped.emplace(files[0]).mapped())
            return mapped->text();
    }
    read = ReadLogs(files, in);
    return read;
}

// Refuses, before anything is read or written, an output that is the same file as a log file, an
// earlier output, the ledger or one of its files, and one that cannot be written.
void CheckOutputs(const CliOptions& options) {
    struct Named {
        std::string name;
        std::optional<FileIdentity> identity;
    };
    std::vector<Named> seen;
    for (const std::string& file : options.logFiles)
        seen.push_back(file == "-" ? Named{"standard input", IdentityOfOpenFile(STDIN_FILENO)}
                                   : Named{"the log " + file, IdentityOf(file)});
    const std::pair<const char*, const std::string&> outputs[] = {
        {"--report", options.reportPath}, {"--members", options.membersPath}, {"--items", options.itemsPath}};
    for (const auto& [option, path] : outputs) {
        if (path.empty())
            continue;
        Named output{option + (" " + path), IdentityOf(path)};
        if (options.ledger.form == LedgerForm::Report)
            if (std::string refusal = LedgerOutputRefusal(output.name, path, options.ledger.file); !refusal.empty())
                throw UsageError{refusal};
        for (const Named& earlier : seen)
            if (output.identity && output.identity == earlier.identity)
                throw UsageError{output.name + " is the same file as " + earlier.name};
        if (std::string error = OutputFiles::check(path); !error.empty())
            throw UsageError{error, false};
        seen.push_back(std::move(output));
    }
}

// The output of --entries, checked as the tables' are.
void CheckEntriesOutput(const CliOptions& options) {
    const std::string& path = options.entries.output;
    if (path == "-")
        return;
    if (std::string refusal = LedgerOutputRefusal("--entries " + path, path, options.ledger.file); !refusal.empty())
        throw UsageError{refusal};
    if (std::string error = OutputFiles::check(path); !error.empty())
        throw UsageError{error, false};
}

// The local days of --from and --to, if either is given.
std::optional<TimeRange> Period(const CliOptions& options) {
    if (!options.from && !options.to)
        return std::nullopt;
    const auto day = [](const std::optional<QDate>& date) {
        return date ? std::optional(ToLocalDate(*date)) : std::nullopt;
    };
    return LocalDaysRange(day(options.from), day(options.to));
}

int Run(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
        const std::string& createdOn, const PasswordAsker& askPassword) {
    CliOptions options;
    std::optional<MappedFile> mappedLog;
    std::string readLog;
    std::string_view logText;
    try {
        options = ParseArguments(args);
        options.ledger.askPassword = askPassword;
        if (options.help) {
            out << kUsage << LedgerCliUsage() << EntriesCliUsage() << AlertCliUsage();
            return kCliSuccess;
        }
        if (options.version) {
            const ProductConfig product = LoadProductConfig();
            out << "coffer-cli (" << product.programName << ") " << product.versionMajor << '.' << product.versionMinor
                << '.' << product.versionPatch << '\n';
            return kCliSuccess;
        }
        if (options.ledger.form == LedgerForm::Entries) {
            CheckEntriesOutput(options);
            options.entries.filter.period = Period(options);
            return RunEntriesForm(options.ledger, options.entries, options.csv, options.quiet, out, err);
        }
        if (options.ledger.form != LedgerForm::None && options.ledger.form != LedgerForm::Report) {
            auto readOne = [&](const std::string& file) {
                mappedLog.reset();
                return LogText({file}, in, mappedLog, readLog);
            };
            options.ledger.alerts.period = Period(options);
            return RunLedgerForm(options.ledger, options.logFiles, options.quiet, readOne, out, err);
        }
        CheckOutputs(options);
        logText = LogText(options.logFiles, in, mappedLog, readLog);
    } catch (const UsageError& error) {
        err << "coffer-cli: " << error.message << '\n';
        if (error.pointToHelp)
            err << "Try 'coffer-cli --help' for more information.\n";
        return kCliFailure;
    }

    const ProductConfig product = LoadProductConfig();
    auto shortDate = [](const std::optional<QDate>& date) { return date ? ShortDate(*date) : std::string(); };
    ReportSettings settings{.playersPerSection = options.players,
                            .itemsPerSection = options.itemsPerSection,
                            .armoryBase = kArmoryBase,
                            .itemDatabaseBase = options.itemDatabase,
                            .programName = product.programName,
                            .website = product.website,
                            .createdOn = createdOn,
                            .periodFrom = shortDate(options.from),
                            .periodTo = shortDate(options.to)};
    GuildStats stats;
    AnalysisHooks hooks;
    if (!options.quiet)
        hooks.showStatus = [&err](const std::string& text) { err << text << '\n'; };
    std::optional<NetworkDownloader> downloader;
    std::optional<WebItemPriceSource> itemPrices;
    if (options.lookup) {
        downloader.emplace();
        itemPrices.emplace(options.itemDatabase, *downloader, hooks.showStatus);
        hooks.itemPrices = &*itemPrices;
    }
    OutputFiles outputs; // the report and the tables, replaced together once all are written
    hooks.generateReport = [&](const StepProgress&) {
        return outputs.add(options.reportPath, ReportFileText(stats, settings));
    };
    hooks.selection.period = Period(options);
    hooks.selection.countRepeatedOnce = options.countRepeatedOnce;
    hooks.sourceChanged = [&mappedLog] { return mappedLog && mappedLog->changed(); };
    // What is in the copy is read from it: the log's pages go back to the system as they are copied.
    hooks.copied = [&mappedLog](std::uint64_t bytes) {
        if (mappedLog && mappedLog->mapped())
            mappedLog->release(static_cast<std::size_t>(bytes));
    };

    std::optional<LedgerLog> ledgerLog;
    if (options.ledger.form == LedgerForm::Report &&
        !(ledgerLog = ReadLedgerForReport(options.ledger, hooks.selection.period, err)))
        return kCliFailure;
    const AnalysisResult result = ledgerLog ? RunAnalysisInPlace(ledgerLog->text, stats, hooks)
                                            : RunAnalysis(logText, stats, WorkFolder(), hooks);
    // The tables hold what is left to write: the log's memory is given back before they are written out.
    mappedLog.reset();
    readLog = std::string();
    if (result.outcome == AnalysisOutcome::NoXmlData) {
        err << result.message << '\n';
        return kCliNoXml;
    }
    if (!options.quiet && hooks.selection.period)
        err << OutsidePeriodText(result.outsidePeriod + (ledgerLog ? ledgerLog->leftOut : 0)) << '\n';
    if (!options.quiet && ledgerLog && ledgerLog->undated > 0)
        err << UndatedLeftOutText(ledgerLog->undated) << '\n';
    if (!options.quiet && result.repeatedEntries > 0)
        err << RepeatedEntriesText(result.repeatedEntries) << '\n';
    for (const std::string& text : options.quiet ? std::vector<std::string>() : LeftOutTexts(result))
        err << text << '\n';
    if (result.outcome != AnalysisOutcome::Complete) {
        err << "coffer-cli: " << result.message << '\n';
        return kCliFailure;
    }
    const std::pair<const std::string&, const StatsTable&> tableFiles[] = {{options.membersPath, stats.members},
                                                                           {options.itemsPath, stats.items}};
    for (const auto& [path, table] : tableFiles) {
        if (path.empty())
            continue;
        const TableFormat format = options.csv ? TableFormat::Csv : TableFormat::TabSeparated;
        std::uint64_t spacedCells = 0;
        const TextWriter write = [&](const TextSink& sink) { return WriteTable(table, format, sink, &spacedCells); };
        if (std::string error = outputs.add(path, write); !error.empty()) {
            err << "coffer-cli: " << error << '\n';
            return kCliFailure;
        }
        if (!options.quiet && spacedCells > 0)
            err << path << ": " << SpacedCellsText(spacedCells) << '\n';
    }
    if (!err.flush())
        return kCliFailure; // the status texts were lost: the run fails before it replaces anything
    if (std::string error = outputs.commit(); !error.empty()) {
        err << "coffer-cli: " << error << '\n';
        return kCliFailure;
    }
    if (!options.quiet)
        err << "Report written to " << options.reportPath << '\n';
    return kCliSuccess;
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
           const std::string& createdOn, const PasswordAsker& askPassword) {
    const int code = Run(args, in, out, err, createdOn, askPassword);
    // A write to either stream that failed fails the run, whatever else it did.
    if (!out.flush()) {
        err << "coffer-cli: could not write to standard output\n";
        return kCliFailure;
    }
    return err.flush() ? code : kCliFailure;
}

} // namespace coffer
