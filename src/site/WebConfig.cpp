#include "site/WebConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <set>

namespace bw {

namespace {

constexpr qint64 kMostWebConfigBytes = 64 * 1024;

struct Line {
  int number = 0;
  int indent = 0;
  QString key;
  QString value;  // unquoted
  bool hasValue = false;
};

// One "key: value" line of the small part of YAML these files use: block
// mappings two deep, plain or quoted scalars, comments. The reason when the
// line is none of that.
std::optional<QString> parseLine(const QString& raw, Line& line) {
  int indent = 0;
  while (indent < raw.size() && (raw[indent] == u' ' || raw[indent] == u'\t')) {
    if (raw[indent] == u'\t')
      return QStringLiteral("a tab in the indentation (YAML indents with blanks)");
    ++indent;
  }
  line.indent = indent;
  const qsizetype colon = raw.indexOf(u':', indent);
  if (colon < 0 || (colon + 1 < raw.size() && raw[colon + 1] != u' '))
    return QStringLiteral("not a \"key: value\" line");
  line.key = raw.mid(indent, colon - indent).trimmed();
  if (line.key.isEmpty() || line.key.startsWith(u'"') || line.key.startsWith(u'\'') ||
      line.key.startsWith(u'-'))
    return QStringLiteral(
        "not a \"key: value\" line (keys are plain words here; lists are not "
        "taken)");
  QString rest = raw.mid(colon + 1);
  // A comment starts at a '#' after a blank, outside quotes.
  QString value;
  const QString trimmed = rest.trimmed();
  if (trimmed.startsWith(u'"') || trimmed.startsWith(u'\'')) {
    const QChar quote = trimmed[0];
    qsizetype i = 1;
    bool closed = false;
    for (; i < trimmed.size(); ++i) {
      const QChar c = trimmed[i];
      if (quote == u'\'' && c == u'\'') {
        if (i + 1 < trimmed.size() && trimmed[i + 1] == u'\'') {
          value += u'\'';
          ++i;
          continue;
        }
        closed = true;
        break;
      }
      if (quote == u'"' && c == u'\\') {
        if (i + 1 >= trimmed.size() || (trimmed[i + 1] != u'"' && trimmed[i + 1] != u'\\'))
          return QStringLiteral("only \\\" and \\\\ are taken as escapes in a quoted value");
        value += trimmed[++i];
        continue;
      }
      if (quote == u'"' && c == u'"') {
        closed = true;
        break;
      }
      value += c;
    }
    if (!closed) return QStringLiteral("a quoted value that does not end on its line");
    const QString after = trimmed.mid(i + 1).trimmed();
    if (!after.isEmpty() && !after.startsWith(u'#'))
      return QStringLiteral("text after the quoted value");
    line.hasValue = true;
  } else {
    const qsizetype hash = trimmed.startsWith(u'#') ? 0 : trimmed.indexOf(QStringLiteral(" #"));
    value = (hash < 0 ? trimmed : trimmed.left(hash)).trimmed();
    static const QString special = QStringLiteral("&*!|>%@`[]{},");
    if (!value.isEmpty() && special.contains(value[0]))
      return QStringLiteral("a value starting with '%1': put it in quotes").arg(value[0]);
    line.hasValue = !value.isEmpty();
  }
  line.value = value;
  return std::nullopt;
}

QString pathFrom(const QString& configFile, const QString& path) {
  if (QDir::isAbsolutePath(path)) return path;
  return QDir(QFileInfo(configFile).absolutePath()).filePath(path);
}

}  // namespace

WebConfigReading parseWebConfig(const QByteArray& bytes, const QString& fileName) {
  std::vector<std::pair<int, QString>> found;
  const auto error = [&](int number, const QString& reason) { found.emplace_back(number, reason); };
  if (bytes.size() > kMostWebConfigBytes)
    return {std::nullopt,
            {QStringLiteral("%1: larger than %2 bytes: not a web configuration file")
                 .arg(fileName)
                 .arg(kMostWebConfigBytes)}};
  WebConfig config;
  config.file = fileName;
  enum class Section { None, Tls, Users } section = Section::None;
  int sectionIndent = -1;
  int tlsLine = 0;
  std::optional<int> authLine, caLine;
  QString authType;
  std::set<QString> seen;
  std::set<std::string> users;
  static const QRegularExpression bcrypt(
      QStringLiteral("^\\$2[aby]\\$[0-3][0-9]\\$[./A-Za-z0-9]{53}$"));
  const QList<QByteArray> lines = bytes.split('\n');
  for (int i = 0; i < lines.size(); ++i) {
    const int number = i + 1;
    QString raw = QString::fromUtf8(lines[i]);
    if (raw.endsWith(u'\r')) raw.chop(1);
    const QString bare = raw.trimmed();
    if (bare.isEmpty() || bare.startsWith(u'#')) continue;
    if (number == 1 && bare == u"---") continue;
    Line line;
    if (const auto why = parseLine(raw, line)) {
      error(number, *why);
      continue;
    }
    if (line.indent == 0) {
      sectionIndent = -1;
      section = Section::None;
      if (!seen.insert(line.key).second) {
        error(number, QStringLiteral("%1 is given twice").arg(line.key));
        continue;
      }
      if (line.key == u"tls_server_config" || line.key == u"basic_auth_users") {
        if (line.hasValue) {
          error(number, QStringLiteral("%1 holds keys on the lines below it").arg(line.key));
          continue;
        }
        section = line.key == u"tls_server_config" ? Section::Tls : Section::Users;
        if (section == Section::Tls) tlsLine = number;
      } else {
        error(number, QStringLiteral("unknown key '%1' (tls_server_config and basic_auth_users are "
                                     "known)")
                          .arg(line.key));
      }
      continue;
    }
    if (section == Section::None) {
      error(number, QStringLiteral("an indented line outside tls_server_config and "
                                   "basic_auth_users"));
      continue;
    }
    if (sectionIndent < 0) sectionIndent = line.indent;
    if (line.indent != sectionIndent) {
      error(number, QStringLiteral("indented unlike the lines before it"));
      continue;
    }
    if (!line.hasValue) {
      error(number, QStringLiteral("%1 has no value").arg(line.key));
      continue;
    }
    if (section == Section::Users) {
      const std::string name = line.key.toStdString();
      if (line.key.contains(u':')) {
        error(number, QStringLiteral("a user name cannot hold ':'"));
      } else if (!users.insert(name).second) {
        error(number, QStringLiteral("user %1 is given twice").arg(line.key));
      } else if (!bcrypt.match(line.value).hasMatch()) {
        error(number, QStringLiteral("the password of %1 is not a bcrypt hash ($2y$..., 60 "
                                     "characters; htpasswd -nBC 10 \"\" makes one)")
                          .arg(line.key));
      } else {
        config.users.emplace_back(name, line.value.toStdString());
      }
      continue;
    }
    if (!seen.insert(QStringLiteral("tls.") + line.key).second) {
      error(number, QStringLiteral("%1 is given twice").arg(line.key));
    } else if (line.key == u"cert_file") {
      config.certFile = pathFrom(fileName, line.value);
    } else if (line.key == u"key_file") {
      config.keyFile = pathFrom(fileName, line.value);
    } else if (line.key == u"client_ca_file") {
      caLine = number;
      config.clientCaFile = pathFrom(fileName, line.value);
    } else if (line.key == u"client_auth_type") {
      authLine = number;
      authType = line.value;
      if (authType == u"NoClientCert")
        config.clientAuth = WebConfig::ClientAuth::None;
      else if (authType == u"VerifyClientCertIfGiven")
        config.clientAuth = WebConfig::ClientAuth::VerifyIfGiven;
      else if (authType == u"RequireAndVerifyClientCert")
        config.clientAuth = WebConfig::ClientAuth::RequireAndVerify;
      else
        error(number, QStringLiteral("client_auth_type %1 is not taken here (NoClientCert, "
                                     "VerifyClientCertIfGiven and RequireAndVerifyClientCert are)")
                          .arg(authType));
    } else {
      error(number, QStringLiteral("unknown key '%1' in tls_server_config (cert_file, key_file, "
                                   "client_ca_file and client_auth_type are known)")
                        .arg(line.key));
    }
  }
  if (tlsLine && (config.certFile.isEmpty() || config.keyFile.isEmpty()))
    error(tlsLine, QStringLiteral("tls_server_config needs both cert_file and key_file"));
  if (caLine && config.clientAuth == WebConfig::ClientAuth::None && authType != QString())
    error(*caLine, QStringLiteral("client_ca_file is given but client_auth_type %1 checks no "
                                  "client certificate")
                       .arg(authType));
  else if (caLine && !authLine)
    error(*caLine, QStringLiteral("client_ca_file needs a client_auth_type "
                                  "(RequireAndVerifyClientCert or VerifyClientCertIfGiven)"));
  if (authLine && config.clientAuth != WebConfig::ClientAuth::None && !caLine)
    error(*authLine, QStringLiteral("client_auth_type %1 needs a client_ca_file to check against")
                         .arg(authType));
  if (found.empty()) return {config, {}};
  // In the order of the file, as the site file's are.
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  QStringList errors;
  for (const auto& [number, reason] : found)
    errors << QStringLiteral("%1:%2: %3").arg(fileName).arg(number).arg(reason);
  return {std::nullopt, errors};
}

WebConfigReading readWebConfig(const QString& path) {
  QFile file(path);
  if (!QFileInfo(path).isFile())
    return {std::nullopt, {QStringLiteral("%1: no such file").arg(path)}};
  if (!file.open(QIODevice::ReadOnly))
    return {std::nullopt, {QStringLiteral("%1: %2").arg(path, file.errorString())}};
  return parseWebConfig(file.read(kMostWebConfigBytes + 1), path);
}

}  // namespace bw
