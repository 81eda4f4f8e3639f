// SPDX-License-Identifier: MIT
// The ledger's time line against its speed goals, on a ledger of a million entries over a year from
// 2,000 overlapping pastes with a few gaps: its data read from the ledger (as the window reads it, off
// its thread) and the picture drawn, histogram included; and the picture drawn again after a zoom or a
// pan. Medians of several runs: the machine is shared.
//
//   bench_timeline [--keep FOLDER]
// With --keep the benchmark's ledger stays in FOLDER as year.sqlite, beside one.sqlite (one paste) and
// three.sqlite (three pastes, two overlapping, then a gap), to be looked at in the window.

#include "analysis/scan/bank_log_scanner.h"
#include "bench_timing.h"
#include "genlog/banklog_generator.h"
#include "ledger/ledger_actions.h"
#include "ledger/ledger_file.h"
#include "ledger/sqlite_ledger.h"
#include "ui/ledger/ledger_timeline.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;
using coffer::bench::Median;
using coffer::bench::Row;
using coffer::bench::Seconds;

// The entries of a generated log, newest first, each as its element's text.
std::vector<std::string> Elements(std::size_t entries, std::uint64_t days) {
    coffer::bench::BankLogGeneratorOptions options;
    options.entry_count = entries;
    options.spread_days = days;
    std::vector<std::string> elements;
    coffer::GuildIdentity guild;
    coffer::ScanBankLogElements(
        coffer::bench::GenerateBankLog(options), guild,
        {{}, [&](const coffer::BankLogEntry&, std::string_view text, bool) { elements.emplace_back(text); }});
    return elements;
}

std::int64_t NewestTime(std::string_view element) {
    const std::size_t ts = element.find(" ts=\"") + 5;
    return std::stoll(std::string(element.substr(ts, element.find('"', ts) - ts)));
}

std::string Paste(const std::vector<std::string>& elements, std::size_t from, std::size_t to) {
    std::string paste = "<?xml version=\"1.0\"?>\n<page>\n<guildKey name=\"Iron Lanterns\" realm=\"Silver Hand\"/>\n";
    for (std::size_t i = from; i < std::min(to, elements.size()); ++i)
        paste += elements[i] + "\n";
    return paste + "</page>\n";
}

// Adds the stretches [from, to) of the elements as pastes, oldest first, each added an hour after its
// newest entry.
void Build(const fs::path& file, const std::vector<std::string>& elements,
           const std::vector<std::pair<std::size_t, std::size_t>>& stretches) {
    fs::remove(file);
    coffer::SqliteLedger ledger(file.string(), coffer::SqliteDatabase::Access::ReadWrite);
    for (auto stretch = stretches.rbegin(); stretch != stretches.rend(); ++stretch)
        std::ignore = coffer::AddToLedger(ledger, Paste(elements, stretch->first, stretch->second), "",
                                          NewestTime(elements[stretch->first]) + 3'600'000);
}

// 2,000 pastes of 1,000 entries over all of them, each overlapping the next by about a half, but for
// five stretches of the year that none covered.
std::vector<std::pair<std::size_t, std::size_t>> YearOfPastes(std::size_t entries) {
    constexpr std::size_t kStretches = 2010;
    std::vector<std::pair<std::size_t, std::size_t>> stretches;
    for (std::size_t n = 0; n < kStretches; ++n)
        if (n % 400 != 199 && n % 400 != 200) {
            const std::size_t from = n * (entries - 1000) / (kStretches - 1);
            stretches.emplace_back(from, from + 1000);
        }
    return stretches;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const bool keep = argc > 2 && std::string_view(argv[1]) == "--keep";
    const fs::path folder =
        keep ? fs::path(argv[2]) : fs::temp_directory_path() / ("coffer-bench-timeline-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path year = folder / "year.sqlite";
    const double building = Seconds([&] {
        const std::vector<std::string> elements = Elements(1'005'500, 365);
        Build(year, elements, YearOfPastes(elements.size()));
        if (keep) {
            const std::vector<std::string> few(elements.begin(), elements.begin() + 30'000);
            Build(folder / "one.sqlite", few, {{0, 2000}});
            Build(folder / "three.sqlite", few, {{0, 3000}, {2500, 9000}, {15'000, 30'000}});
        }
    });

    coffer::LedgerTimeline timeline;
    timeline.resize(1600, timeline.height());
    QImage picture(timeline.size(), QImage::Format_ARGB32_Premultiplied);
    const auto draw = [&] {
        QPainter painter(&picture);
        timeline.render(&painter);
    };
    std::size_t pastes = 0, hours = 0;
    std::uint64_t entries = 0;
    std::vector<double> shown, zoomed, panned;
    for (int run = 0; run < 7; ++run) {
        shown.push_back(Seconds([&] {
            coffer::SqliteLedger ledger(year.string(), coffer::SqliteDatabase::Access::ReadOnly);
            const coffer::LedgerSummary summary = coffer::ReadLedgerSummary(ledger, year.string());
            const std::vector<coffer::HourCount> perHour = ledger.entriesPerHour();
            timeline.showContent(coffer::MakeTimelineContent(summary, perHour));
            timeline.showWhole();
            draw();
            pastes = summary.pastes.size();
            entries = summary.totals.entries;
            hours = perHour.size();
        }));
    }
    // A zoom about the middle, ten notches in, then pans along the narrowed view.
    for (int notch = 0; notch < 10; ++notch)
        zoomed.push_back(Seconds([&] {
            QWheelEvent wheel(QPointF(800, 20), QPointF(800, 20), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(&timeline, &wheel);
            draw();
        }));
    for (int step = 0; step < 20; ++step)
        panned.push_back(Seconds([&] {
            for (const auto& [type, x] : {std::pair{QEvent::MouseButtonPress, 800.0},
                                          {QEvent::MouseMove, 700.0},
                                          {QEvent::MouseButtonRelease, 700.0}}) {
                QMouseEvent mouse(type, QPointF(x, 20), QPointF(x, 20), Qt::MiddleButton,
                                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MiddleButton, Qt::NoModifier);
                QApplication::sendEvent(&timeline, &mouse);
            }
            draw();
        }));
    std::printf("the ledger's time line, 1600 pixels wide, on a ledger of %llu entries from %zu pastes over %zu "
                "hours (built in %.0f s); medians:\n",
                static_cast<unsigned long long>(entries), pastes, hours, building);
    Row("its data read from the ledger and drawn, histogram in", Median(shown) * 1000, "ms", "<= 100 ms");
    Row("drawn again after a zoom of one notch", Median(zoomed) * 1000, "ms", "<= 16 ms");
    Row("drawn again after a pan", Median(panned) * 1000, "ms", "<= 16 ms");
    if (!keep)
        fs::remove_all(folder);
    return 0;
}
