#pragma once

#include <QTableWidget>
#include <vector>

#include "trend/RangeStatistics.h"

namespace bw {

// Minimum, maximum, mean and count of each sensor over the range in view,
// and, where a sensor has an alarm band, how many readings lay outside it.
class StatisticsTable : public QTableWidget {
  Q_OBJECT

 public:
  explicit StatisticsTable(QWidget* parent = nullptr);
  void showStatistics(const std::vector<SensorStatistics>& statistics,
                      const std::vector<bool>& visible, const SensorKeys& keys);
};

}  // namespace bw
