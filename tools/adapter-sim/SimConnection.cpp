#include "SimConnection.h"

#include "DevicePages.h"
#include "SensorQuery.h"
#include "SimServer.h"
#include "acquisition/SensorTable.h"

#include <QTcpSocket>
#include <algorithm>
#include <charconv>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace bw::sim {

namespace {

constexpr qsizetype kMaxHeaderBytes = 16 * 1024;
constexpr qsizetype kMaxBodyBytes = 64 * 1024;
// Input kept while an answer is pending; a client that floods beyond it is dropped.
constexpr qsizetype kMaxBufferedBytes = 256 * 1024;

bool equalsIgnoringCase(QByteArrayView a, QByteArrayView b) {
  return a.size() == b.size() && qstrnicmp(a.data(), b.data(), static_cast<size_t>(a.size())) == 0;
}

QByteArrayView trimmed(QByteArrayView text) {
  while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t')) text = text.sliced(1);
  while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.chop(1);
  return text;
}

// Shortest text that reads back as the same float, e.g. "21.3".
QByteArray floatText(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return QByteArray(buffer, static_cast<qsizetype>(result.ptr - buffer));
}

struct Head {
  QByteArray requestLine;
  QByteArrayView method, target, version;
  bool wellFormed = false;
  bool keepAlive = true;
  qsizetype contentLength = 0;
};

Head parseHead(QByteArrayView head) {
  Head parsed;
  qsizetype lineEnd = head.indexOf('\n');
  if (lineEnd < 0) lineEnd = head.size();
  QByteArrayView line = head.first(lineEnd);
  if (line.endsWith('\r')) line.chop(1);
  parsed.requestLine = line.toByteArray();

  const QByteArrayView request(parsed.requestLine);
  const qsizetype firstSpace = request.indexOf(' ');
  const qsizetype lastSpace = request.lastIndexOf(' ');
  if (firstSpace > 0 && lastSpace > firstSpace + 1) {
    parsed.method = request.first(firstSpace);
    parsed.target = request.sliced(firstSpace + 1, lastSpace - firstSpace - 1);
    parsed.version = request.sliced(lastSpace + 1);
    parsed.wellFormed = parsed.version.startsWith("HTTP/1.") && !parsed.target.contains(' ');
  }
  parsed.keepAlive = parsed.version != "HTTP/1.0";

  QByteArrayView rest = lineEnd < head.size() ? head.sliced(lineEnd + 1) : QByteArrayView();
  while (!rest.isEmpty()) {
    qsizetype end = rest.indexOf('\n');
    if (end < 0) end = rest.size();
    const QByteArrayView header = rest.first(end);
    rest = end < rest.size() ? rest.sliced(end + 1) : QByteArrayView();
    const qsizetype colon = header.indexOf(':');
    if (colon <= 0) continue;
    const QByteArrayView name = trimmed(header.first(colon));
    const QByteArrayView value = trimmed(header.sliced(colon + 1));
    if (equalsIgnoringCase(name, "Connection")) {
      const QByteArray tokens = value.toByteArray().toLower();
      if (tokens.contains("close"))
        parsed.keepAlive = false;
      else if (tokens.contains("keep-alive"))
        parsed.keepAlive = true;
    } else if (equalsIgnoringCase(name, "Content-Length")) {
      bool ok = false;
      parsed.contentLength = value.toByteArray().toLongLong(&ok);
      if (!ok || parsed.contentLength < 0) parsed.wellFormed = false;
    } else if (equalsIgnoringCase(name, "Transfer-Encoding")) {
      parsed.wellFormed = false;  // no bodies expected; chunked input is not decoded
    }
  }
  return parsed;
}

}  // namespace

SimConnection::SimConnection(qintptr socketDescriptor, SimServer* server)
    : QObject(server), server_(server), socket_(new QTcpSocket(this)) {
  conversionTimer_.setSingleShot(true);
  conversionTimer_.setTimerType(Qt::PreciseTimer);
  connect(&conversionTimer_, &QTimer::timeout, this, &SimConnection::sendPending);
  connect(socket_, &QTcpSocket::readyRead, this, &SimConnection::readInput);
  connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
  if (!socket_->setSocketDescriptor(socketDescriptor)) {
    deleteLater();
    return;
  }
  // Small answers on a kept-alive connection must not wait for Nagle.
  socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  input_.reserve(1024);
  output_.reserve(2048);
}

void SimConnection::readInput() {
  const qint64 available = socket_->bytesAvailable();
  if (available <= 0) return;
  if (mute_ || finished_) {
    socket_->skip(available);
    return;
  }
  if (input_.size() + available > kMaxBufferedBytes) {
    resetConnection();
    return;
  }
  const qsizetype old = input_.size();
  input_.resize(old + static_cast<qsizetype>(available));
  const qint64 got = socket_->read(input_.data() + old, available);
  input_.resize(old + static_cast<qsizetype>(std::max<qint64>(got, 0)));
  processInput();
}

void SimConnection::processInput() {
  while (!waiting_ && !mute_ && !finished_) {
    // Blank lines between requests are allowed and skipped.
    qsizetype start = 0;
    while (start < input_.size() && (input_[start] == '\r' || input_[start] == '\n')) ++start;
    if (start > 0) input_.remove(0, start);
    if (input_.isEmpty()) return;

    qsizetype end = input_.indexOf("\r\n\r\n");
    qsizetype terminator = 4;
    const qsizetype bareEnd = input_.indexOf("\n\n");
    if (bareEnd >= 0 && (end < 0 || bareEnd < end)) {
      end = bareEnd;
      terminator = 2;
    }
    if (end < 0) {
      if (input_.size() > kMaxHeaderBytes) {
        keepAlive_ = false;
        answer(431, errorPage(431));
      }
      return;
    }
    if (!handleRequest(end, terminator)) return;
  }
}

