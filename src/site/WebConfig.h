#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace bw {

// How the metrics endpoint is reached on a plant network: the web
// configuration file Prometheus's exporters read, for just these keys:
//
//   tls_server_config:
//     cert_file: server.crt        # relative paths: from the file's folder
//     key_file: server.key
//     client_ca_file: ca.crt       # optional, with client_auth_type
//     client_auth_type: RequireAndVerifyClientCert
//   basic_auth_users:
//     prometheus: $2y$10$...       # bcrypt
//
// Anything else is refused, so a key meant to protect the endpoint cannot
// be misspelt into one that is quietly ignored.
struct WebConfig {
  enum class ClientAuth { None, VerifyIfGiven, RequireAndVerify };

  QString file;
  QString certFile;  // both empty: plain HTTP
  QString keyFile;
  QString clientCaFile;
  ClientAuth clientAuth = ClientAuth::None;
  std::vector<std::pair<std::string, std::string>> users;  // name, bcrypt hash

  bool tls() const { return !certFile.isEmpty(); }
};

struct WebConfigReading {
  std::optional<WebConfig> config;
  QStringList errors;  // "FILE:LINE: reason"
};

// `fileName` is named in the errors and is where relative paths start from.
WebConfigReading parseWebConfig(const QByteArray& bytes, const QString& fileName);
WebConfigReading readWebConfig(const QString& path);

}  // namespace bw
