// SPDX-License-Identifier: MIT
// A crafted ledger file through the real open, check and read path: a small valid ledger whose schema and
// content the input's SQL changes (in its -wal, as a file passed on with its log), then whose bytes and
// -wal bytes the input's patches change. The file is read as --info and the time line, the entries list,
// a report, a merge and the alert rules read it, then opened to add a paste that its rules check. No crash, no
// read past its bound, and a file refused at its opening is left with its folder byte for byte as it was.
//
// The input: SQL, then a NUL and patches, each a byte (even: the file, odd: its -wal), three bytes of
// offset (taken modulo the size), a byte of length and that many bytes.
#include "ledger/ledger_actions.h"
#include "ledger/ledger_file.h"
#include "ledger/sqlite_ledger.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;
using namespace coffer;

constexpr std::string_view kPasteA = R"(<?xml version="1.0"?>
<guildKey name="Iron Lanterns" realm="Silver Hand"/>
<banklog money="500" player="Ann" rank="1" ts="1200000000000" type="4"/>
<banklog player="Bob" rank="2" ts="1200000060000" type="2">
  <item count="3" id="7" name="Nails"/>
</banklog>
<banklog money="25" player="Cy" rank="2" type="5"/>
)";
constexpr std::string_view kPasteB = R"(<?xml version="1.0"?>
<guildKey name="Iron Lanterns" realm="Silver Hand"/>
<banklog money="700" player="Dee" rank="1" ts="1200000120000" type="4"/>
<banklog money="700" player="Dee" rank="1" ts="1200000120000" type="4"/>
)";
// New withdrawals, for the rules to check as the crafted ledger is added to.
constexpr std::string_view kPasteC = R"(<?xml version="1.0"?>
<banklog money="900" player="Bob" rank="2" ts="1200000180000" type="5"/>
<banklog dtab="1" player="Eve" rank="3" ts="1200900000000" type="2">
  <item count="9" id="7" name="Nails"/>
</banklog>
)";

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    std::string bytes(in ? static_cast<std::size_t>(in.tellg()) : 0, '\0');
    in.seekg(0).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void WriteAll(const fs::path& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<long>(bytes.size()));
}

std::map<std::string, std::string> FolderBytes(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        files[entry.path().filename()] = ReadAll(entry.path());
    return files;
}

char gFolder[] = "/dev/shm/coffer-fuzz-ledger-XXXXXX";

struct Files {
    fs::path folder, ledger;
    std::string file, log; // the valid ledger: a paste in the file, another in its -wal
};

// Runs the SQL as another program could, with no checks, leaving its changes in the -wal.
void Craft(const fs::path& ledger, const std::string& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open(ledger.c_str(), &db) == SQLITE_OK) {
        sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0); // no ATTACH, no VACUUM INTO: no other file written
        int ticks = 0;
        sqlite3_progress_handler(
            db, 1000, [](void* count) { return ++*static_cast<int*>(count) > 1000 ? 1 : 0; }, &ticks);
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    }
    sqlite3_close(db);
    fs::remove(ledger.string() + "-shm");
}

const Files& Template() {
    static const Files files = [] {
        Files made;
        if (::mkdtemp(gFolder) == nullptr)
            std::abort();
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(gFolder, ignored);
        });
        made.folder = gFolder;
        made.ledger = made.folder / "ledger.sqlite";
        // Pages of 1 KiB instead of the 16 KiB of a new ledger: a file of some kilobytes, in which a
        // patch often meets a page's header or cells.
        Craft(made.ledger, "PRAGMA page_size = 1024; PRAGMA journal_mode = WAL");
        {
            SqliteLedger ledger(made.ledger, SqliteDatabase::Access::ReadWrite);
            for (const char* rule :
                 {"gold withdrawn or repaired over 1c a day", "items withdrawn over 1 a week",
                  "any withdrawal from tab 1 by rank 2 or below", "withdrawals with no deposit ever", "a gap opened"})
                ledger.addRule(*ParseAlertRule(rule), "Europe/Berlin");
            std::ignore = AddToLedger(ledger, kPasteA, "a.xml", 1);
        }
        SqliteLedger ledger(made.ledger, SqliteDatabase::Access::ReadWrite);
        std::ignore = AddToLedger(ledger, kPasteB, "b.xml", 2);
        made.file = ReadAll(made.ledger);
        made.log = ReadAll(made.ledger.string() + "-wal");
        return made;
    }();
    return files;
}

// Opens the ledger; a refusal at the opening leaves the folder as it was.
std::unique_ptr<LedgerStore> OpenOrRefuse(const Files& files, SqliteDatabase::Access access) {
    const auto before = FolderBytes(files.folder);
    try {
        return std::make_unique<SqliteLedger>(files.ledger, access);
    } catch (const LedgerError&) {
        if (FolderBytes(files.folder) != before)
            __builtin_trap();
        return nullptr;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Files& files = Template();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t end = std::min(input.find('\0'), input.size());
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        fs::remove(files.ledger.string() + suffix);
    WriteAll(files.ledger, files.file);
    WriteAll(files.ledger.string() + "-wal", files.log);
    if (end > 0)
        Craft(files.ledger, std::string(input.substr(0, end)));
    for (std::size_t at = end + 1; at + 5 <= input.size();) {
        const fs::path target = files.ledger.string() + (input[at] % 2 == 0 ? "" : "-wal");
        std::string bytes = ReadAll(target);
        const std::size_t offset =
            (static_cast<std::uint8_t>(input[at + 1]) | static_cast<std::uint8_t>(input[at + 2]) << 8 |
             static_cast<std::uint8_t>(input[at + 3]) << 16) %
            (bytes.size() + 1);
        const std::string_view patch = input.substr(at + 5, static_cast<std::uint8_t>(input[at + 4]));
        bytes.replace(offset, std::min(patch.size(), bytes.size() - offset), patch);
        WriteAll(target, bytes);
        at += 5 + patch.size();
    }
    try {
        if (const auto store = OpenOrRefuse(files, SqliteDatabase::Access::ReadOnly)) {
            std::ignore = ReadLedgerSummary(*store, files.ledger);
            std::ignore = store->entriesPerHour();
            std::ignore = ReadLedgerLog(*store, std::nullopt);
            // The list, with a search that many names hold and one that few do, and a member's entries.
            for (const EntryListFilter& filter :
                 {EntryListFilter{.search = "a"}, EntryListFilter{.search = "Ann"}, EntryListFilter{.member = "Ann"}})
                std::ignore = store->listRows(filter, 0, 20);
            SqliteLedger merged(":memory:", SqliteDatabase::Access::ReadWrite);
            std::ignore = MergeLedger(merged, *store, files.ledger);
            std::ignore = store->rules();
            std::ignore = store->alerts(std::nullopt);
            std::ignore = store->checkRules(std::nullopt);
        }
    } catch (const LedgerError&) {
    }
    try {
        if (const auto store = OpenOrRefuse(files, SqliteDatabase::Access::ReadWrite))
            std::ignore = AddToLedger(*store, std::string(kPasteB) + std::string(kPasteC), "c.xml", 3);
    } catch (const LedgerError&) {
    }
    return 0;
}
