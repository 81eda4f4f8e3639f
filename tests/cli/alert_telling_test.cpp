// SPDX-License-Identifier: MIT
// The alerts an add tells: on standard error, to the officer's command and to a chat webhook, against a
// local script and the local site.
#include "cli/cli_alert_telling.h"
#include "ledger/told_alerts.h"
#include "net/webhook_poster.h"
#include "shell/shell_command.h"

#include "support/lorehold_site.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace coffer {
namespace {

using namespace testing;
using namespace std::chrono_literals;

constexpr const char* kSecret = "/hook/s3cret";

// A line through the poster arrives as the JSON a chat service takes, byte for byte, whatever a hostile
// name holds; a post that fails says why and never names the address's path, and a redirect is not
// followed (the other site hears nothing).
TEST(WebhookPoster, PostsTheLineAsJsonAndSaysWhyAPostFailed) {
    LoreholdSite site, elsewhere("127.0.0.2");
    site.setPage(kSecret, Page("", 204));
    site.setPage("/down", Page("<html>oops</html>", 500));
    site.setPage("/moved", {.status = 307, .location = kSecret});
    site.setPage("/away", {.status = 307, .location = elsewhere.base() + kSecret});
    site.setPage("/silent", {.fault = Fault::NeverAnswers});
    WebhookPoster poster({.stallTimeout = 1s, .deadline = 2s});
    const struct {
        std::string address, line, json, failure;
    } cases[] = {
        {site.base() + kSecret, R"(Orron "the" \ thief)", R"({"content": "Orron \"the\" \\ thief"})", ""},
        {site.base() + kSecret, "a\nb\r\tc\x01\x1f\x7f",
         R"({"content": "a\nb\r\tc\u0001\u001f)"
         "\x7f\"}",
         ""},
        {site.base() + kSecret, "\xc3\x96ri \xf0\x9f\x97\xa1 \xff\xc3(",
         "{\"content\": \"\xc3\x96ri \xf0\x9f\x97\xa1 \xef\xbf\xbd\xef\xbf\xbd(\"}", ""},
        {site.base() + "/moved", "x", "", "HTTP 307"},
        {site.base() + "/down", "x", "", "HTTP 500"},
        {site.base() + "/away", "x", "", "redirected to another site"},
        {site.base() + "/silent", "x", "", "nothing came for 1 seconds"},
        {"http://127.0.0.1:1/hook/s3cret", "x", "", "Connection refused"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address + " " + c.line);
        const std::size_t posted = site.posts().size();
        EXPECT_EQ(poster.post(c.address, ChatMessageJson(c.line)), c.failure);
        ASSERT_EQ(site.posts().size(), posted + (c.address.starts_with(site.base()) ? 1 : 0)); // once, never again
        if (!c.json.empty()) {
            EXPECT_EQ(site.posts().back().second, c.json);
            EXPECT_NE(site.posts().back().first.find("\r\nContent-Type: application/json\r\n"), std::string::npos);
        }
    }
    EXPECT_EQ(elsewhere.requestCount(), 0);
}

