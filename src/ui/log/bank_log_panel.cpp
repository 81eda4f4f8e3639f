// SPDX-License-Identifier: MIT
#include "ui/log/bank_log_panel.h"

#include "ui/base/throttled_event_pump.h"
#include "ui/base/twips.h"
#include "ui/base/window_fonts.h"
#include "ui/log/log_import.h"
#include "ui/log/log_text_box.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace coffer {
namespace {

constexpr const char* kInstructions =
    "You may either paste your bank log XML source code here, or import a file that contains the source.  "
    "Remember you can paste multiple pages of your bank log here, just paste each new page at the bottom of the "
    "previous one.  When you are finished click \"Analyze Now\".";

constexpr qsizetype kBatchChars = 64 * 1024;

constexpr TwipsRect kInstructionsPlace{120, 1305, 11475, 480};

// An import is added in pieces of this size, so that the window answers in between. Adding a piece to
// the box costs about as much as adding thousands of lines, so the pieces are not small.
constexpr qsizetype kImportPieceBytes = 256 * 1024;

// Appends the characters as toPlainText writes them.
void AppendPlainUtf8(std::string& text, QString& batch) {
    MakePlain(batch);
    text += batch.toStdString();
}

} // namespace

BankLogPanel::BankLogPanel(const QString& armoryDomain, QWidget* parent)
    : QGroupBox(QStringLiteral("Bank Log XML - Paste the source code of your %1 bank log here").arg(armoryDomain),
                parent) {
    setObjectName(QStringLiteral("Frame2"));
    importButton_ = Placed(new QPushButton(QStringLiteral("Import File"), this), "Command8", {120, 360, 2115, 675});
    analyzeButton_ = Placed(new QPushButton(QStringLiteral("Analyze now"), this), "cmdAnalyze", {2280, 360, 2115, 675});
    // The frame and the instructions under it make room for two rows of options beyond the lookup, the
    // last one clear of the frame's bottom edge.
    auto* options = Placed(new QGroupBox(QStringLiteral("Options"), this), "Frame6", {4500, 240, 6855, 1065});
    lookupBox_ = Placed(new QCheckBox(QStringLiteral("Look up item values on Lorehold (slower)"), options),
                        "chkLorehold", {120, 300, 4575, 195});
    periodBox_ =
        Placed(new QCheckBox(QStringLiteral("Only entries from"), options), "chkPeriod", {120, 525, 1755, 240});
    fromDate_ = Placed(new QDateEdit(QDate::currentDate().addDays(-6), options), "dtpFrom", {1890, 495, 1455, 285});
    Placed(new QLabel(QStringLiteral("to"), options), "lblPeriodTo", {3420, 525, 255, 240});
    toDate_ = Placed(new QDateEdit(QDate::currentDate(), options), "dtpTo", {3720, 495, 1455, 285});
    for (QDateEdit* day : {fromDate_, toDate_}) {
        day->setCalendarPopup(true);
        connect(day, &QDateEdit::dateChanged, this, &BankLogPanel::periodChanged);
    }
    connect(periodBox_, &QCheckBox::toggled, this, &BankLogPanel::periodChanged);
    repeatedOnceBox_ = Placed(new QCheckBox(QStringLiteral("Count entries repeated on a later page once"), options),
                              "chkRepeatedOnce", {120, 780, 6615, 240});
    repeatedOnceBox_->hide(); // offered once a run has found entries on more than one page
    instructions_ = Placed(new QLabel(QString::fromLatin1(kInstructions), this), "Label2", kInstructionsPlace);
    instructions_->setWordWrap(true);
    instructions_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    buildImportProgress();
    Placed(new QLabel(QStringLiteral("Bank Log XML source:"), this), "Label3", {120, 1800, 4695, 195});
    logTextBox_ = new LogTextBox(this);
    connect(logTextBox_->document(), &QTextDocument::contentsChange, this, [this] {
        if (importing_)
            return;
        const bool empty = logTextBox_->document()->isEmpty();
        knownText_ = empty ? std::optional(LogText{}) : std::nullopt;
        importedFiles_ = empty ? std::optional(QStringList()) : std::nullopt;
    });
    BoldCaption(this);
}

bool BankLogPanel::lookUpItems() const {
    return lookupBox_->isChecked();
}

void BankLogPanel::setLookUpItems(bool lookUp) {
    lookupBox_->setChecked(lookUp);
}

std::optional<std::pair<QDate, QDate>> BankLogPanel::period() const {
    if (!periodBox_->isChecked())
        return std::nullopt;
    return std::pair{fromDate_->date(), toDate_->date()};
}

