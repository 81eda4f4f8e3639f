// SPDX-License-Identifier: MIT
#include "ui/watch_controller.h"

#include "shell/cookie_file.h"
#include "shell/fetch_address.h"
#include "ui/base/engine_text.h"
#include "ui/base/user_dialogs.h"
#include "ui/browser_panel.h"
#include "ui/export_controller.h"
#include "ui/ledger/ledger_controller.h"
#include "ui/ledger/ledger_panel.h"
#include "ui/ledger/ledger_watch.h"
#include "ui/ledger/profile_cookies.h"
#include "ui/ledger/watch_box.h"
#include "ui/ledger/web_page_fetcher.h"
#include "ui/ledger_attention.h"
#include "ui/watch_choice.h"

#include <QCheckBox>
#include <QDateTime>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QUrl>

namespace coffer {
namespace {

constexpr auto kWatchAddress = "watch/address"; // without user information or fragment
constexpr auto kWatchMinutes = "watch/minutes";
constexpr auto kWatchOn = "watch/on";

} // namespace

WatchController::WatchController(Window window, ActivityState& activity, QObject* parent)
    : QObject(parent), window_(std::move(window)) {
    LedgerController& ledger = window_.ledger;
    watch_ =
        std::make_unique<LedgerWatch>(std::make_unique<WebPageFetcher>(window_.browser.profile()), activity,
                                      LedgerWatch::Ledger{.path = [&ledger] { return ledger.path().toStdString(); },
                                                          .busy = [&ledger] { return ledger.busy(); }});
    if (!window_.linesFile.empty())
        watch_->keepLinesIn(window_.linesFile);
    box_ = new WatchBox(*watch_, &window_.ledgerPanel);
    window_.ledgerPanel.addWatchBox(box_);
    WatchChoice* choice = window_.browser.watchChoice();
    // The interval offered is the one last chosen, whether the watch was on or not.
    if (const std::optional<int> minutes = keptMinutes())
        choice->minutesBox()->setValue(*minutes);
    connect(choice->checkBox(), &QCheckBox::toggled, this, [this, choice](bool on) {
        box_->setResumed(false);
        if (!on)
            watch_->stop();
        else if (!watch_->start(window_.browser.address().toString(), choice->minutesBox()->value()))
            show(); // a page of no site, such as a saved file: nothing is watched, the box says so
    });
    connect(choice->minutesBox(), &QSpinBox::valueChanged, this, [this, choice](int minutes) {
        if (choice->checkBox()->isChecked())
            watch_->setMinutes(minutes);
    });
    connect(&window_.browser, &BrowserPanel::bankLogPageShown, this, &WatchController::show);
    connect(box_->stopButton(), &QPushButton::clicked, watch_.get(), &LedgerWatch::stop);
    connect(watch_.get(), &LedgerWatch::changed, this, &WatchController::show);
    connect(watch_.get(), &LedgerWatch::added, &ledger, &LedgerController::showAdded);
}

WatchController::~WatchController() {
    watch_.reset();
}

void WatchController::show() {
    // The page shown is the one watched when it names the same paste record.
    const bool shownWatched =
        watch_->watching() &&
        FetchRecordAddress(window_.browser.address().toString().toStdString()) == watch_->shownAddress();
    window_.browser.watchChoice()->showWatch(shownWatched, watch_->minutes());
    box_->showWatch();
    // The box goes with the watch: what its add came to is said where the panel tells of the ledger.
    if (stopping_ && !watch_->stopping() && !watch_->watching() && !watch_->lines().isEmpty())
        window_.ledgerPanel.showStatus(watch_->lines().constLast());
    stopping_ = watch_->stopping();
    const bool failing = watch_->watching() && watch_->failuresInARow() >= LedgerWatch::kFailuresTold;
    window_.attention.setWatchFailure(failing ? watch_->lastFailure() : QString());
}

void WatchController::resume() {
    if (window_.store == nullptr || window_.store->value(QLatin1String(kWatchOn)).toString() != u"true")
        return;
    box_->setResumed(true);
    watch_->start(window_.store->value(QLatin1String(kWatchAddress)).toString(),
                  keptMinutes().value_or(LedgerWatch::kDefaultMinutes));
}

std::optional<int> WatchController::keptMinutes() const {
    if (window_.store == nullptr)
        return std::nullopt;
    bool isNumber = false;
    const int minutes = window_.store->value(QLatin1String(kWatchMinutes)).toInt(&isNumber);
    if (!isNumber || minutes < LedgerWatch::kMinMinutes || minutes > LedgerWatch::kMaxMinutes)
        return std::nullopt;
    return minutes;
}

void WatchController::keep() const {
    if (window_.store == nullptr)
        return;
    QSettings& store = *window_.store;
    store.setValue(QLatin1String(kWatchOn), watch_->watching());
    store.setValue(QLatin1String(kWatchMinutes),
                   watch_->watching() ? watch_->minutes() : window_.browser.watchChoice()->minutesBox()->value());
    if (watch_->watching())
        store.setValue(QLatin1String(kWatchAddress), watch_->address());
}

void WatchController::exportSignIn() {
    const QUrl site = watch_->watching() ? QUrl(watch_->address()) : window_.browser.address();
    const std::vector<Cookie> cookies =
        window_.browser.cookies().ofHost(site.host().toStdString(), QDateTime::currentSecsSinceEpoch());
    if (site.host().isEmpty() || cookies.empty()) {
        // The browser tells the cookies it sets, never those it kept from an earlier start.
        window_.inform(
            QStringLiteral("There is no sign-in to export from this start of Coffer: sign in to the armory in "
                           "the Browser panel (again, if you were signed in already), then export it."),
            false);
        return;
    }
    if (!window_.dialogs.confirm(
            &window_.parent, window_.programName,
            QStringLiteral("The file holds your sign-in to %1, so that coffer-cli --fetch --cookies FILE can fetch the "
                           "bank log page as you. It is a secret: whoever has it is signed in as you. Keep it where "
                           "only you can read it (it is written readable by you alone) and give it to no one.")
                .arg(site.host())))
        return;
    const QString name = window_.exports.chooseExportFile(QStringLiteral("Cookie Files (*.txt);;All Files (*)"),
                                                          QStringLiteral("Export Armory Sign-in"));
    if (name.isEmpty())
        return;
    if (const std::string error = SaveCookieFile(name.toStdString(), cookies); !error.empty())
        window_.inform(QStringLiteral("Error: ") + ToQString(error), true);
    else
        window_.exports.tellWritten(QStringLiteral("the sign-in to %1").arg(site.host()), name);
}

} // namespace coffer
