#pragma once

#include "Fault.h"
#include "RomCodes.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string_view>

class QThread;

namespace bw::sim {

class SimServer;
class SimulatorState;

// A simulated network 1-Wire adapter: an HTTP/1.1 server that answers
//   GET /1Wire/ReadDS18B20.html?DS18B20Request=%7b<ROM>,12%7d
// with a device page whose element "Temperature_0" carries the reading.
//
// The server runs in its own thread, so a test may block (nested event
// loops, waitForRequests, blocking sockets) while the simulator keeps
// answering. Every public member is thread-safe.
//
//   bw::sim::AdapterSimulator sim;
//   ASSERT_TRUE(sim.start());
//   sim.setFault(3, bw::sim::Fault::Reset);
//   const auto urls = bw::sensorUrls(bw::builtInSite(sim.host()));
//   ...
//   EXPECT_TRUE(sim.waitForRequests(16, std::chrono::seconds(5)));
//   EXPECT_EQ(sim.requestLines().front(), "GET /1Wire/ReadDS18B20.html?... HTTP/1.1");
//
// What a sensor query gets, first match wins:
//   1. a fault other than Fault::None (setFault);
//   2. a custom answer (setCustomAnswer): that status and raw body;
//   3. the reading page with a fixed temperature (setFixedTemperature),
//      written in its shortest form, e.g. "21.3";
//   4. the reading page with the model temperature: slow drift plus noise per
//      sensor, on the 0.0625 degree grid, four decimals, within -5..+15 degrees,
//      the same sequence for the same seed.
// Unknown paths or ROM codes get 404 (a ROM code not among Options::romCodes
// gets a page without the element instead when othersWithoutTemperature),
// other methods than GET 405, all at once.
// Answers to sensor queries are sent after the conversion time (a timer, other
// connections are served meanwhile); Fault::Reset resets at once.
class AdapterSimulator {
 public:
  struct Options {
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = 0;  // 0: any free port, see port()
    std::chrono::milliseconds conversionTime{0};
    // Headers and body in two writes (see setTwoWrites).
    bool twoWrites = false;
    quint32 seed = 1;
    // The sensors on the bus, and what a query for any other ROM code gets.
    RomCodes romCodes = builtInRomCodes();
    bool othersWithoutTemperature = false;
    // Newest request lines kept for requestLines(); older ones are dropped.
    int requestLogCapacity = 100'000;
    // Called in the server thread with each raw request line, before answering.
    std::function<void(const QByteArray& requestLine)> onRequest;
  };

  AdapterSimulator();
  explicit AdapterSimulator(Options options);
  // Stops the server and its thread; open connections are closed.
  ~AdapterSimulator();
  AdapterSimulator(const AdapterSimulator&) = delete;
  AdapterSimulator& operator=(const AdapterSimulator&) = delete;

  // Starts listening; false with a reason (e.g. port in use) otherwise.
  bool start(QString* error = nullptr);
  bool isListening() const;
  quint16 port() const;
  // "127.0.0.1:PORT": what goes after "http://" in a query URL.
  QString host() const;

  // Slot of a ROM code of the table built in (any letter case), -1 when unknown.
  static int slotOf(std::string_view romCode);

  void setConversionTime(std::chrono::milliseconds conversionTime);
  std::chrono::milliseconds conversionTime() const;
  // Answers with the status line and headers in one write and the body in
  // another, as many small HTTP servers do.
  void setTwoWrites(bool twoWrites);

  // Per sensor, slot 0-15; other slots are ignored with a warning.
  void setFault(int slot, Fault fault);
  void setFixedTemperature(int slot, float celsius);
  void setCustomAnswer(int slot, int status, QByteArray body);
  // Back to the model temperature without fault, for one or all sensors.
  void clearSlot(int slot);
  void clearAllSlots();

  // Raw request lines in arrival order, e.g. "GET /1Wire/... HTTP/1.1",
  // without CRLF; at most Options::requestLogCapacity of the newest.
  QList<QByteArray> requestLines() const;
  // Requests since start or clearRequestLog(), including dropped log lines.
  int requestCount() const;
  void clearRequestLog();
  // Blocks the caller until requestCount() >= count; false on timeout.
  bool waitForRequests(int count, std::chrono::milliseconds timeout) const;

 private:
  Options options_;
  std::unique_ptr<SimulatorState> state_;
  std::unique_ptr<QThread> thread_;
  SimServer* server_ = nullptr;  // lives in thread_
  std::atomic<quint16> port_{0};
};

}  // namespace bw::sim