bool BankLogPanel::countRepeatedOnce() const {
    return !repeatedOnceBox_->isHidden() && repeatedOnceBox_->isChecked();
}

void BankLogPanel::offerRepeatedOnce() {
    repeatedOnceBox_->show();
}

LogText BankLogPanel::textUtf8(const std::function<bool()>& pump) {
    if (knownText_)
        return *knownText_;
    const bool wasReadOnly = logTextBox_->isReadOnly();
    logTextBox_->setReadOnly(true);
    const QTextDocument* document = logTextBox_->document();
    std::string text;
    // Room for a log of ASCII, as most are: growing the text on the way would copy all of it each time.
    text.reserve(static_cast<std::size_t>(document->characterCount()));
    QString batch;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block != document->begin())
            batch += u'\n';
        batch += block.text();
        if (batch.size() >= kBatchChars) {
            AppendPlainUtf8(text, batch);
            batch.resize(0); // keeps its room for the next batch
            if (!pump())
                break;
        }
    }
    AppendPlainUtf8(text, batch);
    logTextBox_->setReadOnly(wasReadOnly);
    return {std::make_shared<const std::string>(std::move(text))};
}

LogText BankLogPanel::textWhileAnswering(const std::function<bool()>& going) {
    ThrottledEventPump pump;
    return textUtf8([&] {
        pump();
        return going();
    });
}

void BankLogPanel::appendText(const QString& text) {
    QTextCursor end(logTextBox_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
}

// The instructions make way for the progress while an import runs.
void BankLogPanel::buildImportProgress() {
    importProgress_ = Placed(new QWidget(this), "importProgress", kInstructionsPlace);
    importProgressBar_ = new QProgressBar(importProgress_);
    importProgressBar_->setObjectName(QStringLiteral("progressImport"));
    importProgressBar_->setFormat(QStringLiteral("Importing: %p%"));
    cancelImportButton_ = new QPushButton(QStringLiteral("Cancel"), importProgress_);
    cancelImportButton_->setObjectName(QStringLiteral("cmdCancelImport"));
    cancelImportButton_->setFocusPolicy(Qt::NoFocus);
    connect(cancelImportButton_, &QPushButton::clicked, this, [this] { importCancelled_ = true; });
    auto* row = new QHBoxLayout(importProgress_);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(importProgressBar_, 1);
    row->addWidget(cancelImportButton_);
    importProgress_->hide();
}

void BankLogPanel::setImporting(bool importing) {
    logTextBox_->setReadOnly(importing);
    if (importing) {
        importCancelled_ = false;
        importProgressBar_->setValue(0);
    }
    importProgress_->setVisible(importing);
    instructions_->setVisible(!importing);
}

bool BankLogPanel::appendImport(std::string file, const QString& name, const std::function<bool()>& pump) {
    const std::optional<LogText> knownBefore = knownText_;
    const std::optional<QStringList> importedBefore = importedFiles_;
    const int start = logTextBox_->document()->characterCount() - 1;
    const auto total = static_cast<double>(std::max<std::size_t>(file.size(), 1));
    qsizetype added = 0;
    bool complete = !importCancelled_;
    ForEachImportPiece(file, kImportPieceBytes, [&](const QString& piece) {
        {
            const QScopedValueRollback importing(importing_, true);
            appendText(piece);
        }
        added += piece.size(); // as many characters as bytes, for the ASCII of most logs
        importProgressBar_->setValue(static_cast<int>(std::min(100.0, 100.0 * static_cast<double>(added) / total)));
        return complete = pump() && !importCancelled_; // what the pump lets happen is a change of its own
    });
    if (importCancelled_) {
        const QScopedValueRollback importing(importing_, true);
        removeFrom(start);
        knownText_ = knownBefore;
        importedFiles_ = importedBefore;
        return false;
    }
    if (importedFiles_ && complete)
        importedFiles_->append(name);
    else
        importedFiles_.reset();
    if (knownText_ && complete && ToShownImportText(file))
        knownText_->push_back(std::make_shared<const std::string>(std::move(file)));
    else
        knownText_.reset();
    return complete;
}

// Emptying the document is far quicker than removing its blocks one by one.
void BankLogPanel::removeFrom(int position) {
    if (position == 0) {
        logTextBox_->clear();
        return;
    }
    QTextCursor rest(logTextBox_->document());
    rest.setPosition(position);
    rest.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    rest.removeSelectedText();
}

void BankLogPanel::placeText(const TwipsRect& rect) {
    PlaceTwips(logTextBox_, rect);
}

} // namespace coffer
