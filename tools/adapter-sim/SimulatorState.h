#pragma once

#include "AdapterSimulator.h"
#include "Fault.h"

#include <QByteArray>
#include <QList>
#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

namespace bw::sim {

struct CustomAnswer {
  int status = 200;
  QByteArray body;
};

// What one sensor is told to answer.
struct SlotSettings {
  Fault fault = Fault::None;
  std::optional<float> fixedTemperature;
  std::optional<CustomAnswer> customAnswer;
};

// Settings and request log shared between the API thread and the server
// thread, guarded by one mutex.
class SimulatorState {
 public:
  SimulatorState(std::chrono::milliseconds conversionTime, int logCapacity, RomCodes romCodes,
                 bool othersWithoutTemperature);

  // Set once at construction, read without the lock.
  const RomCodes& romCodes() const { return romCodes_; }
  bool othersWithoutTemperature() const { return othersWithoutTemperature_; }

  struct Decision {
    SlotSettings settings;
    std::chrono::milliseconds conversionTime{0};
    bool twoWrites = false;
  };
  // Logs one request line and returns how to answer it; `slot` -1 for a
  // request that is no sensor query.
  Decision record(const QByteArray& requestLine, int slot);

  void setConversionTime(std::chrono::milliseconds conversionTime);
  std::chrono::milliseconds conversionTime() const;
  // Status line and headers in one write, the body in a second one, as
  // many small HTTP servers answer.
  void setTwoWrites(bool twoWrites);
  void setFault(int slot, Fault fault);
  void setFixedTemperature(int slot, float celsius);
  void setCustomAnswer(int slot, CustomAnswer answer);
  void clearSlot(int slot);
  void clearAllSlots();

  QList<QByteArray> requestLines() const;
  qint64 requestCount() const;
  void clearRequestLog();
  bool waitForRequests(qint64 count, std::chrono::milliseconds timeout) const;

 private:
  const RomCodes romCodes_;
  const bool othersWithoutTemperature_;
  mutable std::mutex mutex_;
  mutable std::condition_variable requestArrived_;
  std::chrono::milliseconds conversionTime_;
  bool twoWrites_ = false;
  std::array<SlotSettings, kMaxReadings> slots_;
  // Ring of the newest lines: once full, `logStart_` is the oldest.
  std::vector<QByteArray> log_;
  std::size_t logStart_ = 0;
  std::size_t logCapacity_;
  qint64 requestCount_ = 0;
};

}  // namespace bw::sim
