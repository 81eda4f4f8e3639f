// SPDX-License-Identifier: MIT
#include "analysis/analysis_run.h"
#include "cli/cli.h"
#include "ledger/ledger_actions.h"
#include "support/lorehold_site.h"
#include "support/temp_folder.h"
#include "support/time_zone.h"

#include <QDate>
#include <QLocale>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace coffer {
namespace {
namespace fs = std::filesystem;

using testing::ReadFile;

class CliTest : public ::testing::Test {
  protected:
    fs::path write(const std::string& name, const std::string& text) const {
        std::ofstream(folder_ / name, std::ios::binary) << text;
        return folder_ / name;
    }

    int run(std::vector<std::string> args, const std::string& input = "") {
        std::istringstream in(input);
        std::ostringstream outStream, errStream;
        const int code = RunCli(args, in, outStream, errStream, "DATE");
        out = outStream.str();
        err = errStream.str();
        return code;
    }

    testing::TempFolder temp_;
    const fs::path& folder_ = temp_.path();
    std::string out, err;
};

const std::string kPage1 = "<?xml version=\"1.0\"?>\n<guildKey name=\"First\" realm=\"Old\"/>\n"
                           "<banklog money=\"0\" player=\"Ann\" type=\"1\">\n"
                           "  <item count=\"20\" name=\"Iron Nails\" qi=\"1\" type=\"7\"/>\n</banklog>";
const std::string kPage2 = "<?xml version=\"1.0\"?>\r\n<guildKey name=\"Iron Lanterns\" realm=\"Silver Hand\"/>\r\n"
                           "<banklog money=\"25000\" player=\"Bob\" type=\"4\"/>\r\n";

TEST_F(CliTest, AnalysesFilesAsIfPastedOneUnderTheOther) {
    const fs::path report = folder_ / "out.html";
    const fs::path members = folder_ / "members.tsv";
    const fs::path items = folder_ / "items.tsv";
    const int code = run({write("p1.xml", kPage1).string(), "-", "-o", report.string(), "--members", members.string(),
                          "--items=" + items.string(), "--players", "5"},
                         kPage2);
    ASSERT_EQ(code, 0) << err;
    EXPECT_EQ(err, "Cleaning up...\nGenerating Report\nComplete\nReport written to " + report.string() + "\n");
    // The guild of the later page, the entries of both.
    EXPECT_NE(ReadFile(report).find("<Title>Guild Bank Report for Iron Lanterns</title>"), std::string::npos);
    EXPECT_NE(ReadFile(members).find("\nBob\t+000001\t"), std::string::npos);
    EXPECT_EQ(ReadFile(items), "Item\tQuality\tQuantity\tValue\tType\tName\tLorehold Item\n"
                               "Iron Nails\t00001\t20\t00000.00\tDeposit\tAnn\t\n");

    // A file alone is mapped rather than read: it still counts to its last byte.
    ASSERT_EQ(run({write("p2.xml", "<?xml?>\n<banklog type=\"4\" player=\"Bob\" money=25000").string(), "-o",
                   report.string(), "--members", members.string()}),
              0);
    EXPECT_NE(ReadFile(members).find("\t+00002.00\t+00000.00\t+00000.00\t+00002.00\n"), std::string::npos)
        << ReadFile(members);

    ASSERT_EQ(run({write("p1.xml", kPage1).string(), "-o", report.string(), "--items", items.string(), "--csv"}), 0);
    EXPECT_EQ(ReadFile(items), "Item,Quality,Quantity,Value,Type,Name,Lorehold Item\r\n"
                               "Iron Nails,00001,20,00000.00,Deposit,Ann,\r\n");
}

TEST_F(CliTest, ExitCodesAndMessages) {
    const std::string report = (folder_ / "report.html").string();
    const std::string log = write("log.xml", kPage1).string();
    const std::string noXml = write("plain.txt", "<banklog player=\"A\" type=\"4\" money=\"1\"/>").string();
    const std::string ledgerFile = (folder_ / "ledger.sqlite").string();
    const std::string members = (folder_ / "members.tsv").string();
    const fs::path huge = folder_ / "huge.xml"; // a hole, read only as far as its size
    fs::resize_file(write("huge.xml", ""), (std::uintmax_t{4} << 30) + 1);
    const std::string fifo = (folder_ / "fifo").string(); // held open for reading: its pipe takes the tables
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int fifoReader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    const std::string kept = (folder_ / "kept.sqlite").string(), linked = (folder_ / "linked.sqlite").string();
    ASSERT_EQ(run({"--ledger", kept, "--add", log}), 0);
    fs::create_symlink(kept, linked);
    fs::create_hard_link(kept, folder_ / "hard.sqlite");
    const std::string keptBytes = ReadFile(kept);
    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{noXml, "-o", report}, 1, "No XML data detected\n"},
        {{}, 2, "no bank log file given"},
        {{"--players", "many", log, "-o", report}, 2, "needs a whole number"},
        {{"--items-per-section=100000", log, "-o", report}, 2, "from 0 to 32767, not \"100000\""},
        {{"--items-per-section"}, 2, "needs a value"},
        {{"--bogus", log}, 2, "unknown option --bogus"},
        {{"--from", "2009-01-06", "--to=2009-01-05", log, "-o", report},
         2,
         "the period ends on 2009-01-05, before it starts on 2009-01-06"},
        {{"--from", "2009-02-30", log, "-o", report}, 2, "needs a date as YYYY-MM-DD"},
        {{"--from", "-2026-01-01", log, "-o", report}, 2, "needs a date as YYYY-MM-DD"},
        {{"--item-db", "http://127.0.0.1:99999", log}, 2, "needs an http://"},
        {{"--item-db", "http://127.0.0.1:0", log}, 2, "needs an http://"},
        {{"--item-db", "ftp://db.example", log}, 2, "--item-db needs an http:// or https://"},
        {{"--item-db", "http://db.example/x'><script>", log}, 2, "needs an http://"},
        {{"--item-db", "http://user@db.example", log}, 2, "needs an http://"},
        {{"--item-db", "http://db.example:80x", log}, 2, "needs an http://"},
        {{(folder_ / "absent.xml").string(), "-o", report}, 2, "cannot read"},
        {{folder_.string(), "-o", report}, 2, "cannot read"},
        {{log, "-o", (folder_ / "no" / "such" / "r.html").string()}, 2, "Could not write"},
        {{"--add", log}, 2, "option --add needs --ledger FILE"},
        {{"--ledger", ledgerFile, log}, 2, "bank log files go into a ledger with --add"},
        {{"--ledger", ledgerFile, "--add", "--info", log},
         2,
         "give one of --add, --merge, --info, --fetch and --entries"},
        {{"--ledger", kept, "--entries", "x", "--merge", kept},
         2,
         "give one of --add, --merge, --info, --fetch and --entries"},
        {{"--entries", "x"}, 2, "option --entries needs --ledger FILE"},
        {{"--check-rules"}, 2, "option --check-rules needs --ledger FILE"},
        {{"--ledger", kept, "--add-rule", "gold over 5g"}, 2, "not a rule; a rule is one of these:\ngold withdrawn"},
        {{"--ledger", kept, "--remove-rule", "first"}, 2, "option --remove-rule needs a rule's number, not \"first\""},
        {{"--ledger", kept, "--remove-rule", "9"}, 2, "the ledger has no rule 9"},
        {{"--ledger", kept, "--rules", "--alerts"}, 2, "give one of --rules, --add-rule, --remove-rule, --alerts and"},
        {{"--ledger", kept, "--alerts", "--info"}, 2, "option --alerts does not go with --add, --merge"},
        {{"--ledger", kept, "--rules", "--from", "2009-01-01"}, 2, "option --from does not go with --rules"},
        {{"--member", "Ann", "--search", "A", log}, 2, "option --member goes with --entries OUT"},
        {{"--ledger", kept, "--entries", "x", "-o", report}, 2, "option --report does not go with --entries"},
        {{"--ledger", kept, "--entries", "x", "--lookup"}, 2, "option --lookup does not go with --entries"},
        {{"--ledger", kept, "--entries", "x", "--action", "gold!"},
         2,
         "option --action takes items, gold, repairs, deposits or withdrawals, not \"gold!\""},
        {{"--ledger", kept, "--entries", "x", "--sort", "size"},
         2,
         "option --sort takes time, -time, member, item, count or gold, not \"size\""},
        {{"--ledger", ledgerFile, "--entries", "-"}, 2, "there is no such ledger"},
        {{"--ledger", kept, "--entries", linked}, 2, "--entries " + linked + " is the ledger itself"},
        {{"--ledger", kept, "--entries", kept + "-wal", "--csv"}, 2, "is a file of the ledger"},
        {{"--ledger", kept, "--entries", (folder_ / "no" / "e.tsv").string()}, 2, "Could not write"},
        {{"--ledger", ledgerFile, "--count-repeated-once"}, 2, "does not apply to a ledger"},
        {{"--ledger", ledgerFile, "--info", "-o", report}, 2, "option --report does not go with --info"},
        {{"--ledger", ledgerFile, "--info", "--alert-command", "true"}, 2, "--alert-command goes with --add, --merge"},
        {{log, "--alert-webhook", "http://chat.example/x"}, 2, "--alert-webhook goes with --add, --merge or --fetch"},
        {{"--ledger", ledgerFile, "--add", log, "--alert-webhook=ftp://chat.example/x"}, 2, "needs an http:// or"},
        {{"--ledger", ledgerFile, "--merge", ledgerFile}, 2, "there is no such ledger"},
        {{"--ledger", kept, "--merge", linked}, 2, "linked.sqlite is the ledger itself: a ledger is not merged into"},
        {{"--ledger", ledgerFile, "--info"}, 2, "there is no such ledger"},
        {{"--ledger", ledgerFile, "-o", report}, 2, "there is no such ledger"},
        {{"--ledger", ledgerFile, "--add", noXml}, 1, "No XML data detected\n"},
        {{"--ledger", "", "--add", log}, 2, "the ledger name is empty\nTry 'coffer-cli --help'"},
        {{"--ledger=" + ledgerFile, "--merge="}, 2, "the ledger name is empty\nTry 'coffer-cli --help'"},
        {{"--ledger", "postgresql://officer:hunter2@[::1/coffer", "--info"}, 2, "URI: \"postgresql://officer@[::1/c"},
        // An output that would replace the ledger or one of its files.
        {{"--ledger", kept, "-o", kept}, 2, "--report " + kept + " is the ledger itself\nTry"},
        {{"--ledger", linked, "-o", report, "--members", (folder_ / "hard.sqlite").string()},
         2,
         "hard.sqlite is the ledger itself"},
        {{"--ledger", kept, "-o", report, "--items", linked}, 2, "--items " + linked + " is the ledger itself"},
        {{"--ledger", kept, "-o", report, "--members", (folder_ / "." / "kept.sqlite-wal").string()},
         2,
         "/./kept.sqlite-wal is a file of the ledger"},
        {{"--ledger", linked, "--csv", "-o", kept + "-shm"}, 2, "is a file of the ledger"},
        {{"--ledger", kept, "-o", kept + "-journal"}, 2, "is a file of the ledger"},
        {{huge.string(), "-o", report}, 2, "cannot read " + huge.string() + ": the log is larger than 4 GiB"},
        // Nothing is written when one output cannot be, or would replace a log or another output.
        {{log, "-o", report, "--items", (folder_ / "no" / "i.tsv").string()}, 2, "Could not write"},
        {{log, "-o", report, "--members", log}, 2, "--members " + log + " is the same file as the log " + log},
        {{log, "-o", report, "--members", members, "--items", members},
         2,
         "--items " + members + " is the same file as --members " + members},
        {{log, "--members", report, "-o", (folder_ / "." / "report.html").string()}, 2, "the same file as"},
        {{log, "-o", report, "--quiet"}, 0, ""},
        {{log, "-o", report, "--members", fifo, "--items", fifo, "--quiet"}, 0, ""},
    };
    for (const auto& [args, code, errContains] : cases) {
        fs::remove(report);
        fs::remove(ledgerFile);
        EXPECT_EQ(run(args), code) << args.size();
        if (errContains.empty())
            EXPECT_EQ(err, "");
        else
            EXPECT_NE(err.find(errContains), std::string::npos) << err;
        EXPECT_EQ(fs::exists(report), code == 0);
        EXPECT_EQ(fs::exists(ledgerFile), code == 1 && args[0] == "--ledger") << "only --add creates a ledger";
        EXPECT_FALSE(fs::exists(members));
        EXPECT_EQ(ReadFile(log), kPage1);
        EXPECT_EQ(ReadFile(kept), keptBytes);
        EXPECT_FALSE(fs::exists(kept + "-wal") || fs::exists(kept + "-shm") || fs::exists(kept + "-journal"));
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    std::string piped(1 << 12, '\0'); // both tables, the members first
    piped.resize(static_cast<std::size_t>(std::max<ssize_t>(0, ::read(fifoReader, piped.data(), piped.size()))));
    EXPECT_TRUE(piped.starts_with("Character\tDeposits\t")) << piped;
    EXPECT_NE(piped.find("\nItem\tQuality\tQuantity\tValue\tType\tName\tLorehold Item\nIron Nails\t"),
              std::string::npos);
    ::close(fifoReader);
}

