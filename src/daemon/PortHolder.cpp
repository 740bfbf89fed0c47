#include "daemon/PortHolder.h"

#include <QByteArrayList>
#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpSocket>

#ifndef _WIN32
#include <dirent.h>
#include <unistd.h>
#endif

namespace bw {

namespace {

constexpr qint64 kMostTableRead = 4 << 20;  // some 30,000 sockets
constexpr qint64 kMostCommandRead = 4096;
constexpr qint64 kMostMetricsRead = 1 << 20;
constexpr int kAskMilliseconds = 2000;
constexpr int kTcpListen = 0x0A;

QByteArray readBounded(const QString& path, qint64 most) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return {};
  // Files of /proc read as size 0: read until they end, or the bound.
  QByteArray text;
  while (text.size() < most) {
    const QByteArray part = file.read(most - text.size());
    if (part.isEmpty()) break;
    text += part;
  }
  return text;
}

// The process holding a descriptor of the socket `inode`; 0 when none this
// process may see (and always on Windows, which has no /proc).
qint64 socketOwner(quint64 inode) {
#ifdef _WIN32
  Q_UNUSED(inode);
  return 0;
#else
  const QByteArray wanted = "socket:[" + QByteArray::number(inode) + ']';
  const qint64 self = ::getpid();
  DIR* proc = ::opendir("/proc");
  if (!proc) return 0;
  qint64 owner = 0;
  while (const dirent* entry = ::readdir(proc)) {
    bool number = false;
    const qint64 pid = QByteArray(entry->d_name).toLongLong(&number);
    if (!number || pid == self) continue;
    const QByteArray folder = "/proc/" + QByteArray::number(pid) + "/fd";
    DIR* fds = ::opendir(folder.constData());
    if (!fds) continue;  // another user's, or gone
    while (const dirent* fd = ::readdir(fds)) {
      char target[64];
      const QByteArray path = folder + '/' + fd->d_name;
      const ssize_t length = ::readlink(path.constData(), target, sizeof target);
      if (length == wanted.size() && wanted == QByteArray(target, static_cast<qsizetype>(length))) {
        owner = pid;
        break;
      }
    }
    ::closedir(fds);
    if (owner) break;
  }
  ::closedir(proc);
  return owner;
#endif
}

std::optional<PortHolder> fromProc(quint16 port) {
  quint64 inode = 0;
  for (const char* table : {"/proc/self/net/tcp", "/proc/self/net/tcp6"}) {
    inode = listeningInode(readBounded(QString::fromLatin1(table), kMostTableRead), port);
    if (inode) break;
  }
  if (!inode) return std::nullopt;
  const qint64 pid = socketOwner(inode);
  if (!pid) return std::nullopt;
  const QByteArray cmdline =
      readBounded(QStringLiteral("/proc/%1/cmdline").arg(pid), kMostCommandRead);
  const QString command = commandLineText(cmdline);
  if (command.isEmpty()) return std::nullopt;
  return PortHolder{QStringLiteral("%1 (pid %2)").arg(command).arg(pid),
                    command.section(u' ', 0, 0) == u"brinewatchd"};
}

// A label's value in the labels of a sample, "" when it has none.
QString labelIn(const QString& labels, const QString& name) {
  const QRegularExpression label(QStringLiteral("(?:^|,)") + name +
                                 QStringLiteral(R"re(="((?:[^"\\]|\\.)*)")re"));
  QString value = label.match(labels).captured(1);
  return value.replace(QStringLiteral("\\\""), QStringLiteral("\""))
      .replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
}

}  // namespace

std::optional<PortHolder> askPortMetrics(const QString& host, quint16 port) {
  QString where = host;
  if (where.startsWith(u'[') && where.endsWith(u']')) where = where.mid(1, where.size() - 2);
  QHostAddress address(where);
  if (where.isEmpty() || where == u"localhost" || address == QHostAddress::AnyIPv4)
    address = QHostAddress::LocalHost;
  else if (address == QHostAddress::AnyIPv6)
    address = QHostAddress::LocalHostIPv6;
  if (address.isNull()) return std::nullopt;
  const QDeadlineTimer deadline(kAskMilliseconds);
  QTcpSocket socket;
  socket.connectToHost(address, port);
  if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) return std::nullopt;
  socket.write("GET /metrics HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
  QByteArray answer;
  while (answer.size() < kMostMetricsRead && !deadline.hasExpired() &&
         (socket.bytesAvailable() > 0 ||
          socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))))
    answer += socket.read(kMostMetricsRead - answer.size());
  const qsizetype info = answer.indexOf("\nbrinewatch_build_info{");
  if (info < 0) return std::nullopt;
  const qsizetype open = answer.indexOf('{', info), close = answer.indexOf('}', open);
  if (close < 0) return std::nullopt;
  const QString labels = QString::fromUtf8(answer.mid(open + 1, close - open - 1));
  const QString program = labelIn(labels, QStringLiteral("program"));
  const QString site = labelIn(labels, QStringLiteral("site"));
  if (program.isEmpty()) return std::nullopt;
  return PortHolder{
      site.isEmpty() ? program : QStringLiteral("%1 of site \"%2\"").arg(program, site),
      program == u"brinewatchd"};
}

quint64 listeningInode(const QByteArray& table, quint16 port) {
  // "  0: 0100007F:2650 00000000:0000 0A ... uid timeout inode ..."
  for (const QByteArray& line : table.split('\n')) {
    const QByteArrayList fields = line.simplified().split(' ');
    if (fields.size() < 10) continue;
    const QByteArray& local = fields[1];
    bool portOk = false, stateOk = false, inodeOk = false;
    const uint localPort = local.mid(local.lastIndexOf(':') + 1).toUInt(&portOk, 16);
    const int state = fields[3].toInt(&stateOk, 16);
    const quint64 inode = fields[9].toULongLong(&inodeOk);
    if (portOk && stateOk && inodeOk && state == kTcpListen && localPort == port && inode)
      return inode;
  }
  return 0;
}

QString commandLineText(const QByteArray& cmdline) {
  QByteArrayList words = cmdline.split('\0');
  while (!words.isEmpty() && words.last().isEmpty()) words.removeLast();
  if (words.isEmpty()) return {};
  words[0] = words[0].mid(words[0].lastIndexOf('/') + 1);
  constexpr qsizetype kMostShown = 200;
  const QString text = QString::fromLocal8Bit(words.join(' ')).simplified();
  return text.size() <= kMostShown ? text : text.left(kMostShown) + QStringLiteral("...");
}

std::optional<PortHolder> findPortHolder(const QString& host, quint16 port) {
  if (auto holder = fromProc(port)) return holder;
  return askPortMetrics(host, port);
}

}  // namespace bw
