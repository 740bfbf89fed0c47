#pragma once

#include <QString>
#include <optional>

namespace bw {

// Where a logger serves its metrics, as a site file gives it: "HOST:PORT",
// ":PORT" or "[IPv6]:PORT", the host an IP address; no host, or localhost,
// is loopback. Read once here; the server and the checks take it as it is.
struct ListenAddress {
  QString text;  // as given, for messages
  QString host;  // the IP address to listen on, without brackets
  quint16 port = 0;

  // The text with the port taken, when 0 asked for any.
  QString withPort(quint16 taken) const {
    return text.left(text.lastIndexOf(u':') + 1) + QString::number(taken);
  }
};

// The address `text` gives, or why it gives none (in `why`).
std::optional<ListenAddress> parseListenAddress(const QString& text, QString* why = nullptr);

}  // namespace bw