TEST_F(CliTest, PeriodAndRepeatedEntries) {
    // At noon: Ann's deposit the day before the period, Bob's on its first day and Cy's element on one line,
    // whose type is not read; the second page repeats all three.
    const std::string page = "<?xml version=\"1.0\"?>\n"
                             "<banklog money=\"25000\" player=\"Bob\" ts=\"1231156800000\" type=\"4\"/>\n"
                             "<banklog money=\"100\" player=\"Ann\" ts=\"1231070400000\" type=\"4\"/>\n"
                             "<banklog player=\"Cy\" ts=\"1231156800000\" type=\"1\"><item name=\"Ore\"/></banklog>\n";
    const fs::path report = folder_ / "report.html";
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); // a short date of two year digits
    ASSERT_EQ(run({write("log.xml", page + page).string(), "-o", report.string(), "--from", "2009-01-05",
                   "--count-repeated-once"}),
              0)
        << err;
    QLocale::setDefault(QLocale::system());
    EXPECT_NE(err.find("Complete\n" + OutsidePeriodText(2) + "\n" + RepeatedEntriesText(3) +
                       "\n1 elements had no readable type and were not counted\n"),
              std::string::npos)
        << err;
    const std::string html = ReadFile(report);
    EXPECT_NE(html.find("<b>Period:</b> 05.01.2009 to the end of the log<BR><BR>"), std::string::npos);
    EXPECT_NE(html.find("Gold Balance: 2<BR>"), std::string::npos) << "Bob's 2.5 gold once, as whole gold";
    // A ledger of the page and of Dee's entry without a time: the period leaves out Ann's and, said apart, Dee's.
    const std::string ledger = (folder_ / "l.sqlite").string(),
                      dee = "<banklog money=\"7\" player=\"Dee\" type=\"4\"/>";
    ASSERT_EQ(run({"--ledger", ledger, "--add", write("undated.xml", page + dee).string()}), 0) << err;
    ASSERT_EQ(run({"--ledger", ledger, "-o", report.string(), "--from", "2009-01-05"}), 0) << err;
    EXPECT_NE(err.find(OutsidePeriodText(1) + "\n" + UndatedLeftOutText(1) + "\n"), std::string::npos) << err;
}