bool SimConnection::handleRequest(qsizetype headerEnd, qsizetype terminatorLength) {
  Head head = parseHead(QByteArrayView(input_.constData(), headerEnd));
  if (head.wellFormed && head.contentLength > kMaxBodyBytes) head.wellFormed = false;
  const qsizetype total = headerEnd + terminatorLength + (head.wellFormed ? head.contentLength : 0);
  if (input_.size() < total) return false;
  input_.remove(0, total);

  const bool isGet = head.wellFormed && head.method == "GET";
  std::optional<SensorQuery> parsed;
  if (isGet) parsed = parseSensorQuery(head.target, server_->state().romCodes());
  const SensorQuery query = parsed.value_or(SensorQuery{});
  const SimulatorState::Decision decision = server_->state().record(head.requestLine, query.slot);
  server_->notifyRequest(head.requestLine);
  if (decision.twoWrites != twoWrites_) {
    twoWrites_ = decision.twoWrites;
    // Such servers leave Nagle's algorithm on: the body's small segment
    // then waits for the client to acknowledge the headers.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, twoWrites_ ? 0 : 1);
  }

  keepAlive_ = head.keepAlive && head.wellFormed;
  if (!head.wellFormed) {
    answer(400, errorPage(400));
    return true;
  }
  if (!isGet) {
    answer(405, errorPage(405));
    return true;
  }
  if (!parsed || (query.slot < 0 && !server_->state().othersWithoutTemperature())) {
    answer(404, errorPage(404));
    return true;
  }
  const std::string_view rom(query.romCode.constData(),
                             static_cast<std::size_t>(query.romCode.size()));
  if (query.slot < 0) {
    // A sensor this bus does not have: the adapter answers, without a temperature.
    answerAfter(200, pageWithoutElement(rom, query.resolution), decision.conversionTime);
    return true;
  }

  const SlotSettings& settings = decision.settings;
  int status = 200;
  QByteArray body;
  switch (settings.fault) {
    case Fault::NoAnswer:
      mute_ = true;
      input_.clear();
      return true;
    case Fault::Reset:
      resetConnection();
      return true;
    case Fault::HttpError:
      status = 500;
      body = errorPage(500);
      break;
    case Fault::NoElement:
      body = pageWithoutElement(rom, query.resolution);
      break;
    case Fault::EmptyValue:
      body = readingPage(rom, query.resolution, "");
      break;
    case Fault::NonNumeric:
      body = readingPage(rom, query.resolution, "n/a");
      break;
    case Fault::None:
      if (settings.customAnswer) {
        status = settings.customAnswer->status;
        body = settings.customAnswer->body;
      } else if (settings.fixedTemperature) {
        body = readingPage(rom, query.resolution, floatText(*settings.fixedTemperature));
      } else {
        const double celsius = server_->model().next(query.slot);
        body = readingPage(rom, query.resolution, QByteArray::number(celsius, 'f', 4));
      }
      break;
  }
  answerAfter(status, std::move(body), decision.conversionTime);
  return true;
}

void SimConnection::answerAfter(int status, QByteArray body,
                                std::chrono::milliseconds conversionTime) {
  if (conversionTime > std::chrono::milliseconds::zero())
    answerLater(status, std::move(body), conversionTime);
  else
    answer(status, body);
}

void SimConnection::answer(int status, const QByteArray& body) {
  output_.resize(0);  // keeps the capacity for the next answer
  output_.append("HTTP/1.1 ");
  output_.append(QByteArray::number(status));
  output_.append(' ');
  output_.append(reasonPhrase(status));
  output_.append("\r\nContent-Type: text/html\r\nCache-Control: no-cache\r\nContent-Length: ");
  output_.append(QByteArray::number(body.size()));
  output_.append(keepAlive_ ? "\r\nConnection: keep-alive\r\n\r\n"
                            : "\r\nConnection: close\r\n\r\n");
  if (twoWrites_ && !body.isEmpty()) {
    socket_->write(output_);
    socket_->flush();  // the headers leave on their own
    socket_->write(body);
  } else {
    output_.append(body);
    socket_->write(output_);
  }
  if (!keepAlive_) {
    finished_ = true;
    socket_->disconnectFromHost();
  }
}

void SimConnection::answerLater(int status, QByteArray body, std::chrono::milliseconds delay) {
  pendingStatus_ = status;
  pendingBody_ = std::move(body);
  waiting_ = true;
  conversionTimer_.start(delay);
}

void SimConnection::sendPending() {
  waiting_ = false;
  answer(pendingStatus_, pendingBody_);
  pendingBody_.clear();
  processInput();
}

void SimConnection::resetConnection() {
  finished_ = true;
  conversionTimer_.stop();
#ifdef Q_OS_UNIX
  // Linger 0 makes close() send RST instead of FIN.
  const qintptr descriptor = socket_->socketDescriptor();
  if (descriptor >= 0) {
    const linger noLinger{1, 0};
    ::setsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_LINGER, &noLinger, sizeof noLinger);
  }
#endif
  socket_->abort();
  deleteLater();
}

}  // namespace bw::sim
