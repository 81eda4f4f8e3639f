// SPDX-License-Identifier: MIT
#pragma once
// coffer-cli: the analysis on the command line. Reads bank log files (or "-" for standard input) as
// if pasted one under the other, analyses them and writes the report and, on request, the tables.

#include "cli/cli_ledger.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace coffer {

enum CliExit { kCliSuccess = 0, kCliNoXml = 1, kCliFailure = 2 };

// Runs the tool with the arguments after the program name. `createdOn` is the report's date line;
// `askPassword` is asked for the password a server ledger's server wants, where none was given.
int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
           const std::string& createdOn, const PasswordAsker& askPassword = {});

} // namespace coffer
