// SPDX-License-Identifier: MIT
#include "tests/ui/support/outside_add.h"

#include "ui/ledger/entries_tab.h"
#include "ui/ledger/entry_list_model.h"
#include "ui/ledger/ledger_change_watch.h"
#include "ui/ledger/ledger_timeline.h"

#include <QDateTime>
#include <QItemSelectionModel>
#include <QLabel>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>

namespace coffer::test {
namespace {

QString RowText(const QAbstractItemModel* model, int row) {
    QStringList cells;
    for (int column = 0; column < model->columnCount(); ++column)
        cells << model->index(row, column).data().toString();
    return cells.join(u'\t');
}

} // namespace

QString SeeAnAddElsewhere(MainWindowHarness& harness,
                          const std::function<void(const std::string& page)>& addElsewhere) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch() / 1000 * 1000;
    const auto minutesAgo = [now](double minutes) { return now - static_cast<qint64>(minutes * 60000); };
    // The window's page: rows 0 to 104 a minute apart, the entry of row 104 again as row 105, and so on.
    std::vector<std::pair<std::string, qint64>> own, other;
    for (int minute = 0; minute < 300; ++minute)
        own.emplace_back("Ann", minutesAgo(minute));
    own.emplace_back("Ann", minutesAgo(104));
    // The other's: 20 rows above all, one under row 102, a third copy of the entry of rows 104 and 105,
    // and one under those.
    for (int minute = 0; minute < 20; ++minute)
        other.emplace_back("Bob", minutesAgo(-60 - minute));
    other.emplace_back("Bob", minutesAgo(102.5));
    for (int copy = 0; copy < 3; ++copy)
        other.emplace_back("Ann", minutesAgo(104));
    other.emplace_back("Bob", minutesAgo(104.5));

    auto* status = harness.find<QLabel>("lblLedgerStatus");
    QStringList said; // every text the status showed, in turn
    const auto until = [&](const std::function<bool()>& done, int timeoutMs) {
        return RunUntil(
            [&] {
                if (said.isEmpty() || said.constLast() != status->text())
                    said << status->text();
                return done();
            },
            timeoutMs);
    };
    LedgerChangeWatch& changes = harness.window().ledgerChanges();
    if (!until([&] { return changes.upToDate(); }, 10000))
        return QStringLiteral("the ledger just read is not watched");
    if (!harness.addToLedger(DepositsPage(own)))
        return QStringLiteral("the window's own add did not end");
    harness.find<QTabWidget>("tabLedgerLists")->setCurrentWidget(harness.find("tabLedgerEntries"));
    auto* view = harness.find<QTableView>("lstLedgerEntries");
    EntryListModel* model = harness.find<EntriesTab>("tabLedgerEntries")->model();
    if (!until([&] { return model->counted() && model->rowCount() == 301; }, 10000))
        return QStringLiteral("the window's own rows are not listed");
    for (int row : {100, 106})
        model->index(row, 0).data(); // asks for its page
    const bool shown = until(
        [&] {
            view->scrollTo(model->index(100, 0), QAbstractItemView::PositionAtTop); // once the view has its rows
            return view->rowAt(0) == 100 && model->holds(100) && model->holds(106);
        },
        10000);
    if (!shown)
        return QStringLiteral("row 100 and those under it are not in view");
    QItemSelectionModel* selection = view->selectionModel();
    const auto select = [&](int first, int last) {
        selection->select(QItemSelection(model->index(first, 0), model->index(last, 0)),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    select(102, 102);
    select(105, 106); // the entry's second copy, and the row after it
    selection->setCurrentIndex(model->index(105, 1), QItemSelectionModel::NoUpdate);
    const QString top = RowText(model, 100);
    const QStringList chosen{RowText(model, 102), RowText(model, 105), RowText(model, 106)};
    // The watch has read the window's own add: what follows is the other's alone.
    if (!until([&] { return changes.upToDate(); }, 10000))
        return QStringLiteral("the watch did not take in the window's own add");
    addElsewhere(DepositsPage(other));
    auto* timeline = harness.find<LedgerTimeline>("picLedgerTimeline");
    const bool followed = until(
        [&] {
            return harness.find<QLabel>("lblLedgerTotals")
                       ->text()
                       .contains(QStringLiteral("Entries:\u00a0324\u00a0(")) &&
                   harness.find<QTabWidget>("tabLedgerLists")->tabText(0) == QStringLiteral("Pastes: 2") &&
                   timeline->axis().to() >= minutesAgo(-79) &&
                   harness.find<QLabel>("lblEntryCount")->text() == QStringLiteral("324 entries: everything") &&
                   status->text().startsWith(QStringLiteral("The ledger changed"));
        },
        5000);
    if (!followed)
        return QStringLiteral("the panel did not follow the add within 5 s: ") + said.join(QStringLiteral(" | "));
    // The rows kept are where the other's rows put them: 20 above, one under row 102, one more copy.
    QList<int> selected;
    for (const QModelIndex& index : selection->selectedRows())
        selected << index.row();
    std::ranges::sort(selected);
    QStringList numbers;
    for (int row : selected)
        numbers << QString::number(row);
    if (view->rowAt(0) != 120 || RowText(model, 120) != top)
        return QStringLiteral("the top row is now %1").arg(view->rowAt(0));
    if (selected != QList<int>{122, 126, 129} || selection->currentIndex() != model->index(126, 1))
        return QStringLiteral("the rows selected are now ") + numbers.join(u' ');
    if (QStringList{RowText(model, 122), RowText(model, 126), RowText(model, 129)} != chosen)
        return QStringLiteral("the rows selected are others");
    const QStringList lines = said.filter(QRegularExpression(QStringLiteral("^The ledger changed")));
    const QRegularExpression line(
        QStringLiteral("^The ledger changed: 23 new entries \\((\\d\\d:\\d\\d:\\d\\d)\\)\\.$"));
    const QRegularExpressionMatch match = lines.size() == 1 ? line.match(lines[0]) : QRegularExpressionMatch();
    if (!match.hasMatch() ||
        std::abs(QTime::fromString(match.captured(1), QStringLiteral("HH:mm:ss")).secsTo(QTime::currentTime())) > 10)
        return QStringLiteral("the status said: ") + said.join(QStringLiteral(" | "));
    return {};
}

} // namespace coffer::test
