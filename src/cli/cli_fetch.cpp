// SPDX-License-Identifier: MIT
#include "cli/cli_fetch.h"

#include "analysis/text/shown_address.h"
#include "cli/cli.h"
#include "ledger/ledger_actions.h"
#include "ledger/ledger_open.h"
#include "shell/fetch_address.h"

#include <QCoreApplication>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <string_view>

namespace coffer {
namespace {

const QCommandLineOption kFetch(QStringLiteral("fetch"), {}, QStringLiteral("URL")),
    kCookies(QStringLiteral("cookies"), {}, QStringLiteral("COOKIEFILE")),
    kEvery(QStringLiteral("every"), {}, QStringLiteral("SPAN"));

// What a page that is no bank log asks of the officer: the cookie file holds the sign-in.
constexpr std::string_view kSignInAgain = "sign in again and export the cookies";

// What the signal thread calls to end the running fetch form.
std::mutex endMutex;
std::function<void()> endFetch;

// Has the signals end the fetch form while it lives.
class EndOnSignal {
  public:
    explicit EndOnSignal(std::function<void()> end) {
        const std::scoped_lock lock(endMutex);
        endFetch = std::move(end);
    }
    ~EndOnSignal() {
        const std::scoped_lock lock(endMutex);
        endFetch = nullptr;
    }
    EndOnSignal(const EndOnSignal&) = delete;
    EndOnSignal& operator=(const EndOnSignal&) = delete;
};

int ExitStatus(FetchResult result) {
    return result == FetchResult::Added ? kCliSuccess : result == FetchResult::NoBankLog ? kCliNoXml : kCliFailure;
}

} // namespace

QList<QCommandLineOption> FetchCliOptionList() {
    return {kFetch, kCookies, kEvery};
}

const char* FetchCliUsage() {
    return R"(      --fetch URL            download the armory's bank log page at URL (http:// or https://)
                             and add it to the ledger as a paste
      --cookies COOKIEFILE   send the cookies of this Netscape cookie file that the address takes
      --every SPAN           fetch at once and then every SPAN (30s, 15m, 2h, 1d; at least 10s)
                             until SIGINT, SIGTERM or SIGHUP
)";
}

std::string ReadFetchCliOptions(const QCommandLineParser& parser, FetchCliOptions& options) {
    if (!parser.isSet(kFetch)) {
        for (const QCommandLineOption* option : {&kCookies, &kEvery})
            if (parser.isSet(*option))
                return "option --" + option->names().constFirst().toStdString() + " needs --fetch URL";
        return {};
    }
    options.address = parser.value(kFetch).toStdString();
    if (!FetchRecordAddress(options.address))
        return "option --fetch needs an http:// or https:// address, not \"" + ShownAddress(options.address) + "\"";
    options.cookieFile = parser.value(kCookies).toStdString();
    if (parser.isSet(kCookies) && options.cookieFile.empty())
        return "the cookie file name is empty";
    if (parser.isSet(kEvery) && !(options.every = ReadFetchSpan(parser.value(kEvery).toStdString())))
        return "option --every needs a span such as 30s, 15m, 2h or 1d, at least 10s, not \"" +
               parser.value(kEvery).toStdString() + "\"";
    return {};
}

FetchSession::FetchSession(const std::string& ledger, const FetchCliOptions& options, const AlertTellingOptions& alerts,
                           bool quiet, std::ostream& err)
    : ledgerName_(ledger), options_(options), recordAddress_(*FetchRecordAddress(options.address)), quiet_(quiet),
      err_(err), teller_(alerts, err) {
    if (!options_.cookieFile.empty()) {
        // An empty file is one without cookies (an officer signed out), not one that cannot be read.
        const CookieFile file = LoadCookieFile(options_.cookieFile);
        cookies_ = file.cookies;
        for (const std::size_t line : file.unreadLines)
            err_ << "warning: " << options_.cookieFile << ": line " << line << " is neither a cookie nor a comment\n";
        if (file.othersCanRead)
            err_ << "warning: " << options_.cookieFile << " can be read by other users" << std::endl;
        downloader_.setCookies([this](bool https, const std::string& host, const std::string& path) {
            std::vector<std::pair<std::string, std::string>> sent;
            const std::int64_t now = NowMs() / 1000;
            for (const Cookie& cookie : cookies_)
                if (CookieMatches(cookie, https, host, path, now))
                    sent.emplace_back(cookie.name, cookie.value);
            return sent;
        });
    }
}

