// SPDX-License-Identifier: MIT
#pragma once
// coffer-cli's guild ledger forms: adding logs to a ledger, printing what it holds, and reporting from
// it through the same analysis as a log.

#include "analysis/tables/entry_selection.h"
#include "cli/cli_alert_telling.h"
#include "cli/cli_alerts.h"
#include "cli/cli_fetch.h"
#include "ledger/ledger_actions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace coffer {

enum class LedgerForm { None, Add, Merge, Info, Fetch, Report, Entries, Alerts };

// Asks for the password of a server ledger, shown by its name without one; nothing when none can be had.
using PasswordAsker = std::function<std::optional<std::string>(const std::string& shownName)>;

struct LedgerCliOptions {
    std::string file;
    LedgerForm form = LedgerForm::None;
    std::string other;         // the ledger to merge
    PasswordAsker askPassword; // for a server that wants a password the URI, ~/.pgpass and the rest do not give
    FetchCliOptions fetch;
    AlertCliOptions alerts;      // the form of the alert rules, of LedgerForm::Alerts
    AlertTellingOptions telling; // where an add's alerts are told besides standard error
};

// Overwrites with '*' each password in the URI of a --ledger or --merge argument (`--ledger URI` or
// `--ledger=URI`) and in the address of --fetch, in the process's own argument memory, so that others see it only for
// the moment before: the caller keeps a copy of the arguments.
void HideLedgerPasswords(int argc, char** argv);

// The ledger's options, for the parser, and their lines of the help text.
QList<QCommandLineOption> LedgerCliOptionList();
std::string LedgerCliUsage();

// Reads the ledger options the parser found; returns a message for the user when they are misused.
std::string ReadLedgerCliOptions(const QCommandLineParser& parser, bool logFilesGiven, LedgerCliOptions& options);

// Reads a named log ("-": standard input); the view stays valid until the next call. Throws on a file
// that cannot be read.
using LogReader = std::function<std::string_view(const std::string& file)>;

// --add, --merge, --info, --fetch and the forms of the alert rules; returns the exit status.
int RunLedgerForm(const LedgerCliOptions& options, const std::vector<std::string>& logFiles, bool quiet,
                  const LogReader& readLog, std::ostream& out, std::ostream& err);

// Opens an existing ledger for reading, asking for a server's password where it wants one.
std::unique_ptr<LedgerStore> OpenForReading(std::string name, const PasswordAsker& askPassword);

// Runs `work` on a ledger; a failure to open or read it is told on `err` and gives kCliFailure.
int ReportingLedgerErrors(std::ostream& err, const std::function<int()>& work);

// The ledger's entries of the period for the analysis; nothing, after telling why, when the ledger
// cannot be read.
std::optional<LedgerLog> ReadLedgerForReport(const LedgerCliOptions& options, const std::optional<TimeRange>& period,
                                             std::ostream& err);

} // namespace coffer
