#include "ui/user_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace coffer {

QString QtUserDialogs::openFileName(QWidget* parent, const QString& folder) {
    return QFileDialog::getOpenFileName(parent, {}, folder);
}

QString QtUserDialogs::saveFileName(QWidget* parent, const QString& filter, const QString& folder) {
    return QFileDialog::getSaveFileName(parent, {}, folder, filter, nullptr, QFileDialog::DontConfirmOverwrite);
}

bool QtUserDialogs::confirm(QWidget* parent, const QString& title, const QString& text) {
    return QMessageBox::question(parent, title, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) ==
           QMessageBox::Ok;
}

void QtUserDialogs::inform(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

} // namespace coffer
