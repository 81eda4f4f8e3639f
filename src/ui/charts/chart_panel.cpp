// SPDX-License-Identifier: MIT
#include "ui/charts/chart_panel.h"

#include "ui/base/twips.h"
#include "ui/base/user_dialogs.h"
#include "ui/charts/bar_chart.h"
#include "ui/charts/chart_model.h"
#include "ui/charts/chart_output.h"

#include <QAbstractItemView>
#include <QBarCategoryAxis>
#include <QChartView>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>

namespace coffer {
namespace {

// The controls keep their designed sizes, given in twips.
int Pixels(const QWidget& widget, float twips) {
    return TwipsToPixels(twips, widget.logicalDpiX());
}

QPushButton* MakeButton(QWidget& parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, &parent);
    button->setObjectName(QLatin1String(name));
    button->setFixedSize(Pixels(parent, 1995), Pixels(parent, 315));
    return button;
}

} // namespace

ChartPanel::ChartPanel(MemberTableSort sortMembers, ActivitySource activity, UserDialogs& dialogs, QString dialogTitle,
                       PrinterSource defaultPrinter, OutputRefusal refuseOutput, QWidget* parent)
    : QWidget(parent), sortMembers_(std::move(sortMembers)), activity_(std::move(activity)), dialogs_(dialogs),
      dialogTitle_(std::move(dialogTitle)), defaultPrinter_(std::move(defaultPrinter)),
      refuseOutput_(std::move(refuseOutput)), chart_(new BarChart), view_(new QChartView(chart_, this)),
      scroll_(new QScrollBar(Qt::Horizontal, this)) {
    auto* label = new QLabel(QStringLiteral("Display:"), this);
    label->setObjectName(QStringLiteral("Label4"));

    chartType_ = makeChartTypeBox();

    QPushButton* print = MakeButton(*this, "Command7", QStringLiteral("Print Chart"));
    connect(print, &QPushButton::clicked, this, &ChartPanel::printChart);
    QPushButton* save = MakeButton(*this, "cmdSaveChart", QStringLiteral("Save Chart"));
    connect(save, &QPushButton::clicked, this, &ChartPanel::saveChart);

    view_->setObjectName(QStringLiteral("MSChart1"));
    view_->setRenderHint(QPainter::Antialiasing);
    view_->viewport()->installEventFilter(this);
    scroll_->setObjectName(QStringLiteral("chartScroll"));
    connect(scroll_, &QScrollBar::valueChanged, chart_, &BarChart::showFrom);
    connect(chart_, &BarChart::shownBarsChanged, this, &ChartPanel::fitScrollBarToChart);
    fitScrollBarToChart();

    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(Pixels(*this, 60), 0, 0, 0);
    controls->addWidget(label);
    controls->addWidget(chartType_);
    controls->addWidget(print);
    controls->addWidget(save);
    controls->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(Pixels(*this, 45));
    layout->addLayout(controls);
    layout->addWidget(view_, 1);
    layout->addWidget(scroll_);
}

