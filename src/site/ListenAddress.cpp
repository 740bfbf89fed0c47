#include "site/ListenAddress.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace bw {

std::optional<ListenAddress> parseListenAddress(const QString& text, QString* why) {
  const auto refuse = [why](const QString& reason) {
    if (why) *why = reason;
    return std::nullopt;
  };
  const qsizetype colon = text.lastIndexOf(u':');
  if (colon < 0) return refuse(QStringLiteral("the port is missing"));
  const QString host = text.left(colon);
  static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
  const QString port = text.mid(colon + 1);
  if (!digits.match(port).hasMatch() || port.toInt() > 65535)
    return refuse(QStringLiteral("the port '%1' is not from 0 to 65535").arg(port));
  ListenAddress address{text, QStringLiteral("127.0.0.1"), static_cast<quint16>(port.toUInt())};
  if (host.isEmpty() || host == u"localhost") return address;
  const bool bracketed = host.startsWith(u'[') && host.endsWith(u']');
  const QHostAddress ip(bracketed ? host.mid(1, host.size() - 2) : host);
  if (ip.isNull() || (ip.protocol() == QAbstractSocket::IPv6Protocol) != bracketed)
    return refuse(
        QStringLiteral("%1 is not an IP address to listen on (an IPv6 one in brackets)").arg(host));
  address.host = ip.toString();
  return address;
}

}  // namespace bw
