// SPDX-License-Identifier: MIT
// MainWindow's watch of the bank log page: the choice beside "Add this page to the bank log", the box
// in the Guild Ledger panel, "Guild Ledger (!)" after failures in a row, the watch kept across starts,
// and the export of the armory sign-in as a cookie file for coffer-cli.

#include "ui/main_window.h"

#include "shell/cookie_file.h"
#include "shell/fetch_address.h"
#include "ui/base/user_dialogs.h"
#include "ui/browser_panel.h"
#include "ui/engine_text.h"
#include "ui/ledger_controller.h"
#include "ui/ledger_panel.h"
#include "ui/ledger_watch.h"
#include "ui/profile_cookies.h"
#include "ui/watch_box.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QUrl>
#include <QWebEngineProfile>

namespace coffer {
namespace {

constexpr auto kWatchAddress = "watch/address"; // without user information or fragment
constexpr auto kWatchMinutes = "watch/minutes";
constexpr auto kWatchOn = "watch/on";

} // namespace

void MainWindow::buildWatch() {
    watch_ = std::make_unique<LedgerWatch>(browserPanel_->profile(), activity_,
                                           LedgerWatch::Ledger{.path = [this] { return ledger_->path().toStdString(); },
                                                               .busy = [this] { return ledger_->busy(); }});
    watchBox_ = new WatchBox(*watch_, ledgerPanel_);
    ledgerPanel_->addWatchBox(watchBox_);
    WatchChoice* choice = browserPanel_->watchChoice();
    connect(choice->checkBox(), &QCheckBox::toggled, this, [this, choice](bool on) {
        watchBox_->setResumed(false);
        if (!on)
            watch_->stop();
        else if (!watch_->start(browserPanel_->address().toString(), choice->minutesBox()->value()))
            showWatch(); // a page of no site, such as a saved file: nothing is watched, the box says so
    });
    connect(choice->minutesBox(), &QSpinBox::valueChanged, this, [this, choice](int minutes) {
        if (choice->checkBox()->isChecked())
            watch_->setMinutes(minutes);
    });
    connect(browserPanel_, &BrowserPanel::bankLogPageShown, this, [this] { showWatch(); });
    connect(watchBox_->stopButton(), &QPushButton::clicked, watch_.get(), &LedgerWatch::stop);
    connect(watch_.get(), &LedgerWatch::changed, this, [this] { showWatch(); });
    connect(watch_.get(), &LedgerWatch::added, ledger_.get(), &LedgerController::showAdded);
}

void MainWindow::showWatch() {
    // The page shown is the one watched when it names the same paste record.
    const bool shownWatched =
        watch_->watching() &&
        FetchRecordAddress(browserPanel_->address().toString().toStdString()) == watch_->shownAddress();
    browserPanel_->watchChoice()->showWatch(shownWatched, watch_->minutes());
    watchBox_->showWatch();
    auto* button = navigationFrame_->findChild<QPushButton*>(QStringLiteral("cmdLedger"));
    const bool failing = watch_->watching() && watch_->failuresInARow() >= LedgerWatch::kFailuresTold;
    button->setText(failing ? QStringLiteral("Guild Ledger (!)") : QStringLiteral("Guild Ledger"));
    button->setToolTip(failing ? watch_->lastFailure() : QString());
}

void MainWindow::resumeWatch() {
    if (settings_.store == nullptr || settings_.store->value(QLatin1String(kWatchOn)).toString() != u"true")
        return;
    bool isNumber = false;
    const int minutes = settings_.store->value(QLatin1String(kWatchMinutes)).toInt(&isNumber);
    watchBox_->setResumed(true);
    watch_->start(settings_.store->value(QLatin1String(kWatchAddress)).toString(),
                  isNumber ? minutes : LedgerWatch::kDefaultMinutes);
}

void MainWindow::keepWatch() const {
    QSettings& store = *settings_.store;
    store.setValue(QLatin1String(kWatchOn), watch_->watching());
    if (!watch_->watching())
        return;
    store.setValue(QLatin1String(kWatchAddress), watch_->address());
    store.setValue(QLatin1String(kWatchMinutes), watch_->minutes());
}

// The cookies of the watched page's site, or of the page shown when nothing is watched.
void MainWindow::exportSignIn() {
    const QUrl site = watch_->watching() ? QUrl(watch_->address()) : browserPanel_->address();
    const std::vector<Cookie> cookies =
        browserPanel_->cookies().ofHost(site.host().toStdString(), QDateTime::currentSecsSinceEpoch());
    if (site.host().isEmpty() || cookies.empty()) {
        // The browser tells the cookies it sets, never those it kept from an earlier start.
        inform(QStringLiteral("There is no sign-in to export from this start of Coffer: sign in to the armory in "
                              "the Browser panel (again, if you were signed in already), then export it."));
        return;
    }
    if (!services_.dialogs->confirm(
            this, ToQString(settings_.product.programName),
            QStringLiteral("The file holds your sign-in to %1, so that coffer-cli --fetch --cookies FILE can fetch the "
                           "bank log page as you. It is a secret: whoever has it is signed in as you. Keep it where "
                           "only you can read it (it is written readable by you alone) and give it to no one.")
                .arg(site.host())))
        return;
    const QString name = chooseExportFile(QStringLiteral("Cookie Files (*.txt);;All Files (*)"),
                                          QStringLiteral("Export Armory Sign-in"));
    if (name.isEmpty())
        return;
    if (const std::string error = SaveCookieFile(name.toStdString(), cookies); !error.empty())
        inform(QStringLiteral("Error: ") + ToQString(error), true);
}

} // namespace coffer