// A command ends in its time, or is killed with everything it started; either way it is told why.
TEST(ShellCommand, TellsHowACommandFailedAndKillsOneThatHangsWithItsGroup) {
    const TempFolder folder;
    const std::string started = (folder / "started").string();
    const struct {
        std::string command, failure;
    } cases[] = {
        {"cat", ""}, // reads nothing: not the program's standard input
        {"exit 3", "ended with status 3"},
        {"/no/such/command", "ended with status 127"},
        {"kill -9 $$", "ended by signal 9 (Killed)"},
        {"sleep 600 & echo $! > " + started + "; wait", "was still running after 1 seconds and was killed"},
    };
    // The program's standard input, a pipe that stays open: a command that read it would never end.
    int input[2];
    ASSERT_EQ(::pipe(input), 0);
    const int savedInput = ::dup(STDIN_FILENO);
    ::dup2(input[0], STDIN_FILENO);
    for (const auto& c : cases)
        EXPECT_EQ(RunShellCommand(c.command, {}, 1s), c.failure) << c.command;
    ::dup2(savedInput, STDIN_FILENO);
    for (const int descriptor : {input[0], input[1], savedInput})
        ::close(descriptor);
    // The shell's own child went with it: gone, or a zombie left for init.
    const std::string stat = "/proc/" + ReadFile(started).substr(0, ReadFile(started).find('\n')) + "/stat";
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    auto gone = [&] {
        const std::string text = ReadFile(stat);
        return text.empty() || text.find(") Z ") != std::string::npos;
    };
    while (!gone() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_TRUE(gone()) << ReadFile(stat);
}

FiredAlert Alert(int rule, std::string member) {
    return {.rule = rule,
            .member = member,
            .day = "2008-12-03",
            .line = "2008-12-03: " + member + " withdrew 612g 40s 00c (rule " + std::to_string(rule) + ")",
            .firedAt = 0};
}

class AlertTellerTest : public ::testing::Test {
  protected:
    // A script that keeps its arguments and the COFFER_ variables of its environment, one run a record.
    std::string recordingCommand() const {
        const std::string script = (folder_ / "record.sh").string();
        std::ofstream(script) << "#!/bin/sh\n{ env -0 | grep -z '^COFFER_' | sort -z; printf 'ARGS %s\\0' \"$*\"; } >> "
                              << runs_ << "\n";
        ::chmod(script.c_str(), 0700);
        return script + " \"$0\" \"$@\""; // whatever the shell was given beyond the command reaches the script
    }
    std::vector<std::string> runs() const {
        std::vector<std::string> records;
        std::istringstream text(ReadFile(runs_));
        for (std::string field, record; std::getline(text, field, '\0');)
            if (record += field + ';'; field.starts_with("ARGS "))
                records.push_back(std::exchange(record, {}));
        return records;
    }

    TempFolder folder_;
    std::string runs_ = (folder_ / "runs").string();
    LoreholdSite site_;
    std::ostringstream err_;
};

// 25 alerts of one add: 20 told one by one and a line for the rest, on standard error, to the command
// (the alert in its environment exactly, replacing any the program had, never in its arguments, never
// read by a shell) and to the webhook.
TEST_F(AlertTellerTest, TellsTwentyAlertsAndOneLineForTheRest) {
    const std::string injected = (folder_ / "injected").string();
    std::vector<FiredAlert> fired = {Alert(1, "$(touch " + injected + ")"), Alert(2, "`touch " + injected + "`'\";"),
                                     Alert(3, "\xc3\x96ri\nthe second line")};
    for (int i = 3; i < 25; ++i)
        fired.push_back(Alert(4, "Member" + std::to_string(i)));
    site_.setPage(kSecret, Page("", 200));
    ::setenv("COFFER_MEMBER", "the program's own", 1);
    AlertTeller(AlertTellingOptions{.command = recordingCommand(), .webhook = site_.base() + kSecret}, err_)
        .tell(fired);
    ::unsetenv("COFFER_MEMBER");

    std::string expectedErr;
    std::vector<std::string> expectedRuns;
    std::vector<std::string> expectedPosts;
    auto expect = [&](const std::string& line, const std::string& member, const std::string& rule,
                      const std::string& day) {
        expectedErr += "ALERT " + line + "\n";
        expectedRuns.push_back("COFFER_ALERT=" + line + ";COFFER_DAY=" + day + ";COFFER_MEMBER=" + member +
                               ";COFFER_RULE=" + rule + ";ARGS /bin/sh;");
        expectedPosts.push_back(ChatMessageJson(line));
    };
    for (std::size_t i = 0; i < 20; ++i)
        expect(fired[i].line, fired[i].member, std::to_string(fired[i].rule), fired[i].day);
    expect("and 5 more (coffer-cli --alerts)", "", "", "");
    EXPECT_EQ(err_.str(), expectedErr);
    EXPECT_EQ(runs(), expectedRuns);
    std::vector<std::string> posts;
    for (const auto& [head, body] : site_.posts())
        posts.push_back(body);
    EXPECT_EQ(posts, expectedPosts);
    EXPECT_FALSE(std::filesystem::exists(injected));
}

} // namespace
} // namespace coffer
