#include "SimServer.h"

#include "SimConnection.h"

namespace bw::sim {

SimServer::SimServer(SimulatorState& state, quint32 seed, RequestHook onRequest)
    : state_(state), model_(seed), onRequest_(std::move(onRequest)) {}

void SimServer::incomingConnection(qintptr socketDescriptor) {
  // Handled directly instead of through the pending-connection queue.
  new SimConnection(socketDescriptor, this);
}

}  // namespace bw::sim
