#include "SimulatorState.h"

#include <algorithm>

namespace bw::sim {

SimulatorState::SimulatorState(std::chrono::milliseconds conversionTime, int logCapacity,
                               RomCodes romCodes, bool othersWithoutTemperature)
    : romCodes_(std::move(romCodes)),
      othersWithoutTemperature_(othersWithoutTemperature),
      conversionTime_(conversionTime),
      logCapacity_(static_cast<std::size_t>(std::max(0, logCapacity))) {}

SimulatorState::Decision SimulatorState::record(const QByteArray& requestLine, int slot) {
  Decision decision;
  {
    std::lock_guard lock(mutex_);
    if (logCapacity_ > 0) {
      if (log_.size() < logCapacity_) {
        log_.push_back(requestLine);
      } else {
        log_[logStart_] = requestLine;
        logStart_ = (logStart_ + 1) % logCapacity_;
      }
    }
    ++requestCount_;
    if (slot >= 0 && slot < static_cast<int>(slots_.size())) decision.settings = slots_[slot];
    decision.conversionTime = conversionTime_;
    decision.twoWrites = twoWrites_;
  }
  requestArrived_.notify_all();
  return decision;
}

void SimulatorState::setConversionTime(std::chrono::milliseconds conversionTime) {
  std::lock_guard lock(mutex_);
  conversionTime_ = std::max(conversionTime, std::chrono::milliseconds::zero());
}

void SimulatorState::setTwoWrites(bool twoWrites) {
  std::lock_guard lock(mutex_);
  twoWrites_ = twoWrites;
}

std::chrono::milliseconds SimulatorState::conversionTime() const {
  std::lock_guard lock(mutex_);
  return conversionTime_;
}

void SimulatorState::setFault(int slot, Fault fault) {
  std::lock_guard lock(mutex_);
  slots_.at(slot).fault = fault;
}

void SimulatorState::setFixedTemperature(int slot, float celsius) {
  std::lock_guard lock(mutex_);
  slots_.at(slot).fixedTemperature = celsius;
}

void SimulatorState::setCustomAnswer(int slot, CustomAnswer answer) {
  std::lock_guard lock(mutex_);
  slots_.at(slot).customAnswer = std::move(answer);
}

void SimulatorState::clearSlot(int slot) {
  std::lock_guard lock(mutex_);
  slots_.at(slot) = SlotSettings{};
}

void SimulatorState::clearAllSlots() {
  std::lock_guard lock(mutex_);
  slots_.fill(SlotSettings{});
}

QList<QByteArray> SimulatorState::requestLines() const {
  std::lock_guard lock(mutex_);
  QList<QByteArray> lines;
  lines.reserve(static_cast<qsizetype>(log_.size()));
  for (std::size_t i = 0; i < log_.size(); ++i) lines.append(log_[(logStart_ + i) % log_.size()]);
  return lines;
}

qint64 SimulatorState::requestCount() const {
  std::lock_guard lock(mutex_);
  return requestCount_;
}

void SimulatorState::clearRequestLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
  log_.shrink_to_fit();
  logStart_ = 0;
  requestCount_ = 0;
}

bool SimulatorState::waitForRequests(qint64 count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return requestArrived_.wait_for(lock, timeout, [&] { return requestCount_ >= count; });
}

}  // namespace bw::sim