bool ChartPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched != view_->viewport())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ToolTip) {
        // A bar's or a name's tooltip is the whole name, which the axis may show cut.
        auto* help = static_cast<QHelpEvent*>(event);
        const QString name = chart_->nameAt(chart_->mapFromScene(view_->mapToScene(help->pos())));
        if (name.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), name, view_);
        return true;
    }
    if (event->type() == QEvent::Wheel) { // the wheel moves along the bars, as the scroll bar does
        QCoreApplication::sendEvent(scroll_, event);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ChartPanel::fitScrollBarToChart() {
    const QSignalBlocker quiet(scroll_); // the chart already shows where the bar is moved to
    scroll_->setRange(0, std::max(chart_->barCount() - chart_->shownCount(), 0));
    scroll_->setPageStep(chart_->shownCount());
    scroll_->setValue(chart_->firstShown());
    scroll_->setVisible(scroll_->maximum() > 0);
}

QComboBox* ChartPanel::makeChartTypeBox() {
    auto* box = new QComboBox(this);
    box->setObjectName(QStringLiteral("Combo1"));
    // A picked entry draws its chart; typed text never does, even when it matches an entry, which the
    // box would otherwise pick when editing finishes. Slots run in the order they were connected, so
    // the flag is up exactly while the box handles the end of an edit.
    auto* text = new QLineEdit(box);
    connect(text, &QLineEdit::editingFinished, this, [this] { finishingEdit_ = true; });
    box->setLineEdit(text);
    connect(text, &QLineEdit::editingFinished, this, [this] { finishingEdit_ = false; });
    connect(box, &QComboBox::activated, this, [this](int index) {
        if (finishingEdit_)
            return;
        chosen_ = index + 1;
        draw(chosen_);
    });
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr); // a completion would pick an entry while the user types
    box->setFixedSize(Pixels(*this, 3315), Pixels(*this, 315));
    for (const char* entry : kChartEntries)
        box->addItem(QString::fromLatin1(entry));
    for (const char* entry : kWeeklyChartEntries)
        box->addItem(QString::fromLatin1(entry));
    // The box keeps its designed width, and its list is as wide as the longest entry.
    QAbstractItemView* list = box->view();
    list->setMinimumWidth(list->sizeHintForColumn(0) + list->verticalScrollBar()->sizeHint().width() +
                          2 * list->frameWidth());
    box->setCurrentIndex(-1);
    box->setEditText(QStringLiteral("Select a chart type"));
    return box;
}

void ChartPanel::drawDepositsChart() {
    draw(kDepositsEntry);
}

int ChartPanel::chosenChart() const {
    return chosen_;
}

void ChartPanel::showChosenChart(int entry) {
    chartType_->setCurrentIndex(entry - 1);
    chosen_ = entry;
}

void ChartPanel::draw(int entry) {
    ChartModel model;
    if (entry >= kFirstWeeklyEntry)
        model = BuildWeeklyChart(activity_(), entry);
    else
        sortMembers_([&](StatsTable& members) { model = BuildChart(members, entry); });
    chart_->draw(model);
}

void ChartPanel::printChart() {
    const std::unique_ptr<QPrinter> printer = defaultPrinter_ ? defaultPrinter_() : nullptr;
    if (!printer) {
        inform(QStringLiteral("There is no printer to print the chart on. Set up a default printer "
                              "and try again."));
        return;
    }
    if (!PrintWidgetPicture(*view_, *printer))
        inform(QStringLiteral("The chart could not be printed. Check the default printer and try again."));
}

void ChartPanel::saveChart() {
    const QString name = ChartFileName(chart_->title(), QDate::currentDate());
    const QString suggested = saveFolder_.isEmpty() ? name : QDir(saveFolder_).filePath(name);
    const QString chosen =
        dialogs_.saveFileName(this, QStringLiteral("PNG Images (*.png)"), suggested, QStringLiteral("Save Chart"));
    if (chosen.isEmpty())
        return;
    saveFolder_ = QFileInfo(chosen).absolutePath();
    const QString fileName = WithPngSuffix(chosen);
    if (const QString refusal = refuseOutput_(fileName); !refusal.isEmpty()) {
        inform(refusal);
        return;
    }
    if (QFile::exists(fileName) &&
        !dialogs_.confirm(this, dialogTitle_,
                          QStringLiteral("File already exists.  Are you sure you want to overwrite it?")))
        return;
    // Written beside the target and renamed over it, so a failed save leaves any old file as it was.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || !view_->grab().save(&file, "PNG") || !file.commit())
        inform(QStringLiteral("The chart could not be saved as %1.").arg(fileName));
    else
        emit chartSaved(fileName);
}

// Messages belong to the window, as the window's own do.
void ChartPanel::inform(const QString& text) {
    dialogs_.inform(window(), dialogTitle_, text);
}

} // namespace coffer