// --lookup asks the --item-db site for the items' values; the report links that site either way.
TEST_F(CliTest, LookupAsksTheGivenSite) {
    testing::LoreholdSite site;
    site.setPage(ItemSearchAddress("", "Iron Nails"), testing::Page(testing::SearchPageLinking("Iron Nails", "4711")));
    site.setPage(ItemPageAddress("", "4711"), testing::Page(testing::ItemPageWithPrices(12, 5, 1, 0)));
    const std::string log = write("log.xml", kPage1).string(), report = (folder_ / "report.html").string();
    const fs::path items = folder_ / "items.tsv";
    for (const bool lookUp : {true, false}) {
        site.forgetRequests();
        std::vector<std::string> args = {log, "--item-db", site.base() + "/", "--items", items.string(), "-o", report};
        if (lookUp)
            args.push_back("--lookup");
        ASSERT_EQ(run(args), 0) << err;
        EXPECT_EQ(site.requestCount(), lookUp ? 2 : 0);
        EXPECT_EQ(err.find("Connecting to " + site.base() + "/?search=Iron+Nails\n") != std::string::npos, lookUp);
        EXPECT_TRUE(
            ReadFile(items).ends_with(lookUp ? "\t00012.05\tDeposit\tAnn\t4711\n" : "\t00000.00\tDeposit\tAnn\t\n"));
        EXPECT_NE(ReadFile(report).find(site.base() + (lookUp ? "/?item=4711" : "/?search=Iron+Nails")),
                  std::string::npos);
    }
}

