// SPDX-License-Identifier: MIT
#pragma once
// "Connect to a Shared Ledger": a guild ledger on a PostgreSQL server, named by its connection URI or
// by the server's host, port, database and user.

#include <QDialog>

class QDialogButtonBox;
class QLineEdit;
class QRadioButton;

namespace coffer {

class SharedLedgerDialog : public QDialog {
    Q_OBJECT
  public:
    // `current`: the server ledger in use, to start from; "" for none.
    explicit SharedLedgerDialog(const QString& current, QWidget* parent = nullptr);
    // The URI the user chose, built from the parts when those were given.
    QString uri() const;

  private:
    void update();

    QRadioButton* optUri_;
    QLineEdit* txtUri_;
    QRadioButton* optParts_;
    QLineEdit* txtHost_;
    QLineEdit* txtPort_;
    QLineEdit* txtDatabase_;
    QLineEdit* txtUser_;
    QDialogButtonBox* buttons_;
};

} // namespace coffer
