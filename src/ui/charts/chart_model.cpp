#include "ui/charts/chart_model.h"

#include "analysis/cell_number.h"
#include "analysis/transaction_totals.h"
#include "report/list_sort.h"

#include <stdexcept>

namespace coffer {

static_assert(kChartEntries.size() == kTotalValue, "entry k charts member column k");

ChartModel BuildChart(StatsTable& members, int entry) {
    if (entry < 1 || entry > static_cast<int>(kChartEntries.size()))
        throw std::out_of_range("no chart entry " + std::to_string(entry));

    members.setSorted(false);
    SortHighestFirst(members, entry);

    ChartModel chart;
    chart.title = kChartEntries[static_cast<std::size_t>(entry - 1)];
    const auto column = static_cast<std::size_t>(entry);
    for (std::size_t row = 0; row < members.rowCount(); ++row) {
        const std::int64_t value = RoundedValue(members.cell(row, column));
        if (value != 0)
            chart.bars.push_back({members.cell(row, kCharacter), value});
    }
    chart.labels = chart.bars.size() >= kVerticalLabelsFrom ? LabelOrientation::Vertical : LabelOrientation::Horizontal;
    return chart;
}

} // namespace coffer