// Pins the whole output for the sample log: the report (with a fixed date line) and both tables, of the
// log and of a ledger that holds it (added twice: the second add changes nothing).
// After an intended change, regenerate the three files with coffer-cli on the sample (-o, --members,
// --items into tests/data/sample-*) and replace the date in the report by DATE.
TEST_F(CliTest, SampleLogGivesTheRecordedOutput) {
    const std::string sample = COFFER_EXAMPLES "/sample-banklog.xml", ledger = (folder_ / "l.sqlite").string();
    ASSERT_EQ(run({"--ledger", ledger, "--add", sample, sample}), 0) << err;
    EXPECT_NE(err.find("198 entries, 0 new to the ledger; the ledger lists this paste already\n"), std::string::npos)
        << err;
    for (const std::vector<std::string>& source : {std::vector{sample}, std::vector<std::string>{"--ledger", ledger}}) {
        std::vector<std::string> args = {
            "-o",      (folder_ / "report.html").string(), "--members", (folder_ / "members.tsv").string(),
            "--items", (folder_ / "items.tsv").string(),   "--quiet"};
        args.insert(args.end(), source.begin(), source.end());
        ASSERT_EQ(run(args), 0) << err;
        for (const char* name : {"report.html", "members.tsv", "items.tsv"})
            EXPECT_EQ(ReadFile(folder_ / name), ReadFile(fs::path(COFFER_TEST_DATA) / ("sample-" + std::string(name))))
                << name << " from " << source.back();
    }
}

