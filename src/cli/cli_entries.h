// SPDX-License-Identifier: MIT
#pragma once
// coffer-cli --ledger FILE --entries OUT: the ledger's entries as the window's list shows them, newest
// first or in another of its orders, with the list's filters, as tab-separated text or CSV.

#include "analysis/tables/entry_selection.h"
#include "cli/cli_ledger.h"
#include "ledger/entry_list.h"
#include "ledger/entry_sort.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <iosfwd>
#include <optional>
#include <string>

namespace coffer {

struct EntriesCliOptions {
    std::string output; // "-": standard output; empty: not this form
    EntryListFilter filter;
    EntrySort sort;
};

// The form's options, for the parser, and their lines of the help text.
QList<QCommandLineOption> EntriesCliOptionList();
const char* EntriesCliUsage();

// Reads the form's options the parser found (the period aside); returns a message for the user when
// they are misused.
std::string ReadEntriesCliOptions(const QCommandLineParser& parser, EntriesCliOptions& options);

// Writes the entries of the ledger that pass the filter to the output (checked beforehand),
// with the --members rules or, with `csv`, the --csv rules; returns the exit status.
int RunEntriesForm(const LedgerCliOptions& ledger, const EntriesCliOptions& options, bool csv, bool quiet,
                   std::ostream& out, std::ostream& err);

} // namespace coffer
