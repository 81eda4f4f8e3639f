// SPDX-License-Identifier: MIT
#include "ui/base/user_dialogs.h"

#include "ui/base/shared_ledger_dialog.h"

#include <QDateTime>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>

#include <algorithm>

namespace coffer {
namespace {

// Qt's own file dialog (where the platform has none) opens with columns too narrow for a size
// ("805 bytes"), a type or a date and time: they get the room of their longest text, and the dialog
// the room of its columns, a name of thirty characters and the places beside them.
void FitColumns(QFileDialog& dialog) {
    auto* files = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    auto* places = dialog.findChild<QWidget*>(QStringLiteral("sidebar"));
    if (files == nullptr)
        return; // the platform's dialog
    const QFontMetrics metrics(files->font());
    const QString date = QLocale().toString(QDateTime(QDate(2000, 12, 28), QTime(22, 58)), QLocale::ShortFormat);
    const int padding = 3 * metrics.horizontalAdvance(u'M');
    QHeaderView* header = files->header();
    header->resizeSection(0, metrics.horizontalAdvance(QString(30, u'n')) + padding);
    header->resizeSection(1, metrics.horizontalAdvance(QStringLiteral("1023.99 KiB")) + padding);
    header->resizeSection(2, metrics.horizontalAdvance(QStringLiteral("SQLite3 database")) + padding);
    header->resizeSection(3, metrics.horizontalAdvance(date) + padding);
    int width = places != nullptr ? places->sizeHint().width() : 0;
    for (int column = 0; column < header->count(); ++column)
        width += header->isSectionHidden(column) ? 0 : header->sectionSize(column);
    dialog.resize(std::max(dialog.sizeHint().width(), width + 4 * padding), dialog.sizeHint().height());
}

QString ChosenFile(QFileDialog& dialog) {
    FitColumns(dialog);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().constFirst()
                                                                                   : QString();
}

} // namespace

QString QtUserDialogs::openFileName(QWidget* parent, const QString& title, const QString& folder,
                                    const QString& filter) {
    QFileDialog dialog(parent, title, folder, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return ChosenFile(dialog);
}

QString QtUserDialogs::saveFileName(QWidget* parent, const QString& filter, const QString& folder,
                                    const QString& title) {
    QFileDialog dialog(parent, title, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    return ChosenFile(dialog);
}

bool QtUserDialogs::confirm(QWidget* parent, const QString& title, const QString& text, Buttons buttons) {
    if (buttons == Buttons::WaitStop) { // waiting loses nothing: it is the answer of Escape and Enter
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
        QPushButton* wait = box.addButton(QStringLiteral("&Wait"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("&Stop"), QMessageBox::DestructiveRole);
        box.setDefaultButton(wait);
        box.setEscapeButton(wait);
        box.exec();
        return box.clickedButton() == wait;
    }
    const bool yesNo = buttons == Buttons::YesNo;
    const QMessageBox::StandardButton no = yesNo ? QMessageBox::No : QMessageBox::Cancel;
    const QMessageBox::StandardButton yes = yesNo ? QMessageBox::Yes : QMessageBox::Ok;
    return QMessageBox::question(parent, title, text, yes | no, no) == yes;
}

void QtUserDialogs::inform(QWidget* parent, const QString& title, const QString& text, bool warning) {
    if (warning)
        QMessageBox::warning(parent, title, text, QMessageBox::Ok);
    else
        QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

QString QtUserDialogs::sharedLedger(QWidget* parent, const QString& current) {
    SharedLedgerDialog dialog(current, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.uri() : QString();
}

std::optional<QString> QtUserDialogs::password(QWidget* parent, const QString& ledger) {
    bool ok = false;
    const QString password = QInputDialog::getText(parent, QStringLiteral("Shared Ledger Password"),
                                                   QStringLiteral("The server of %1 wants a password:").arg(ledger),
                                                   QLineEdit::Password, {}, &ok);
    return ok ? std::optional(password) : std::nullopt;
}

} // namespace coffer
