// SPDX-License-Identifier: MIT
// bench_fetch: the fetch loop's step (download, add, lines) run again and again against the local site,
// whose page shows the newest 1,000 entries of the log, into a ledger file: once with the same page at
// every step, once with 10 entries arriving between steps, each in a process of its own. Prints the
// peak memory after the first STEPS/100 steps and after all of them (goal: within 10%), the memory
// held between steps, and the time of a step. While it adds, SQLite maps the ledger file: the peak of
// a growing ledger grows with its file.
//
//   bench_fetch [STEPS]      default: 1000

#include "bench_timing.h"
#include "cli/cli_fetch.h"
#include "support/lorehold_site.h"
#include "support/temp_folder.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace coffer;
using bench::PeakKiB;
using bench::ResidentKiB;

constexpr int kShown = 1000;
constexpr int kArrivingPerStep = 10;

// The newest kShown of the log's first `entries` entries, newest first; a deposit or a withdrawal by
// turns, one a second.
std::string LogPage(int entries) {
    std::string page = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<page>\n  <guildKey name=\"Iron Lanterns\" "
                       "realm=\"Silver Hand\"/>\n  <guildBank>\n    <banklogs>\n";
    for (int n = entries - 1; n >= entries - kShown; --n) {
        const std::string ts = std::to_string(1'700'000'000'000LL + n * 1000LL), player = std::to_string(n % 97);
        page += n % 2 == 0 ? "      <banklog dtab=\"\" money=\"" + std::to_string(100 * n + 100) + "\" player=\"M" +
                                 player + "\" rank=\"1\" ts=\"" + ts + "\" type=\"4\"/>\n"
                           : "      <banklog dtab=\"0\" money=\"0\" player=\"M" + player + "\" rank=\"1\" ts=\"" + ts +
                                 "\" type=\"2\">\n        <item count=\"1\" icon=\"inv\" id=\"" +
                                 std::to_string(30000 + n % 211) + "\" name=\"Item " + std::to_string(n % 211) +
                                 "\" qi=\"2\" slot=\"0\" subtype=\"\" type=\"0\"/>\n      </banklog>\n";
    }
    return page + "    </banklogs>\n  </guildBank>\n</page>\n";
}

// The steps in this process, with `arriving` entries between them; prints the figures.
void RunSteps(int argc, char** argv, int steps, int arriving) {
    QCoreApplication application(argc, argv);
    const testing::TempFolder folder;
    testing::LoreholdSite site;
    std::ostream lines(nullptr); // the step's lines are made and dropped
    const std::string ledger = (folder / "ledger.sqlite").string();
    FetchSession session(ledger, {.address = site.base() + "/guild-bank-log.xml", .cookieFile = {}, .every = {}},
                         {.command = {}, .webhook = {}}, true, lines);
    long peakEarly = 0, residentEarly = 0;
    const int early = std::max(steps / 100, 1); // the step the first figures are taken after
    const auto start = std::chrono::steady_clock::now();
    for (int step = 1; step <= steps; ++step) {
        site.setPage("/guild-bank-log.xml", testing::Page(LogPage(kShown + step * arriving)));
        if (session.fetchOnce() != FetchResult::Added) {
            std::fprintf(stderr, "bench_fetch: step %d did not add its page\n", step);
            std::exit(1);
        }
        if (step == early) {
            peakEarly = PeakKiB();
            residentEarly = ResidentKiB();
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long peak = PeakKiB(), resident = ResidentKiB();
    std::printf("fetch loop, %d steps of a %d-entry page, %d new at each step:\n", steps, kShown, arriving);
    std::printf("  peak memory after %d steps: %.1f MiB, after %d: %.1f MiB (%+.1f%%; goal: within 10%%)\n", early,
                peakEarly / 1024.0, steps, peak / 1024.0, 100.0 * (peak - peakEarly) / peakEarly);
    std::printf("  memory between steps after %d steps: %.1f MiB, after %d: %.1f MiB; the ledger: %.1f MiB\n", early,
                residentEarly / 1024.0, steps, resident / 1024.0,
                static_cast<double>(std::filesystem::file_size(ledger)) / (1024 * 1024));
    std::printf("  one step: %.1f ms\n", 1000 * seconds / steps);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    const int steps = argc > 1 ? std::stoi(argv[1]) : 1000;
    for (const int arriving : {0, kArrivingPerStep}) {
        // A process of its own, so that each peak is its own.
        const pid_t child = ::fork();
        if (child == 0) {
            RunSteps(argc, argv, steps, arriving);
            std::_Exit(0);
        }
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return 1;
    }
    return 0;
}
