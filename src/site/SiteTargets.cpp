#include "site/SiteTargets.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkInterface>
#include <optional>

namespace bw {

namespace {

std::optional<QString> logProblem(const QString& path) {
  const QFileInfo file(path);
  if (file.exists()) {
    if (file.isDir()) return QStringLiteral("a folder, not a file");
    if (!file.isFile()) return QStringLiteral("not a regular file");
    if (!file.isWritable()) return QStringLiteral("the file cannot be written");
    return std::nullopt;
  }
  // The logger makes the file in its folder.
  const QString folder = file.absolutePath();
  const QFileInfo dir(folder);
  if (!dir.exists()) return QStringLiteral("its folder %1 does not exist").arg(folder);
  if (!dir.isDir()) return QStringLiteral("%1 is not a folder").arg(folder);
  if (!dir.isWritable() || !dir.isExecutable())
    return QStringLiteral("its folder %1 cannot be written").arg(folder);
  return std::nullopt;
}

// Whether the logger can listen on `host`: loopback, any address, or one of
// this host's interfaces. The port is left to the start: another program may
// hold it then or not.
std::optional<QString> metricsHostProblem(const QString& host) {
  const QHostAddress address(host);
  if (address.isLoopback() || address == QHostAddress(QHostAddress::AnyIPv4) ||
      address == QHostAddress(QHostAddress::AnyIPv6))
    return std::nullopt;
  QStringList own;
  for (QHostAddress mine : QNetworkInterface::allAddresses()) {
    mine.setScopeId(QString());
    if (mine.isEqual(address, QHostAddress::ConvertV4MappedToIPv4)) return std::nullopt;
    own << mine.toString();
  }
  return QStringLiteral("%1 is not an address of this host (it has %2)")
      .arg(host, own.join(QStringLiteral(", ")));
}

}  // namespace

QStringList checkSiteTargets(const Site& site) {
  QStringList errors;
  const auto add = [&](int line, const QString& reason) {
    errors << QStringLiteral("%1:%2: %3").arg(site.file).arg(line).arg(reason);
  };
  if (!site.log.isEmpty())
    if (const auto why = logProblem(site.log))
      add(site.lines.log, QStringLiteral("log \"%1\": %2").arg(site.log, *why));
  if (site.metrics)
    if (const auto why = metricsHostProblem(site.metrics->host))
      add(site.lines.metrics, QStringLiteral("metrics \"%1\": %2").arg(site.metrics->text, *why));
  if (errors.size() == 2 && site.lines.metrics < site.lines.log) errors.swapItemsAt(0, 1);
  return errors;
}

}  // namespace bw
