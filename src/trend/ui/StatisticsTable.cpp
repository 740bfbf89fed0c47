#include "trend/ui/StatisticsTable.h"

#include <QHeaderView>
#include <algorithm>

#include "site/TextColumns.h"

namespace bw {

StatisticsTable::StatisticsTable(QWidget* parent) : QTableWidget(parent) {
  setColumnCount(5);
  setHorizontalHeaderLabels({QStringLiteral("Sensor"), QStringLiteral("Minimum"),
                             QStringLiteral("Maximum"), QStringLiteral("Mean"),
                             QStringLiteral("Count")});
  verticalHeader()->setVisible(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::NoSelection);
  horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

void StatisticsTable::showStatistics(const std::vector<SensorStatistics>& statistics,
                                     const std::vector<bool>& visible, const SensorKeys& keys) {
  setRowCount(0);
  const bool bands =
      std::any_of(keys.begin(), keys.end(), [](const SensorKey& key) { return key.hasBand(); });
  setColumnCount(bands ? 6 : 5);
  if (bands) setHorizontalHeaderItem(5, new QTableWidgetItem(QStringLiteral("Outside Band")));
  for (std::size_t s = 0; s < statistics.size(); ++s) {
    if (s < visible.size() && !visible[s]) continue;
    const SensorStatistics& st = statistics[s];
    const int row = rowCount();
    insertRow(row);
    const auto cell = [&](int column, const QString& text) {
      auto* item = new QTableWidgetItem(text);
      item->setTextAlignment(column == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                         : Qt::AlignRight | Qt::AlignVCenter);
      setItem(row, column, item);
    };
    const bool any = st.count > 0;
    const QString label = s < keys.size() ? keys[s].label : QStringLiteral("Sensor %1").arg(s + 1);
    cell(0, elidedToColumns(label, kLabelColumns));
    item(row, 0)->setToolTip(label);
    cell(1, any ? QString::number(st.min, 'f', 4) : QStringLiteral("–"));
    cell(2, any ? QString::number(st.max, 'f', 4) : QStringLiteral("–"));
    cell(3, any ? QString::number(st.mean, 'f', 4) : QStringLiteral("–"));
    cell(4, QString::number(st.count));
    if (bands)
      cell(5, s < keys.size() && keys[s].hasBand() ? QString::number(st.outsideBand)
                                                   : QStringLiteral("–"));
  }
}

}  // namespace bw
