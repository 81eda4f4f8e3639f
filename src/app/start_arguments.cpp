// SPDX-License-Identifier: MIT
#include "app/start_arguments.h"

#include "shell/product_config.h"

#include <iostream>
#include <string_view>

namespace coffer {

namespace {

constexpr const char* kHelp = R"(Usage: coffer [FILE...]
Opens the Coffer window, which analyses a guild bank log, and imports each FILE into the bank log text,
one after another, as "Import File" does.

      --help     show this help
      --version  show the version

Arguments that begin with "-" are left to Qt and to the embedded browser (for example
"-platform offscreen"); after "--" every argument is a file. coffer-cli analyses logs without a window.
)";

} // namespace

bool AnswerInformationRequest(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--")
            return false;
        if (argument == "--help" || argument == "-h") {
            std::cout << kHelp;
            return true;
        }
        if (argument == "--version") {
            const ProductConfig product = LoadProductConfig();
            std::cout << "coffer (" << product.programName << ") " << product.versionMajor << '.'
                      << product.versionMinor << '.' << product.versionPatch << '\n';
            return true;
        }
    }
    return false;
}

QStringList FilesToImport(const QStringList& arguments) {
    QStringList files;
    bool optionsEnded = false;
    for (const QString& argument : arguments.mid(1)) {
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')))
            files << argument;
        else if (argument == QLatin1String("--"))
            optionsEnded = true;
    }
    return files;
}

} // namespace coffer
