// SPDX-License-Identifier: MIT
// coffer-genlog: writes a synthetic guild bank log of the requested size.
//
//   coffer-genlog ENTRIES [--members N] [--items N] [--seed N]
//                 [--guild NAME] [--realm NAME] [--overlap N] [--days N] [-o FILE]

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "genlog/banklog_generator.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::ostream& out) {
    out << "usage: coffer-genlog ENTRIES [--members N] [--items N] [--seed N]\n"
           "                     [--guild NAME] [--realm NAME] [--overlap N] [--days N]\n"
           "                     [-o FILE]\n"
           "\n"
           "Writes a deterministic guild bank log with ENTRIES entries, 1000 per page,\n"
           "to standard output or FILE. The same arguments always give the same bytes.\n"
           "\n"
           "  --members N   distinct guild members (default 3000)\n"
           "  --items N     distinct items (default 5000)\n"
           "  --seed N      random seed (default 1)\n"
           "  --guild NAME  guild name (default \"Iron Lanterns\")\n"
           "  --realm NAME  realm name (default \"Silver Hand\")\n"
           "  --overlap N   start each later page with the previous page's last N\n"
           "                entries again, as overlapping pastes do (default 0)\n"
           "  --days N      spread the timestamps evenly over N days (default: a few\n"
           "                seconds apart)\n"
           "  -o FILE       output file instead of standard output\n";
}

std::optional<std::uint64_t> ParseCount(std::string_view text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

struct CommandLine {
    coffer::bench::BankLogGeneratorOptions options;
    std::string output_path;
    bool help = false;
};

// Throws std::invalid_argument with a message for the user on bad input.
CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine cl;
    bool have_entries = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            cl.help = true;
            return cl;
        }
        const bool takes_value = arg == "--members" || arg == "--items" || arg == "--seed" || arg == "--guild" ||
                                 arg == "--realm" || arg == "--overlap" || arg == "--days" || arg == "-o";
        if (takes_value) {
            if (i + 1 >= argc)
                throw std::invalid_argument(std::string(arg) + " needs a value");
            const std::string_view value = argv[++i];
            if (arg == "--guild") {
                cl.options.guild_name = value;
            } else if (arg == "--realm") {
                cl.options.realm = value;
            } else if (arg == "-o") {
                cl.output_path = value;
            } else {
                const auto number = ParseCount(value);
                if (!number)
                    throw std::invalid_argument("not a number for " + std::string(arg) + ": " + std::string(value));
                if (arg == "--members") {
                    cl.options.member_count = static_cast<std::size_t>(*number);
                } else if (arg == "--items") {
                    cl.options.item_count = static_cast<std::size_t>(*number);
                } else if (arg == "--overlap") {
                    cl.options.overlap_entries = static_cast<std::size_t>(*number);
                } else if (arg == "--days") {
                    cl.options.spread_days = *number;
                } else {
                    cl.options.seed = *number;
                }
            }
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-')
            throw std::invalid_argument("unknown option: " + std::string(arg));
        if (have_entries)
            throw std::invalid_argument("more than one entry count given");
        const auto entries = ParseCount(arg);
        if (!entries)
            throw std::invalid_argument("ENTRIES must be a whole number: " + std::string(arg));
        cl.options.entry_count = static_cast<std::size_t>(*entries);
        have_entries = true;
    }
    if (!have_entries)
        throw std::invalid_argument("missing ENTRIES");
    return cl;
}

} // namespace

int main(int argc, char** argv) {
    CommandLine cl;
    try {
        cl = ParseCommandLine(argc, argv);
    } catch (const std::invalid_argument& e) {
        std::cerr << "coffer-genlog: " << e.what() << "\n";
        PrintUsage(std::cerr);
        return kExitUsage;
    }
    if (cl.help) {
        PrintUsage(std::cout);
        return kExitOk;
    }

    try {
        if (cl.output_path.empty()) {
#ifdef _WIN32
            _setmode(_fileno(stdout), _O_BINARY); // keep LF line endings
#endif
            std::ios::sync_with_stdio(false);
            coffer::bench::WriteBankLog(std::cout, cl.options);
            std::cout.flush();
            if (!std::cout) {
                std::cerr << "coffer-genlog: failed writing to standard output\n";
                return kExitFailure;
            }
        } else {
            std::ofstream file(cl.output_path, std::ios::binary | std::ios::trunc);
            if (!file) {
                std::cerr << "coffer-genlog: cannot open " << cl.output_path << " for writing\n";
                return kExitFailure;
            }
            coffer::bench::WriteBankLog(file, cl.options);
            file.close();
            if (!file) {
                std::cerr << "coffer-genlog: failed writing " << cl.output_path << "\n";
                return kExitFailure;
            }
        }
    } catch (const std::invalid_argument& e) {
        std::cerr << "coffer-genlog: " << e.what() << "\n";
        return kExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "coffer-genlog: " << e.what() << "\n";
        return kExitFailure;
    }
    return kExitOk;
}
