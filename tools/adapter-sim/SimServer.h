#pragma once

#include "SimulatorState.h"
#include "TemperatureModel.h"

#include <QByteArray>
#include <QTcpServer>
#include <functional>

namespace bw::sim {

// The listening socket of the simulator; lives in the simulator thread and
// owns its connections.
class SimServer : public QTcpServer {
  Q_OBJECT

 public:
  using RequestHook = std::function<void(const QByteArray& requestLine)>;

  SimServer(SimulatorState& state, quint32 seed, RequestHook onRequest);

  SimulatorState& state() { return state_; }
  TemperatureModel& model() { return model_; }
  void notifyRequest(const QByteArray& requestLine) const {
    if (onRequest_) onRequest_(requestLine);
  }

 protected:
  void incomingConnection(qintptr socketDescriptor) override;

 private:
  SimulatorState& state_;
  TemperatureModel model_;
  RequestHook onRequest_;
};

}  // namespace bw::sim
