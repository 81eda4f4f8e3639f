#include "ui/bank_log_panel.h"

#include "ui/log_import.h"
#include "ui/twips.h"
#include "ui/window_fonts.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QPlainTextEdit>
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

// An import is added in pieces of this size, so that the window answers in between. Adding a piece to
// the box costs about as much as adding thousands of lines, so the pieces are not small.
constexpr qsizetype kImportPieceBytes = 256 * 1024;

// Appends the characters as toPlainText writes them: line and paragraph separators as line feeds,
// no-break spaces as spaces.
void AppendPlainUtf8(std::string& text, QString& batch) {
    for (QChar& c : batch) {
        if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u'\n';
        else if (c == QChar::Nbsp)
            c = u' ';
    }
    text += batch.toStdString();
}

} // namespace

BankLogPanel::BankLogPanel(const QString& armoryDomain, QWidget* parent)
    : QGroupBox(QStringLiteral("Bank Log XML - Paste the source code of your %1 bank log here").arg(armoryDomain),
                parent) {
    setObjectName(QStringLiteral("Frame2"));
    command8_ = Placed(new QPushButton(QStringLiteral("Import File"), this), "Command8", {120, 360, 2115, 675});
    cmdAnalyze_ = Placed(new QPushButton(QStringLiteral("Analyze now"), this), "cmdAnalyze", {2280, 360, 2115, 675});
    // The frame and the instructions under it make room for two rows of options beyond the lookup.
    auto* options = Placed(new QGroupBox(QStringLiteral("Options"), this), "Frame6", {4500, 240, 6855, 1035});
    chkLorehold_ = Placed(new QCheckBox(QStringLiteral("Look up item values on Lorehold (slower)"), options),
                          "chkLorehold", {120, 300, 4575, 195});
    chkPeriod_ =
        Placed(new QCheckBox(QStringLiteral("Only entries from"), options), "chkPeriod", {120, 540, 1755, 240});
    dtpFrom_ = Placed(new QDateEdit(QDate::currentDate().addDays(-6), options), "dtpFrom", {1890, 510, 1455, 300});
    Placed(new QLabel(QStringLiteral("to"), options), "lblPeriodTo", {3420, 540, 255, 240});
    dtpTo_ = Placed(new QDateEdit(QDate::currentDate(), options), "dtpTo", {3720, 510, 1455, 300});
    for (QDateEdit* day : {dtpFrom_, dtpTo_})
        day->setCalendarPopup(true);
    chkRepeatedOnce_ = Placed(new QCheckBox(QStringLiteral("Count entries repeated on a later page once"), options),
                              "chkRepeatedOnce", {120, 840, 6615, 195});
    chkRepeatedOnce_->hide(); // offered once a run has found entries on more than one page
    auto* label2 = Placed(new QLabel(QString::fromLatin1(kInstructions), this), "Label2", {120, 1305, 11475, 480});
    label2->setWordWrap(true);
    label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Placed(new QLabel(QStringLiteral("Bank Log XML source:"), this), "Label3", {120, 1800, 4695, 195});
    text1_ = new QPlainTextEdit(this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setLineWrapMode(QPlainTextEdit::NoWrap);
    connect(text1_->document(), &QTextDocument::contentsChange, this, [this] {
        if (!importing_)
            knownText_ = text1_->document()->isEmpty() ? std::optional(LogText{}) : std::nullopt;
    });
    BoldCaption(this);
}

bool BankLogPanel::lookUpItems() const {
    return chkLorehold_->isChecked();
}

void BankLogPanel::setLookUpItems(bool lookUp) {
    chkLorehold_->setChecked(lookUp);
}

std::optional<std::pair<QDate, QDate>> BankLogPanel::period() const {
    if (!chkPeriod_->isChecked())
        return std::nullopt;
    return std::pair{dtpFrom_->date(), dtpTo_->date()};
}

bool BankLogPanel::countRepeatedOnce() const {
    return !chkRepeatedOnce_->isHidden() && chkRepeatedOnce_->isChecked();
}

void BankLogPanel::offerRepeatedOnce() {
    chkRepeatedOnce_->show();
}

LogText BankLogPanel::textUtf8(const std::function<void()>& pump) {
    if (knownText_)
        return *knownText_;
    const bool wasReadOnly = text1_->isReadOnly();
    text1_->setReadOnly(true);
    const QTextDocument* document = text1_->document();
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
            pump();
        }
    }
    AppendPlainUtf8(text, batch);
    text1_->setReadOnly(wasReadOnly);
    return {std::make_shared<const std::string>(std::move(text))};
}

void BankLogPanel::appendText(const QString& text) {
    QTextCursor end(text1_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
}

void BankLogPanel::appendImport(std::string file, const std::function<bool()>& pump) {
    bool complete = true;
    ForEachImportPiece(file, kImportPieceBytes, [this, &pump, &complete](const QString& piece) {
        {
            const QScopedValueRollback importing(importing_, true);
            appendText(piece);
        }
        return complete = pump(); // what the pump lets happen is a change of its own
    });
    if (knownText_ && complete && ToShownImportText(file))
        knownText_->push_back(std::make_shared<const std::string>(std::move(file)));
    else
        knownText_.reset();
}

void BankLogPanel::setTextReadOnly(bool readOnly) {
    text1_->setReadOnly(readOnly);
}

void BankLogPanel::placeText(const TwipsRect& rect) {
    PlaceTwips(text1_, rect);
}

} // namespace coffer
