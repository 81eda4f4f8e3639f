// SPDX-License-Identifier: MIT
#pragma once
// The desktop program's command line: coffer [FILE...]

#include <QStringList>

namespace coffer {

// Answers --help and --version on standard output; true when it did, and the program then ends. Runs
// before the application object exists, so that neither needs a display.
bool AnswerInformationRequest(int argc, char** argv);

// The files to import at start, from the arguments left after the application took its own (the program's
// name first): every argument that does not begin with "-" (such arguments belong to the toolkit and the
// embedded browser), and every argument after "--".
QStringList FilesToImport(const QStringList& arguments);

} // namespace coffer
