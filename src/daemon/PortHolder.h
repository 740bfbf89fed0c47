#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace bw {

// Who listens on a TCP port this logger could not take, as far as it can be
// told: from /proc, the process with a descriptor of the listening socket and
// its command line, where this process may look (as root, or as the same
// user); else what the port's own /metrics says of the program serving it,
// which a logger under another dynamic user still answers. Best effort, and
// bounded: /proc is read in limited amounts, the question to the port ends
// within two seconds.
struct PortHolder {
  QString who;          // "brinewatchd --site /etc/brinewatch/tank1.toml (pid 1234)"
  bool logger = false;  // another brinewatchd: the site files clash, not a passing state
};

// `host` as the listen address gave it (an empty, any or IPv6 address too).
std::optional<PortHolder> findPortHolder(const QString& host, quint16 port);

// What the port's /metrics says of the Brinewatch program serving it, and of
// its site; none when it is no Brinewatch program's, or does not answer.
std::optional<PortHolder> askPortMetrics(const QString& host, quint16 port);

// The inode of the socket listening on `port` in the text of /proc/net/tcp
// or tcp6; 0 when none does.
quint64 listeningInode(const QByteArray& table, quint16 port);

// A process's command line, its words as /proc/PID/cmdline holds them (NUL
// after each), said as a person would type it: the program's name without
// its folder.
QString commandLineText(const QByteArray& cmdline);

}  // namespace bw
