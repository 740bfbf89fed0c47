#include "AdapterSimulator.h"

#include "SimServer.h"
#include "SimulatorState.h"
#include "acquisition/SensorTable.h"
#include "site/Site.h"

#include <QMetaObject>
#include <QThread>
#include <algorithm>
#include <limits>

namespace bw::sim {

namespace {

bool validSlot(int slot) {
  if (slot >= 0 && slot < kMaxReadings) return true;
  qWarning("AdapterSimulator: slot %d is out of range 0-%d, ignored", slot, kMaxReadings - 1);
  return false;
}

}  // namespace

RomCodes builtInRomCodes() {
  RomCodes roms;
  for (int slot = 0; slot < kMaxReadings; ++slot) {
    const std::string_view rom = kBuiltInRomCodes[static_cast<std::size_t>(slot)];
    roms[static_cast<std::size_t>(slot)] =
        QByteArray(rom.data(), static_cast<qsizetype>(rom.size()));
  }
  return roms;
}

int slotOf(const RomCodes& roms, QByteArrayView romCode) {
  for (int slot = 0; slot < kMaxReadings; ++slot) {
    const QByteArray& known = roms[static_cast<std::size_t>(slot)];
    if (!known.isEmpty() && known.compare(romCode, Qt::CaseInsensitive) == 0) return slot;
  }
  return -1;
}

AdapterSimulator::AdapterSimulator() : AdapterSimulator(Options{}) {}

AdapterSimulator::AdapterSimulator(Options options)
    : options_(std::move(options)),
      state_(std::make_unique<SimulatorState>(options_.conversionTime, options_.requestLogCapacity,
                                              options_.romCodes,
                                              options_.othersWithoutTemperature)),
      thread_(std::make_unique<QThread>()) {
  state_->setTwoWrites(options_.twoWrites);
  thread_->setObjectName(QStringLiteral("adapter-sim"));
  server_ = new SimServer(*state_, options_.seed, options_.onRequest);
  server_->moveToThread(thread_.get());
  // The server and its connections go with the thread's last deferred deletions.
  QObject::connect(thread_.get(), &QThread::finished, server_, &QObject::deleteLater);
  thread_->start();
}

AdapterSimulator::~AdapterSimulator() {
  thread_->quit();
  thread_->wait();
}

bool AdapterSimulator::start(QString* error) {
  bool listening = false;
  QString reason;
  QMetaObject::invokeMethod(
      server_,
      [this, &reason] {
        if (server_->isListening()) return true;
        if (server_->listen(options_.address, options_.port)) {
          port_ = server_->serverPort();
          return true;
        }
        reason = server_->errorString();
        return false;
      },
      Qt::BlockingQueuedConnection, &listening);
  if (!listening && error) {
    *error = QStringLiteral("cannot listen on %1:%2: %3")
                 .arg(options_.address.toString())
                 .arg(options_.port)
                 .arg(reason);
  }
  return listening;
}

bool AdapterSimulator::isListening() const {
  return port_ != 0;
}

quint16 AdapterSimulator::port() const {
  return port_;
}

QString AdapterSimulator::host() const {
  QHostAddress address = options_.address;
  // A wildcard listener is reached through loopback.
  if (address == QHostAddress::Any || address == QHostAddress::AnyIPv4)
    address = QHostAddress(QHostAddress::LocalHost);
  else if (address == QHostAddress::AnyIPv6)
    address = QHostAddress(QHostAddress::LocalHostIPv6);
  QString text = address.toString();
  if (address.protocol() == QAbstractSocket::IPv6Protocol)
    text = QLatin1Char('[') + text + QLatin1Char(']');
  return text + QLatin1Char(':') + QString::number(port_);
}

int AdapterSimulator::slotOf(std::string_view romCode) {
  return sim::slotOf(builtInRomCodes(),
                     QByteArrayView(romCode.data(), static_cast<qsizetype>(romCode.size())));
}

void AdapterSimulator::setConversionTime(std::chrono::milliseconds conversionTime) {
  state_->setConversionTime(conversionTime);
}

void AdapterSimulator::setTwoWrites(bool twoWrites) {
  state_->setTwoWrites(twoWrites);
}

std::chrono::milliseconds AdapterSimulator::conversionTime() const {
  return state_->conversionTime();
}

void AdapterSimulator::setFault(int slot, Fault fault) {
  if (validSlot(slot)) state_->setFault(slot, fault);
}

void AdapterSimulator::setFixedTemperature(int slot, float celsius) {
  if (validSlot(slot)) state_->setFixedTemperature(slot, celsius);
}

void AdapterSimulator::setCustomAnswer(int slot, int status, QByteArray body) {
  if (validSlot(slot)) state_->setCustomAnswer(slot, CustomAnswer{status, std::move(body)});
}

void AdapterSimulator::clearSlot(int slot) {
  if (validSlot(slot)) state_->clearSlot(slot);
}

void AdapterSimulator::clearAllSlots() {
  state_->clearAllSlots();
}

QList<QByteArray> AdapterSimulator::requestLines() const {
  return state_->requestLines();
}

int AdapterSimulator::requestCount() const {
  return static_cast<int>(
      std::min<qint64>(state_->requestCount(), std::numeric_limits<int>::max()));
}

void AdapterSimulator::clearRequestLog() {
  state_->clearRequestLog();
}

bool AdapterSimulator::waitForRequests(int count, std::chrono::milliseconds timeout) const {
  return state_->waitForRequests(count, timeout);
}

}  // namespace bw::sim
