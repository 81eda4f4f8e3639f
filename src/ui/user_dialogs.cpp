#include "ui/user_dialogs.h"

#include "ui/shared_ledger_dialog.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace coffer {

QString QtUserDialogs::openFileName(QWidget* parent, const QString& title, const QString& folder) {
    return QFileDialog::getOpenFileName(parent, title, folder);
}

QString QtUserDialogs::saveFileName(QWidget* parent, const QString& filter, const QString& folder,
                                    const QString& title) {
    return QFileDialog::getSaveFileName(parent, title, folder, filter, nullptr, QFileDialog::DontConfirmOverwrite);
}

bool QtUserDialogs::confirm(QWidget* parent, const QString& title, const QString& text, Buttons buttons) {
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
