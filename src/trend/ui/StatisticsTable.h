#pragma once

#include <QTableWidget>
#include <vector>

#include "trend/RangeStatistics.h"

namespace bw {

// Minimum, maximum, mean and count of each sensor over the range in view.
class StatisticsTable : public QTableWidget {
  Q_OBJECT

 public:
  explicit StatisticsTable(QWidget* parent = nullptr);
  void showStatistics(const std::vector<SensorStatistics>& statistics,
                      const std::vector<bool>& visible);
};

}  // namespace bw
