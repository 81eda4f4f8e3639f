// SPDX-License-Identifier: MIT
#include "ui/ledger/ledger_controller.h"

#include "ledger/ledger_actions.h"
#include "ledger/ledger_open.h"
#include "shell/file_exists.h"
#include "ui/base/engine_text.h"
#include "ui/base/user_dialogs.h"
#include "ui/ledger/ledger_panel.h"

#include <QFileInfo>
#include <QPushButton>

namespace coffer {
namespace {

// Ledgers first; a ledger kept under another name can still be chosen.
const QString kLedgerFilter = QStringLiteral("Guild Ledgers (*.sqlite);;All Files (*)");

// A message of the ledger on one line: a server's message may hold a detail or a hint on lines of its own.
QString OneLine(const std::string& message) {
    return ToQString(message).simplified();
}

QString ClockText(const QTime& time) {
    return time.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

LedgerController::LedgerController(Window window, ActivityState& activity, QObject* parent)
    : QObject(parent), window_(std::move(window)), activity_(activity) {
    LedgerPanel& panel = window_.panel;
    connect(panel.newButton(), &QPushButton::clicked, this, &LedgerController::create);
    connect(panel.openButton(), &QPushButton::clicked, this, &LedgerController::open);
    connect(panel.defaultButton(), &QPushButton::clicked, this, [this] { use({}); });
    connect(panel.connectButton(), &QPushButton::clicked, this, &LedgerController::connectShared);
    connect(panel.refreshButton(), &QPushButton::clicked, this, &LedgerController::refresh);
    connect(panel.addButton(), &QPushButton::clicked, this, &LedgerController::add);
    connect(panel.cancelButton(), &QPushButton::clicked, this, &LedgerController::cancelAdd);
    connect(&job_, &LedgerJob::upgradeProgressChanged, &panel, [&panel](int percent) {
        panel.showProgress(percent);
        panel.showStatus(QStringLiteral("Bringing the ledger up to date…"));
    });
    connect(&job_, &LedgerJob::progressChanged, &panel, [&panel](int percent) {
        panel.showProgress(percent);
        panel.showStatus(QStringLiteral("Adding the bank log to the ledger…"));
    });
    connect(&job_, &LedgerJob::stepBegins, &panel, [&panel](AddStep step) {
        if (step == AddStep::Commit)
            panel.showWriting();
    });
    connect(&job_, &LedgerJob::waitingForLock, &panel, [&panel] {
        panel.showStatus(QStringLiteral("Waiting for another program that is using the ledger (up to a minute)…"));
    });
    connect(&job_, &LedgerJob::finished, this, &LedgerController::onFinished);
}

void LedgerController::start(const QString& file) {
    readable_ = file;
    use(file);
}

QString LedgerController::path() const {
    return file_.isEmpty() ? ToQString(window_.defaultLedger.string()) : uris_.value(file_, file_);
}

QString LedgerController::folder() const {
    const bool onServer = IsServerLedger(file_.toStdString());
    return QFileInfo(onServer ? ToQString(window_.defaultLedger.string()) : path()).absolutePath();
}

void LedgerController::begin(Action action) {
    action_ = action;
    emit busyChanged();
}

void LedgerController::use(const QString& file, bool create) {
    if (busy())
        return;
    file_ = file;
    window_.panel.showLedger(ToQString(LedgerDisplayName(path().toStdString())), nullptr,
                             QStringLiteral("Reading the ledger…"));
    window_.panel.showCoverage(nullptr, {});
    window_.panel.showStatus({});
    begin(Action::Read);
    job_.read(path().toStdString(), create);
}

void LedgerController::refresh() {
    // A ledger shown as read is read again behind its lists, which stay should the reading fail.
    if (!showsLedger()) {
        use(file_);
        return;
    }
    if (busy())
        return;
    window_.panel.showStatus(QStringLiteral("Reading the ledger…"));
    begin(Action::Refresh);
    job_.read(path().toStdString());
}

void LedgerController::showAdded(const std::string& file, const LedgerSummary& summary,
                                 const std::vector<HourCount>& hours) {
    if (busy() || file != path().toStdString())
        return;
    readAt_ = QTime::currentTime();
    readable_ = file_;
    showRead(file, &summary, hours, {});
    emit addedInBackground();
}

QString LedgerController::refreshFailure(const std::string& error) const {
    QString reason = OneLine(error);
    if (reason.endsWith(u'.'))
        reason.chop(1);
    return QStringLiteral("Could not refresh at %1: %2; showing the ledger as read at %3.")
        .arg(ClockText(QTime::currentTime()), reason, ClockText(readAt_));
}

void LedgerController::showRead(const std::string& file, const LedgerSummary* summary,
                                const std::vector<HourCount>& hours, const QString& note) {
    shown_ = summary ? std::optional(*summary) : std::nullopt;
    window_.panel.showLedger(ToQString(LedgerDisplayName(file)), summary, note);
    window_.panel.showCoverage(summary, hours);
}

void LedgerController::create() {
    QString name =
        window_.dialogs.saveFileName(&window_.parent, kLedgerFilter, folder(), QStringLiteral("New Guild Ledger"));
    if (name.isEmpty())
        return;
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".sqlite");
    // A ledger holds what no armory shows any more: it is never replaced.
    if (FileExists(name.toStdString())) {
        window_.inform(
            QStringLiteral("%1 already exists. Choose \"Open…\" to use it, or another name for a new ledger.")
                .arg(name),
            false);
        return;
    }
    use(name, true);
}

void LedgerController::open() {
    const QString name =
        window_.dialogs.openFileName(&window_.parent, QStringLiteral("Open Guild Ledger"), folder(), kLedgerFilter);
    if (!name.isEmpty())
        use(name);
}

void LedgerController::connectShared() {
    const bool onServer = IsServerLedger(file_.toStdString());
    const QString uri = window_.dialogs.sharedLedger(&window_.parent, onServer ? file_ : QString());
    if (uri.isEmpty() || busy())
        return;
    // The settings keep the ledger without its password; this run connects with the URI as given.
    const QString kept = ToQString(LedgerNameWithoutPassword(uri.toStdString()));
    uris_.insert(kept, uri);
    use(kept);
}

void LedgerController::add() {
    if (!activity_.idle() || busy())
        return;
    if (const std::string refusal = LedgerWriteRefusal(path().toStdString()); !refusal.empty()) {
        window_.inform(ToQString(refusal), true);
        return;
    }
    action_ = Action::Add;
    activity_.begin(Activity::AddingToLedger);
    window_.panel.showAdding(true);
    window_.panel.showStatus(QStringLiteral("Adding the bank log to the ledger…"));
    LogText text = window_.readLog([this] { return !activity_.stopping(); });
    if (activity_.stopping()) {
        action_ = Action::None;
        window_.panel.showAdding(false);
        window_.panel.showStatus(ToQString(AddCancelled().what()));
        activity_.end();
        return;
    }
    job_.add(path().toStdString(), std::move(text), window_.logFiles(), NowMs());
}

void LedgerController::cancelAdd() {
    if (action_ != Action::Add)
        return;
    activity_.cancel();
    job_.cancel();
}

void LedgerController::onFinished() {
    LedgerJob::Results results = job_.takeResults();
    const Action action = std::exchange(action_, Action::None);
    const bool wasAdd = action == Action::Add;
    if (wasAdd) {
        window_.panel.showAdding(false);
        activity_.end();
    }
    emit busyChanged();
    const bool failed = !results.error.empty();
    if (failed && action == Action::Refresh && !results.needsPassword) {
        window_.panel.showStatus(refreshFailure(results.error));
        return;
    }
    if (!failed)
        readAt_ = QTime::currentTime();
    if (!wasAdd || !failed) { // a failed add leaves the ledger, and its lists, as they were
        QString note = ToQString(LedgerWriteRefusal(results.file));
        if (note.isEmpty() && !results.summary && !failed)
            note = QStringLiteral("There is no ledger file yet: the first add creates it.");
        showRead(results.file, results.summary ? &*results.summary : nullptr, results.hours, note);
    }
    QStringList status{OneLine(results.error)};
    if (results.added) {
        status.clear();
        for (const std::string& line : AddStatusLines("The bank log", *results.added))
            status << ToQString(line);
        for (const TimeGap& gap : results.added->outcome.openedGaps)
            status << ToQString(GapText(gap));
    }
    window_.panel.showStatus(status.join(u'\n'));
    if (results.added && !results.added->outcome.alerts.empty())
        emit alertsFired(results.added->outcome.alerts);
    if (!failed) {
        if (!wasAdd)
            readable_ = file_;
        return;
    }
    if (results.cancelled)
        return;
    if (!wasAdd)
        uris_.remove(file_); // a password that did not do is asked for again
    if (!wasAdd && results.needsPassword) {
        const QString shown = ToQString(LedgerDisplayName(file_.toStdString()));
        if (const std::optional<QString> password = window_.dialogs.password(&window_.parent, shown)) {
            uris_.insert(file_, ToQString(ServerLedgerWithPassword(file_.toStdString(), password->toStdString())));
            use(file_);
            return;
        }
    }
    window_.inform(OneLine(results.error), results.error != kNoXmlMessage);
    // A ledger just chosen that cannot be read is not kept: the one before it comes back.
    if (!wasAdd && file_ != readable_)
        use(readable_);
}

} // namespace coffer