// The ledger's entries newest first, with the filters together, as tab-separated text or CSV.
TEST_F(CliTest, EntriesOfTheLedger) {
    const std::string ledger = (folder_ / "l.sqlite").string(), tsv = (folder_ / "e.tsv").string();
    const std::string log = write("log.xml", "<?xml?>\n"
                                             "<banklog money=\"7538\" player=\"=Ann&#9;B\" ts=\"1230000000000\" "
                                             "type=\"4\"/>\n"
                                             "<banklog otab=\"1\" player=\"Bob\" ts=\"1229900000000\" type=\"2\">\n"
                                             " <item count=\"3\" name=\"Salt, &quot;Pepper&quot;\"/>\n</banklog>\n"
                                             "<banklog money=\"250\" player=\"annie\" type=\"6\"/>\n")
                                .string();
    ASSERT_EQ(run({"--ledger", ledger, "--add", log}), 0) << err;
    const std::string head = "Time\tMember\tRank\tAction\tItem\tCount\tGold\tFrom tab\tTo tab\n";
    const std::string ann = "=Ann B\t\tGold deposit\t\t\t0g 75s 38c\t\t\n",
                      bob = "Bob\t\tWithdrawal\tSalt, \"Pepper\"\t3\t\t1\t\n",
                      annie = "\tannie\t\tRepair\t\t\t0g 02s 50c\t\t\n";
    // What the rows written add up to, after them: "Items: DEPOSITED deposited, WITHDRAWN withdrawn; gold: …".
    const auto totals = [](const char* items, const char* gold, const char* repairs, const char* net) {
        return std::string("Items: 0 deposited, ") + items + " withdrawn; gold: " + gold + " deposited, 0g 00s 00c " +
               "withdrawn, " + repairs + " repaired; net " + net + "\n";
    };
    const std::string allTotals = totals("3", "0g 75s 38c", "0g 02s 50c", "0g 72s 88c"),
                      bobsTotals = totals("3", "0g 00s 00c", "0g 00s 00c", "0g 00s 00c");
    const std::tuple<std::vector<std::string>, std::string, std::string> cases[] = {
        {std::vector<std::string>(), head + "2008-12-23 02:40:00\t" + ann + "2008-12-21 22:53:20\t" + bob + annie,
         allTotals},
        {{"--search", "an", "--action", "repairs"},
         head + annie,
         totals("0", "0g 00s 00c", "0g 02s 50c", "-0g 02s 50c")},
        {{"--member", "=Ann\tB"},
         head + "2008-12-23 02:40:00\t" + ann,
         totals("0", "0g 75s 38c", "0g 00s 00c", "0g 75s 38c")},
        {{"--item", "Salt, \"Pepper\"", "--from", "2008-12-21", "--to", "2008-12-21"},
         head + "2008-12-21 22:53:20\t" + bob,
         bobsTotals},
        {{"--csv", "--action", "gold"},
         "Time,Member,Rank,Action,Item,Count,Gold,From tab,To tab\r\n"
         "2008-12-23 02:40:00,'=Ann\tB,,Gold deposit,,,0g 75s 38c,,\r\n,annie,,Repair,,,0g 02s 50c,,\r\n",
         totals("0", "0g 75s 38c", "0g 02s 50c", "0g 72s 88c")},
        {{"--csv", "--action", "items"},
         "Time,Member,Rank,Action,Item,Count,Gold,From tab,To tab\r\n"
         "2008-12-21 22:53:20,Bob,,Withdrawal,\"Salt, \"\"Pepper\"\"\",3,,1,\r\n",
         bobsTotals},
    };
    const testing::ScopedTimeZone zone("UTC0");
    for (const auto& [filters, text, listedTotals] : cases) {
        // Ann's tab is a space in tab-separated text, and said so.
        const auto warning = [&, spaced = text.find("=Ann B") != std::string::npos](const std::string& output) {
            return spaced ? output + ": 1 cells held a tab or line break, each written as a space\n" : "";
        };
        std::vector<std::string> args{"--ledger", ledger, "--entries", "-"};
        args.insert(args.end(), filters.begin(), filters.end());
        EXPECT_EQ(run(args), 0) << err;
        EXPECT_EQ(out, text) << filters.size();
        EXPECT_EQ(err, warning("standard output") + listedTotals);
        args[3] = tsv;
        EXPECT_EQ(run(args), 0) << err;
        EXPECT_EQ(ReadFile(tsv), text);
        EXPECT_EQ(err, warning(tsv) + listedTotals);
    }
    EXPECT_EQ(run({"--ledger", ledger, "--entries", tsv, "--quiet"}), 0);
    EXPECT_EQ(err, "");
}