void FetchSession::openFirst(const LedgerOpener& open) {
    opened_ = open(ledgerName_, [this] { return !stopped_; });
}

std::unique_ptr<LedgerStore> FetchSession::openLedger() {
    return OpenLedger(ledgerName_, LedgerAccess::ReadWrite, [this] { return !stopped_; });
}

FetchSession::~FetchSession() = default;

FetchOutcome FetchSession::fetchPage() {
    std::unique_ptr<LedgerStore> opened = std::move(opened_); // used once, and let go when the fetch ends
    if (!options_.cookieFile.empty()) {
        try {
            cookies_ = LoadCookieFile(options_.cookieFile).cookies;
        } catch (const std::runtime_error& error) { // this fetch fails; a loop goes on
            return FetchNotLoaded(recordAddress_, error.what());
        }
    }
    const PageResult page = downloader_.download(options_.address);
    if (stopped_)
        throw AddCancelled();
    if (!page.failure.empty())
        return FetchNotLoaded(recordAddress_, page.failure);
    return RefusedOnFailure(recordAddress_, [&] {
        return AddFetchedPage(opened ? *opened : *openLedger(), page.page, recordAddress_, kSignInAgain, NowMs(),
                              {.steps = {}, .progress = {}, .stop = [this] { return stopped_.load(); }});
    });
}

std::optional<FetchResult> FetchSession::fetchOnce() {
    FetchOutcome outcome;
    try {
        outcome = fetchPage();
    } catch (const AddCancelled&) {
        return std::nullopt;
    }
    if (stopped_ && outcome.result != FetchResult::Added)
        return std::nullopt; // a wait for a lock given up, or a download cut short, by the stop
    for (const std::string& line : FetchLines(outcome, NowMs(), quiet_))
        err_ << line << '\n';
    err_.flush();
    teller_.tell(outcome.alerts);
    return outcome.result;
}

bool FetchSession::waitUntil(std::chrono::steady_clock::time_point time) {
    // The timer wakes the wait at the time (in steps within a timer's range); stop() wakes it at once.
    QTimer timer;
    timer.setSingleShot(true);
    while (!stopped_ && std::chrono::steady_clock::now() < time) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(time - std::chrono::steady_clock::now());
        timer.start(std::min(left, std::chrono::milliseconds(std::chrono::hours(1))));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return !stopped_;
}

void FetchSession::stop() {
    stopped_ = true;
    downloader_.abortAll(); // which also wakes a wait
}

int RunFetchForm(const std::string& ledger, const FetchCliOptions& options, const AlertTellingOptions& alerts,
                 bool quiet, std::ostream& err, const LedgerOpener& openFirst) {
    std::optional<FetchSession> session;
    try {
        session.emplace(ledger, options, alerts, quiet, err);
    } catch (const std::runtime_error& error) {
        err << "coffer-cli: " << error.what() << '\n';
        return kCliFailure;
    }
    // A signal from here on ends the form as one between fetches does, also while the ledger is opened (a
    // wait for a lock, an upgrade): it stops that, which leaves the ledger as it was.
    const EndOnSignal end([&session] { session->stop(); });
    // A ledger that cannot be opened ends the form before any fetch (a cookie file that cannot be read
    // ended it before the ledger was created or brought up to date); unless a signal stopped the opening.
    const auto notOpened = [&](const std::string& message) {
        if (session->stopped())
            return kCliSuccess;
        err << "coffer-cli: " << message << '\n';
        return kCliFailure;
    };
    try {
        session->openFirst(openFirst);
    } catch (const std::filesystem::filesystem_error& error) {
        return notOpened(CannotOpenLedger(error.path1(), error.code()).what());
    } catch (const std::runtime_error& error) { // LedgerError among them, and AddCancelled
        return notOpened(error.what());
    }
    if (!options.every) {
        const std::optional<FetchResult> result = session->fetchOnce();
        return result ? ExitStatus(*result) : kCliSuccess;
    }
    for (auto next = std::chrono::steady_clock::now();;) {
        if (!session->fetchOnce())
            return kCliSuccess;
        next = std::max(next + *options.every, std::chrono::steady_clock::now());
        if (!session->waitUntil(next))
            return kCliSuccess;
    }
}

bool EndFetchOnSignal() {
    const std::scoped_lock lock(endMutex);
    if (!endFetch)
        return false;
    endFetch();
    return true;
}

} // namespace coffer
