#include "site/SiteFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <map>
#include <system_error>

#include <toml++/toml.h>

#include "site/NativePath.h"
#include "site/WebConfig.h"

namespace bw {

namespace {

constexpr int kMostNameCharacters = 64;
constexpr qint64 kMostSiteFileBytes = 1 << 20;
constexpr int kMostHostNameCharacters = 253;
// A site nests two or three deep; the TOML parser descends once per level and
// runs out of stack some ten thousand levels down.
constexpr int kMostNesting = 32;

QString text(std::string_view bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

int lineOf(const toml::node& node) {
  return static_cast<int>(node.source().begin.line);
}

int lineOf(const toml::key& key) {
  return static_cast<int>(key.source().begin.line);
}

std::optional<double> numberOf(const toml::node& node) {
  if (const auto* integer = node.as_integer()) return static_cast<double>(integer->get());
  if (const auto* floating = node.as_floating_point()) return floating->get();
  return std::nullopt;
}

QString number(double value) {
  return QString::number(value, 'g', 10);
}

bool isIpv4(const QString& host) {
  static const QRegularExpression form(
      QStringLiteral("^(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\\.(25[0-5]|2[0-4][0-9]|1[0-9]"
                     "[0-9]|[1-9]?[0-9])){3}$"));
  return form.match(host).hasMatch();
}

bool isHostName(const QString& host) {
  static const QRegularExpression label(
      QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
  if (host.isEmpty() || host.size() > kMostHostNameCharacters) return false;
  const QStringList labels = host.split(u'.');
  return std::all_of(labels.begin(), labels.end(),
                     [](const QString& part) { return label.match(part).hasMatch(); });
}

// Why a name is not one line of plain text, or nothing: a control or format
// character or a line break would reorder or break the lines it is shown in
// (a bidi override turns the rest of a table row around). The reason names
// the code point, not the character, so it shows what it is.
std::optional<QString> nameProblem(const QString& name) {
  for (const char32_t c : name.toUcs4()) {
    const char* kind = nullptr;
    switch (QChar::category(c)) {
      case QChar::Other_Control:
        kind = "a control character";
        break;
      case QChar::Other_Format:
        kind = "a format character";
        break;
      case QChar::Separator_Line:
        kind = "a line separator";
        break;
      case QChar::Separator_Paragraph:
        kind = "a paragraph separator";
        break;
      default:
        continue;
    }
    const QString point = QStringLiteral("%1").arg(static_cast<uint>(c), 4, 16, QChar(u'0'));
    return QStringLiteral(
               "name has U+%1 (%2): a name is one line of text without control or "
               "format characters")
        .arg(point.toUpper(), QLatin1String(kind));
  }
  return std::nullopt;
}

// The line where the text nests deeper than kMostNesting, or nothing: a scan
// of the TOML before it is parsed. A level is a part of a dotted key or of a
// table header, an inline table or an array; strings and comments are passed
// over, so the dots of a quoted key or of a number are not counted.
std::optional<int> tooDeepAt(std::string_view source) {
  struct Open {
    char bracket;  // '[' of an array or '{' of an inline table
    int depth;     // the level of the value it is
  };
  std::vector<Open> open;
  int line = 1;
  int tableDepth = 0;     // the level of the keys under the last table header
  bool inKey = true;      // a key is read, else a value
  bool lineStart = true;  // nothing but blanks yet on a line outside any value
  bool inHeader = false;  // between the [ or [[ of a table header and its ]
  int dots = 0;           // of the key or header being read
  int valueDepth = 0;     // the level of the value being read
  for (std::size_t i = 0; i < source.size(); ++i) {
    const char c = source[i];
    if (c == '\n') {
      ++line;
      if (open.empty()) {
        inKey = lineStart = true;
        inHeader = false;
        dots = 0;
      }
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r') continue;
    const bool statementStart = lineStart;
    lineStart = false;
    if (c == '#') {
      while (i + 1 < source.size() && source[i + 1] != '\n') ++i;
      continue;
    }
    if (c == '"' || c == '\'') {
      // One-line strings end at the line; three quotes open one of many lines.
      const std::string_view three = c == '"' ? "\"\"\"" : "'''";
      const std::string_view close = source.substr(i, 3) == three ? three : three.substr(0, 1);
      for (i += close.size(); i < source.size(); ++i) {
        if (source.substr(i, close.size()) == close) {
          i += close.size() - 1;
          break;
        }
        if (source[i] == '\n') {
          ++line;
          if (close.size() == 1) break;
        }
        if (c == '"' && source[i] == '\\' && i + 1 < source.size() && source[i + 1] != '\n') ++i;
      }
      continue;
    }
    if (inHeader) {
      if (c == '.') {
        ++dots;
      } else if (c == ']') {
        // An array of tables adds the level of its array.
        const bool array = i + 1 < source.size() && source[i + 1] == ']';
        tableDepth = dots + 1 + (array ? 1 : 0);
        if (tableDepth > kMostNesting) return line;
        if (array) ++i;
        inHeader = inKey = false;  // the rest of the line is no key
      }
      continue;
    }
    if (inKey) {
      if (c == '[' && statementStart && open.empty()) {
        inHeader = true;
        dots = 0;
        if (i + 1 < source.size() && source[i + 1] == '[') ++i;
      } else if (c == '.') {
        ++dots;
      } else if (c == '=') {
        valueDepth = (open.empty() ? tableDepth : open.back().depth) + dots + 1;
        if (valueDepth > kMostNesting) return line;
        inKey = false;
        dots = 0;
      } else if (c == '}' && !open.empty()) {
        open.pop_back();  // an empty inline table
        inKey = false;
      }
      continue;
    }
    if (c == '[' || c == '{') {
      if (valueDepth + 1 > kMostNesting) return line;
      open.push_back({c, valueDepth});
      inKey = c == '{';
      dots = 0;
      ++valueDepth;
    } else if (c == ',' && !open.empty()) {
      inKey = open.back().bracket == '{';
      dots = 0;
      valueDepth = open.back().depth + 1;
    } else if ((c == ']' || c == '}') && !open.empty()) {
      open.pop_back();
      if (!open.empty()) valueDepth = open.back().depth + 1;
    }
  }
  return std::nullopt;
}

// The errors of one file, kept with their lines so they can be listed in order.
class Errors {
 public:
  void add(int line, const QString& reason) { list_.push_back({line, reason}); }
  bool empty() const { return list_.empty(); }
  QStringList lines(const QString& file) {
    std::stable_sort(list_.begin(), list_.end(),
                     [](const Entry& a, const Entry& b) { return a.line < b.line; });
    QStringList out;
    for (const Entry& e : list_)
      out << QStringLiteral("%1:%2: %3").arg(file).arg(e.line).arg(e.reason);
    return out;
  }

 private:
  struct Entry {
    int line;
    QString reason;
  };
  std::vector<Entry> list_;
};

class SiteChecker {
 public:
  explicit SiteChecker(Errors& errors) : errors_(errors) {}

  void adapter(const toml::node& node, Site& site) {
    const auto* value = node.as_string();
    if (!value) {
      errors_.add(lineOf(node),
                  QStringLiteral("adapter is a text, such as adapter = \"192.168.1.50\""));
      return;
    }
    const QString adapter = text(value->get());
    if (const auto why = adapterProblem(adapter))
      errors_.add(lineOf(node), QStringLiteral("adapter \"%1\": %2").arg(adapter, *why));
    else
      site.adapter = adapter;
  }

  void sensor(const toml::table& table, Site& site) {
    const int line = lineOf(table);
    SiteSensor sensor;
    bool whole = true;
    std::optional<int> slotLine, romLine, bandLine;
    for (auto&& [key, node] : table) {
      const std::string_view name = key.str();
      const int at = lineOf(node);
      if (name == "slot") {
        slotLine = at;
        const auto* slot = node.as_integer();
        if (!slot || slot->get() < 1 || slot->get() > kMaxReadings) {
          errors_.add(at, QStringLiteral("slot is a whole number from 1 to %1").arg(kMaxReadings));
          whole = false;
        } else {
          sensor.slot = static_cast<int>(slot->get());
        }
      } else if (name == "rom") {
        romLine = at;
        const auto* rom = node.as_string();
        const QString code = rom ? text(rom->get()) : QString();
        const auto why =
            rom ? romCodeProblem(code)
                : std::optional<QString>(QStringLiteral("rom is a text of 16 hex digits"));
        if (why) {
          errors_.add(at, rom ? QStringLiteral("ROM code %1: %2").arg(code, *why) : *why);
          whole = false;
        } else {
          sensor.rom = code.toUpper();
        }
      } else if (name == "name") {
        const auto* value = node.as_string();
        const QString shown = value ? text(value->get()) : QString();
        const auto why = value ? nameProblem(shown) : std::nullopt;
        if (!value || shown.toUcs4().size() > kMostNameCharacters) {
          errors_.add(at, QStringLiteral("name is a text of up to %1 characters on one line")
                              .arg(kMostNameCharacters));
          whole = false;
        } else if (why) {
          errors_.add(at, *why);
          whole = false;
        } else {
          sensor.name = shown;
        }
      } else if (name == "low" || name == "high") {
        bandLine = bandLine ? std::max(*bandLine, at) : at;
        const auto value = numberOf(node);
        if (!value || !std::isfinite(*value)) {
          errors_.add(at, QStringLiteral("%1 is a temperature in °C, such as %1 = %2")
                              .arg(text(name),
                                   name == "low" ? QStringLiteral("-2.5") : QStringLiteral("8")));
          whole = false;
        } else {
          (name == "low" ? sensor.low : sensor.high) = *value;
        }
      } else {
        errors_.add(lineOf(key), QStringLiteral("unknown key '%1' in a [[sensor]] table (slot, "
                                                "rom, name, low and high are known)")
                                     .arg(text(name)));
      }
    }
    if (!slotLine)
      errors_.add(line, QStringLiteral("this sensor has no slot = 1 to %1").arg(kMaxReadings));
    if (!romLine) errors_.add(line, QStringLiteral("this sensor has no rom = \"16 hex digits\""));
    if (sensor.low && sensor.high && *sensor.low >= *sensor.high)
      errors_.add(*bandLine, QStringLiteral("the band's low %1 is not below its high %2")
                                 .arg(number(*sensor.low), number(*sensor.high)));
    if (sensor.slot > 0) {
      if (const auto first = slotLines_.find(sensor.slot); first != slotLines_.end())
        errors_.add(*slotLine, QStringLiteral("slot %1 is given twice (first on line %2)")
                                   .arg(sensor.slot)
                                   .arg(first->second));
      else
        slotLines_[sensor.slot] = *slotLine;
    }
    if (!sensor.rom.isEmpty()) {
      if (const auto first = romLines_.find(sensor.rom); first != romLines_.end())
        errors_.add(*romLine, QStringLiteral("ROM code %1 is given twice (first on line %2)")
                                  .arg(sensor.rom)
                                  .arg(first->second));
      else
        romLines_[sensor.rom] = *romLine;
    }
    if (!whole || !slotLine || !romLine) return;
    site.sensors.push_back(sensor);
  }

 private:
  Errors& errors_;
  std::map<int, int> slotLines_;
  std::map<QString, int> romLines_;
};

}  // namespace

std::optional<QString> adapterProblem(const QString& adapter) {
  const QString form = QStringLiteral(
      "not HOST[:PORT] (an IPv4 address, an IPv6 address in brackets or a host name, "
      "then optionally : and a port from 1 to 65535)");
  // A URL's parts would otherwise be taken for an IPv6 address or a port.
  if (const qsizetype scheme = adapter.indexOf(QStringLiteral("://")); scheme >= 0)
    return QStringLiteral("write the adapter's address without %1://, as in \"192.168.1.50:80\"")
        .arg(adapter.left(scheme));
  if (const qsizetype slash = adapter.indexOf(u'/'); slash >= 0)
    return QStringLiteral("write the adapter's address without a path (%1): HOST[:PORT] only")
        .arg(adapter.mid(slash));
  QString host = adapter;
  std::optional<QString> port;
  if (adapter.startsWith(u'[')) {
    const qsizetype close = adapter.indexOf(u']');
    if (close < 0) return form;
    host = adapter.mid(1, close - 1);
    const QString rest = adapter.mid(close + 1);
    if (rest.startsWith(u':'))
      port = rest.mid(1);
    else if (!rest.isEmpty())
      return form;
    if (host.contains(u'%') || QHostAddress(host).protocol() != QAbstractSocket::IPv6Protocol)
      return QStringLiteral("%1 is not an IPv6 address").arg(host);
  } else {
    const qsizetype colons = adapter.count(u':');
    if (colons > 1) return QStringLiteral("an IPv6 address goes in brackets, as in [fe80::1]:80");
    if (colons == 1) {
      host = adapter.section(u':', 0, 0);
      port = adapter.section(u':', 1);
    }
    static const QRegularExpression numeric(QStringLiteral("^[0-9.]+$"));
    if (numeric.match(host).hasMatch()) {
      if (!isIpv4(host)) return QStringLiteral("%1 is not an IPv4 address").arg(host);
    } else if (!isHostName(host)) {
      return form;
    }
  }
  static const QRegularExpression digits(QStringLiteral("^[1-9][0-9]{0,4}$"));
  if (port && (!digits.match(*port).hasMatch() || port->toInt() > 65535))
    return QStringLiteral("the port '%1' is not from 1 to 65535").arg(*port);
  return std::nullopt;
}

SiteReading parseSite(const QByteArray& bytes, const QString& fileName) {
  if (bytes.size() > kMostSiteFileBytes)
    return {std::nullopt,
            {QStringLiteral("%1: larger than %2 bytes: not a site file")
                 .arg(fileName)
                 .arg(kMostSiteFileBytes)}};
  const std::string_view source(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  if (const auto line = tooDeepAt(source))
    return {std::nullopt,
            {QStringLiteral("%1:%2: keys, tables or values nested more than %3 "
                            "deep: not a site file (one nests two or three deep)")
                 .arg(fileName)
                 .arg(*line)
                 .arg(kMostNesting)}};
  toml::table root;
  try {
    root = toml::parse(source);
  } catch (const toml::parse_error& error) {
    return {std::nullopt,
            {QStringLiteral("%1:%2: %3")
                 .arg(fileName)
                 .arg(error.source().begin.line)
                 .arg(text(error.description()))}};
  }
  Errors errors;
  SiteChecker check(errors);
  Site site;
  site.file = fileName;
  bool sawAdapter = false;
  bool sawSensor = false;
  for (auto&& [key, node] : root) {
    const std::string_view name = key.str();
    if (name == "adapter") {
      sawAdapter = true;
      site.lines.adapter = lineOf(node);
      check.adapter(node, site);
    } else if (name == "log" || name == "metrics") {
      const auto* value = node.as_string();
      const QString given = value ? text(value->get()) : QString();
      (name == "log" ? site.lines.log : site.lines.metrics) = lineOf(node);
      if (name == "log") {
        if (given.isEmpty())
          errors.add(lineOf(node), QStringLiteral("log is the path of a file, such as log = "
                                                  "\"/var/lib/brinewatch/brine.log\""));
        site.log = given;
      } else {
        QString why = QStringLiteral("not a text");
        site.metrics = value ? parseListenAddress(given, &why) : std::nullopt;
        if (!site.metrics)
          errors.add(lineOf(node), QStringLiteral("metrics \"%1\": %2 (such as metrics = "
                                                  "\"127.0.0.1:9816\")")
                                       .arg(given, why));
      }
    } else if (name == "web_config") {
      const auto* value = node.as_string();
      const QString given = value ? text(value->get()) : QString();
      site.lines.webConfig = lineOf(node);
      if (given.isEmpty()) {
        errors.add(lineOf(node), QStringLiteral("web_config is the path of a web configuration "
                                                "file, such as web_config = "
                                                "\"/etc/brinewatch/web.yml\""));
      } else {
        // From the site file's folder, as the log is.
        site.webConfig = QDir::isAbsolutePath(given)
                             ? given
                             : QDir(QFileInfo(fileName).absolutePath()).filePath(given);
        const WebConfigReading web = readWebConfig(site.webConfig);
        for (const QString& line : web.errors)
          errors.add(lineOf(node), QStringLiteral("web_config: %1").arg(line));
      }
    } else if (name == "sensor") {
      const auto* array = node.as_array();
      if (!array || !array->is_array_of_tables()) {
        errors.add(lineOf(node), QStringLiteral("sensors are [[sensor]] tables"));
        continue;
      }
      for (auto&& element : *array) {
        sawSensor = true;
        check.sensor(*element.as_table(), site);
      }
    } else {
      errors.add(
          lineOf(key),
          QStringLiteral("unknown key '%1' (adapter, log, metrics, web_config and [[sensor]] are "
                         "known)")
              .arg(text(name)));
    }
  }
  if (!sawAdapter)
    errors.add(1, QStringLiteral("no adapter = \"HOST[:PORT]\": the adapter's address is missing"));
  if (!sawSensor)
    errors.add(1, QStringLiteral("no [[sensor]] table: the site has no sensor to poll"));
  if (!errors.empty()) return {std::nullopt, errors.lines(fileName)};
  std::sort(site.sensors.begin(), site.sensors.end(),
            [](const SiteSensor& a, const SiteSensor& b) { return a.slot < b.slot; });
  return {site, {}};
}

SiteReading readSiteFile(const QString& path) {
  const auto refused = [&path](const QString& why) {
    return SiteReading{std::nullopt, {QStringLiteral("%1: %2").arg(path, why)}};
  };
  // A name that cannot be followed or looked at says why, not "no such file".
  const QFileInfo info(path);
  std::error_code error;
  const auto status = std::filesystem::status(nativePath(path), error);
  if (error) {
    const QString why = QString::fromLocal8Bit(error.message().c_str());
    if (info.isSymLink())
      return refused(QStringLiteral("a symbolic link to %1, which cannot be followed: %2")
                         .arg(info.symLinkTarget(), why));
    if (status.type() == std::filesystem::file_type::not_found)
      return refused(QStringLiteral("no such file"));
    return refused(why);
  }
  // Only a regular file: a named pipe or a device would hold the start.
  if (!info.isFile()) return refused(QStringLiteral("not a regular file"));
  if (info.size() > kMostSiteFileBytes)
    return refused(QStringLiteral("larger than %1 bytes: not a site file").arg(kMostSiteFileBytes));
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return refused(file.errorString());
  return parseSite(file.read(kMostSiteFileBytes + 1), path);
}

}  // namespace bw