// --sort: the list's order of time either way; by a column, ties in the list's order, names with A to Z
// folded and then in byte order, counts and gold as numbers; and, past 200,000 rows, no sort and nothing
// written.
TEST_F(CliTest, EntriesSorted) {
    const std::string ledger = (folder_ / "l.sqlite").string(), tsv = (folder_ / "e.tsv").string();
    const auto entry = [](const char* player, int second, const char* money, const char* count, const char* item) {
        std::string element = "<banklog money=\"" + std::string(money) + "\" player=\"" + player + "\" ts=\"" +
                              std::to_string(1230000000000 + second * 1000LL) + "\" type=\"4\">";
        if (*item != 0)
            element += "<item count=\"" + std::string(count) + "\" name=\"" + item + "\"/>";
        return element + "</banklog>\n";
    };
    const std::string log = "<?xml?>\n" + entry("bob", 4, "900", "10", "Ore") + entry("Amy", 3, "10000", "9", "ale") +
                            entry("amy", 2, "", "", "") + entry("Cy", 1, "0", "", "");
    ASSERT_EQ(run({"--ledger", ledger, "--add", write("log.xml", log).string()}), 0) << err;
    const std::tuple<std::vector<std::string>, std::string> cases[] = {
        {{"--sort", "-time"}, "bob Amy amy Cy "},  {{"--sort", "time"}, "Cy amy Amy bob "},
        {{"--sort", "member"}, "Amy amy bob Cy "}, {{"--sort", "item"}, "amy Cy Amy bob "},
        {{"--sort", "count"}, "amy Cy Amy bob "},  {{"--sort", "gold"}, "amy Cy bob Amy "},
    };
    for (const auto& [sort, members] : cases) {
        std::vector<std::string> args{"--ledger", ledger, "--entries", "-"};
        args.insert(args.end(), sort.begin(), sort.end());
        EXPECT_EQ(run(args), 0) << err;
        std::istringstream lines(out);
        std::string line, shown;
        std::getline(lines, line); // the captions
        while (std::getline(lines, line)) {
            const std::size_t member = line.find('\t') + 1;
            shown += line.substr(member, line.find('\t', member) - member) + ' ';
        }
        EXPECT_EQ(shown, members) << (sort.empty() ? "" : sort[1]);
    }

    // An entry of 200,000 copies sorts; with one more row, the list is not sorted.
    const std::string many = (folder_ / "many.sqlite").string();
    std::string copies = "<?xml?>\n<banklog player=\"Dee\" type=\"4\"/>\n";
    for (int copy = 0; copy < 200'000; ++copy)
        copies += "<banklog player=\"Eve\" type=\"4\"/>\n";
    ASSERT_EQ(run({"--ledger", many, "--add", write("many.xml", copies).string()}), 0) << err;
    EXPECT_EQ(run({"--ledger", many, "--entries", tsv, "--sort", "member", "--member", "Eve"}), 0) << err;
    EXPECT_EQ(std::ranges::count(ReadFile(tsv), '\n'), 200'001);
    fs::remove(tsv);
    for (const std::string& output : {std::string("-"), tsv}) {
        EXPECT_EQ(run({"--ledger", many, "--entries", output, "--sort", "gold"}), 2);
        EXPECT_EQ(err, "coffer-cli: Narrow the list to 200,000 entries or fewer to sort it by Gold.\n");
        EXPECT_EQ(out, "");
    }
    EXPECT_FALSE(fs::exists(tsv));
}

// A fetch opens the ledger file as often as an add does, once: the system counts the opens.
TEST_F(CliTest, AFetchOpensTheLedgerAsOftenAsAnAdd) {
    const std::string page = "<?xml version=\"1.0\"?>\n<page><guildKey name=\"Iron Lanterns\" realm=\"Silver Hand\"/>"
                             "<banklogs>\n<banklog money=\"25000\" player=\"Bob\" type=\"4\"/>\n</banklogs></page>\n";
    testing::LoreholdSite site;
    site.setPage("/guild-bank-log.xml", testing::Page(page));
    const std::string ledger = (folder_ / "l.sqlite").string(), log = write("log.xml", page).string();
    const auto opens = [&](const std::vector<std::string>& args) {
        const int watch = inotify_init1(IN_NONBLOCK);
        // Closes too, so that the opens, one after the other, are not folded into one event.
        EXPECT_GE(inotify_add_watch(watch, ledger.c_str(), IN_OPEN | IN_CLOSE), 0) << "no count of opens";
        EXPECT_EQ(run(args), 0) << err;
        std::size_t events = 0;
        inotify_event event{}; // a watched file's events carry no name
        while (::read(watch, &event, sizeof event) == sizeof event)
            events += (event.mask & IN_OPEN) != 0;
        ::close(watch);
        return events;
    };
    ASSERT_EQ(run({"--ledger", ledger, "--add", log}), 0) << err;
    const std::size_t added = opens({"--ledger", ledger, "--add", log});
    EXPECT_GT(added, 0u);
    EXPECT_EQ(opens({"--ledger", ledger, "--fetch", site.base() + "/guild-bank-log.xml"}), added);
}

// The alert rules' forms: a rule keeps the zone TZ names (a rule text of TZ names none); --alerts lists what
// the adds fired, --check-rules what the rules would fire on the period.
TEST_F(CliTest, AlertRules) {
    const std::string ledger = (folder_ / "l.sqlite").string();
    const std::string log = write("log.xml", "<?xml?>\n<banklog money=\"20000\" player=\"Orron\" ts=\"1228260600000\" "
                                             "type=\"5\"/>\n")
                                .string(); // 2008-12-02 23:30 UTC, the 3rd in Berlin
    for (const auto& [tz, code, printed] : std::initializer_list<std::tuple<const char*, int, std::string>>{
             {"Europe/Berlin", 0, "1: gold withdrawn over 1g a day (Europe/Berlin)\n"},
             {":/usr/share/zoneinfo/Asia/Kolkata", 0, "2: gold withdrawn over 1g a day (Asia/Kolkata)\n"},
             {"CET-1CEST,M3.5.0,M10.5.0/3", 2, ""}}) {
        const testing::ScopedTimeZone zone(tz);
        EXPECT_EQ(run({"--ledger", ledger, "--add-rule", "Gold withdrawn over 1g A DAY"}), code) << tz;
        EXPECT_EQ(out, printed) << err;
    }
    EXPECT_EQ(run({"--ledger", ledger, "--add", log, "--quiet"}), 0) << err;
    const std::string berlin = "2008-12-03: Orron withdrew 2g 00s 00c (rule 1: gold withdrawn over 1g a day)\n",
                      kolkata = "2008-12-03: Orron withdrew 2g 00s 00c (rule 2: gold withdrawn over 1g a day)\n";
    const std::tuple<std::vector<std::string>, std::string, std::string> cases[] = {
        {{"--rules"},
         "1: gold withdrawn over 1g a day (Europe/Berlin)\n2: gold withdrawn over 1g a day (Asia/Kolkata)\n",
         ""},
        {{"--alerts", "--quiet"}, berlin + kolkata, ""}, // as the add told them
        {{"--check-rules"}, berlin + kolkata, "2 alerts would fire\n"},
        {{"--check-rules", "--from", "2008-12-04"}, "", "0 alerts would fire\n"},
        {{"--remove-rule", "1"}, "", "Rule 1 removed\n"},
        {{"--rules"}, "2: gold withdrawn over 1g a day (Asia/Kolkata)\n", ""},
    };
    const testing::ScopedTimeZone zone("UTC0");
    for (const auto& [args, printed, told] : cases) {
        std::vector<std::string> all = {"--ledger", ledger};
        all.insert(all.end(), args.begin(), args.end());
        EXPECT_EQ(run(all), 0) << err;
        EXPECT_EQ(out, printed) << args[0];
        EXPECT_EQ(err, told) << args[0];
    }
}

TEST_F(CliTest, HelpAndVersion) {
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_NE(out.find("Usage: coffer-cli [options] LOGFILE..."), std::string::npos);
    EXPECT_EQ(run({"--version"}), 0);
    EXPECT_EQ(out.rfind("coffer-cli (Coffer) ", 0), 0u);

    // A failed write to standard error fails the run before it replaces anything.
    std::istringstream in;
    std::ostringstream text;
    std::ostream broken(nullptr);
    const fs::path report = folder_ / "report.html";
    EXPECT_EQ(RunCli({write("log.xml", kPage1).string(), "-o", report.string()}, in, text, broken, "DATE"), 2);
    EXPECT_FALSE(fs::exists(report));
}

} // namespace
} // namespace coffer
