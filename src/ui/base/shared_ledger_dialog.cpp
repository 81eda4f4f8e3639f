// SPDX-License-Identifier: MIT
#include "ui/base/shared_ledger_dialog.h"

#include "ledger/ledger_open.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace coffer {
namespace {

QLineEdit* Field(QWidget* parent, const char* name, const QString& example) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setPlaceholderText(example);
    return field;
}

std::string Trimmed(const QLineEdit* field) {
    return field->text().trimmed().toStdString();
}

} // namespace

SharedLedgerDialog::SharedLedgerDialog(const QString& current, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Connect to a Shared Ledger"));
    auto* intro = new QLabel(
        QStringLiteral("A guild ledger on a PostgreSQL server, which every officer's Coffer adds to and reports "
                       "from. When the server wants a password, Coffer asks for it and keeps it only until it "
                       "closes; ~/.pgpass and service files work as usual."),
        this);
    intro->setWordWrap(true);
    optUri_ = new QRadioButton(QStringLiteral("Connection URI:"), this);
    txtUri_ =
        Field(this, "txtSharedLedgerUri", QStringLiteral("postgresql://officer@db.example/coffer?sslmode=require"));
    txtUri_->setText(current);
    optParts_ = new QRadioButton(QStringLiteral("Server:"), this);
    txtHost_ = Field(this, "txtSharedLedgerHost", QStringLiteral("db.example, or a socket's folder"));
    txtPort_ = Field(this, "txtSharedLedgerPort", QStringLiteral("5432"));
    txtDatabase_ = Field(this, "txtSharedLedgerDatabase", QStringLiteral("coffer"));
    txtUser_ = Field(this, "txtSharedLedgerUser", QStringLiteral("officer"));
    (current.isEmpty() ? optParts_ : optUri_)->setChecked(true);

    auto* parts = new QFormLayout;
    parts->setContentsMargins(24, 0, 0, 0);
    parts->addRow(QStringLiteral("Host:"), txtHost_);
    parts->addRow(QStringLiteral("Port:"), txtPort_);
    parts->addRow(QStringLiteral("Database:"), txtDatabase_);
    parts->addRow(QStringLiteral("User:"), txtUser_);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Connect"));
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* column = new QVBoxLayout(this);
    column->addWidget(intro);
    column->addWidget(optUri_);
    auto* uriRow = new QVBoxLayout;
    uriRow->setContentsMargins(24, 0, 0, 0);
    uriRow->addWidget(txtUri_);
    column->addLayout(uriRow);
    column->addWidget(optParts_);
    column->addLayout(parts);
    column->addWidget(buttons_);
    for (QLineEdit* field : {txtUri_, txtHost_, txtPort_, txtDatabase_, txtUser_})
        connect(field, &QLineEdit::textChanged, this, &SharedLedgerDialog::update);
    connect(optUri_, &QRadioButton::toggled, this, &SharedLedgerDialog::update);
    setMinimumWidth(520);
    update();
}

QString SharedLedgerDialog::uri() const {
    if (optUri_->isChecked())
        return QString::fromStdString(Trimmed(txtUri_));
    return QString::fromStdString(
        ServerLedgerUri(Trimmed(txtHost_), Trimmed(txtPort_), Trimmed(txtDatabase_), Trimmed(txtUser_)));
}

void SharedLedgerDialog::update() {
    const bool byUri = optUri_->isChecked();
    txtUri_->setEnabled(byUri);
    for (QLineEdit* field : {txtHost_, txtPort_, txtDatabase_, txtUser_})
        field->setEnabled(!byUri);
    bool portOk = true;
    if (!txtPort_->text().trimmed().isEmpty())
        txtPort_->text().trimmed().toUShort(&portOk);
    buttons_->button(QDialogButtonBox::Ok)
        ->setEnabled(byUri ? IsServerLedger(Trimmed(txtUri_)) : portOk && !Trimmed(txtDatabase_).empty());
}

} // namespace coffer
