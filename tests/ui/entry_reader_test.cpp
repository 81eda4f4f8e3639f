// SPDX-License-Identifier: MIT
// The entries list's reader: tasks newest first, a view's tasks skipped once the view has changed and
// stopped while they read, a task the user asked for run whatever the view does, the tasks kept through a
// refresh of the same ledger, those of a ledger no longer open dropped with their failure told, and the task
// in progress stopped and its thread waited for as the reader goes.
#include "ui/ledger/entry_reader.h"

#include "genlog/banklog_generator.h"
#include "ledger/ledger_actions.h"
#include "ledger/ledger_open.h"
#include "shell/output_files.h"
#include "support/bank_log_text.h"
#include "support/run_until.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <future>
#include <mutex>
#include <vector>

namespace coffer {
namespace {

using test::RunUntil;

class EntryReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::vector<testing::Entry> entries(3000, {.player = "Orron", .type = "2", .itemName = "Ore", .count = 1});
        for (std::size_t i = 0; i < entries.size(); ++i)
            entries[i].player += std::to_string(i % 50);
        std::ignore = AddToLedger(*OpenLedger(ledger_, LedgerAccess::ReadWrite), testing::BankLog(entries), "log", 0);
        reader_.open(ledger_);
    }

    // A task that holds the reader's thread until `release`, so that the tasks queued meanwhile wait.
    void holdReader() {
        std::promise<void> holding;
        reader_.run([&holding, released = release_.get_future().share()](LedgerStore&) {
            holding.set_value();
            released.wait();
            return [] {};
        });
        holding.get_future().wait();
    }
    // A task that notes `name` as it runs and again as its reply comes back.
    EntryReader::Task noting(const std::string& name) {
        return [this, name](LedgerStore&) {
            const std::lock_guard lock(mutex_);
            ran_.push_back(name);
            return [this, name] { replied_.push_back(name); };
        };
    }

    testing::TempFolder folder_;
    const std::string ledger_ = folder_ / "ledger.sqlite";
    std::promise<void> release_;
    std::mutex mutex_;
    std::vector<std::string> ran_, replied_;
    EntryReader reader_; // last: its thread, which uses the members above, is joined first
};

TEST_F(EntryReaderTest, TasksRunNewestFirstAndAViewsTasksAreSkippedOnceItChanged) {
    holdReader();
    reader_.runForView(noting("old view"));
    reader_.run(noting("asked"));
    reader_.viewChanged();
    reader_.runForView(noting("first"));
    reader_.runForView(noting("newest"));
    reader_.open(ledger_); // the same ledger again, a refresh: the tasks stay
    release_.set_value();
    ASSERT_TRUE(RunUntil([&] { return replied_.size() == 3; }, 10000));
    EXPECT_EQ(replied_, (std::vector<std::string>{"newest", "first", "asked"}));
    EXPECT_EQ(ran_, replied_);
}

TEST_F(EntryReaderTest, AViewsTaskIsStoppedAsItReadsWhenTheViewChanges) {
    std::promise<void> reading, changed;
    std::atomic<bool> stopped = false, done = false;
    reader_.runForView([&](LedgerStore& store) {
        bool first = true;
        try {
            store.forEachEntry(std::nullopt, [&](const LedgerEntry&) {
                if (std::exchange(first, false)) {
                    reading.set_value();
                    changed.get_future().wait();
                }
            });
        } catch (const LedgerError&) {
            stopped = true;
            done = true;
            throw;
        }
        done = true;
        return [] {};
    });
    reading.get_future().wait();
    reader_.viewChanged();
    changed.set_value();
    ASSERT_TRUE(RunUntil([&] { return done.load(); }, 10000));
    EXPECT_TRUE(stopped);
    // A stale task's end is no failure of the list's.
    int failures = 0;
    QObject::connect(&reader_, &EntryReader::failed, [&] { ++failures; });
    reader_.run(noting("after"));
    ASSERT_TRUE(RunUntil([&] { return replied_.size() == 1; }, 10000));
    EXPECT_EQ(failures, 0);
}

TEST_F(EntryReaderTest, AnotherLedgerDropsTheTasksNotStartedAndTellsTheirFailure) {
    holdReader();
    std::vector<QString> failures;
    reader_.run(noting("export"), [&](const QString& message) { failures.push_back(message); });
    reader_.runForView(noting("page"));
    reader_.open((folder_ / "other.sqlite").string());
    release_.set_value();
    ASSERT_TRUE(RunUntil([&] { return !failures.empty(); }, 10000));
    EXPECT_EQ(failures, std::vector{QStringLiteral("Another ledger was opened before the entries were read.")});
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran_.empty());
}

// Destroyed while a task reads a big ledger, the reader has stopped the read and waited for its thread when
// the destructor returns, whatever kind of task it was; an export stopped so leaves its file as it was.
TEST(EntryReaderEnd, DestructionStopsTheTaskInProgressAndWaitsForItsThread) {
    testing::TempFolder folder;
    const std::string ledger = folder / "big.sqlite", file = folder / "entries.csv";
    std::ignore = AddToLedger(*OpenLedger(ledger, LedgerAccess::ReadWrite),
                              bench::GenerateBankLog({.entry_count = 100'000}), "log", 0);
    ASSERT_EQ(WriteFileReplacing(file, "as it was"), "");
    for (const bool exports : {false, true}) {
        SCOPED_TRACE(exports ? "an export the user asked for" : "a read of the view");
        auto reader = std::make_unique<EntryReader>();
        reader->open(ledger);
        std::promise<void> reading;
        std::atomic<bool> stopped = false, ended = false;
        const EntryReader::Task task = [&](LedgerStore& store) {
            bool first = true;
            const TextWriter rows = [&](const TextSink& sink) {
                ForEachEntryCells(store, {}, {}, [&](const EntryCells& cells) {
                    if (std::exchange(first, false))
                        reading.set_value();
                    sink(cells[kMemberColumn] + '\n');
                });
                return true;
            };
            try {
                OutputFiles outputs;
                if (!exports)
                    rows([](std::string_view) { return true; });
                else if (outputs.add(file, rows).empty())
                    std::ignore = outputs.commit();
            } catch (const LedgerError&) {
                stopped = true;
            }
            ended = true;
            return [] {};
        };
        exports ? reader->run(task) : reader->runForView(task);
        reading.get_future().wait();
        reader.reset();
        EXPECT_TRUE(ended);
        EXPECT_TRUE(stopped);
        EXPECT_TRUE(testing::ReadFile(file) == "as it was") << "the file was replaced";
    }
}

} // namespace
} // namespace coffer
