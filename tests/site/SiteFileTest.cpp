#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "site/SiteFile.h"
#include "site/SiteLookup.h"
#include "site/WebConfig.h"

namespace bw {
namespace {

// A sensor table as the operator writes it, slot 1 with a ROM code of the
// built-in table.
const QByteArray kGood = R"(# the site
adapter = "192.168.1.50"
log = "tank.log"
metrics = ":9816"

[[sensor]]
slot = 1
rom = "9C000000B4A89828"
name = "North tank"
low = -2
high = 6.5

[[sensor]]
slot = 3
rom = "b900000027ca8f28"
)";

TEST(SiteFile, AGoodFile_GivesItsAdapterAndSensorsInSlotOrder) {
  const SiteReading reading = parseSite(kGood, QStringLiteral("site.toml"));
  ASSERT_TRUE(reading.site) << reading.errors.join(u'\n').toStdString();
  const Site& site = *reading.site;
  EXPECT_EQ(site.adapter, QStringLiteral("192.168.1.50"));
  EXPECT_EQ(site.log, QStringLiteral("tank.log"));
  ASSERT_TRUE(site.metrics);
  EXPECT_EQ(site.metrics->text, QStringLiteral(":9816"));
  EXPECT_EQ(site.metrics->host, QStringLiteral("127.0.0.1"));
  EXPECT_EQ(site.metrics->port, 9816);
  EXPECT_EQ(site.sensorCount(), 12);
  ASSERT_EQ(site.sensors.size(), 2u);
  EXPECT_EQ(site.sensors[0].label(), QStringLiteral("1 North tank"));
  EXPECT_EQ(site.sensors[0].low, -2.0);
  EXPECT_EQ(site.sensors[0].high, 6.5);
  EXPECT_EQ(site.sensors[1].rom, QStringLiteral("B900000027CA8F28"));
  EXPECT_EQ(site.sensors[1].label(), QStringLiteral("Sensor 3"));
  EXPECT_EQ(site.inSlot(2), nullptr);
  for (const std::string_view rom : kBuiltInRomCodes)
    EXPECT_FALSE(romCodeProblem(QString::fromLatin1(rom.data(), 16))) << rom;
}

// Each fault with the line it is reported on; one bad file gives all its
// errors, in line order.
TEST(SiteFile, EveryKindOfError_IsReportedWithItsLine) {
  const struct {
    QByteArray text;
    QString expected;  // "LINE: part of the reason"
  } cases[] = {
      {"adapter = \"192.168.1.50\"\n[[sensor]]\nslot = 1\nrom = \"9C000000B4A89829\"\n",
       QStringLiteral("4: ROM code 9C000000B4A89829: its family code (the last byte) is 29")},
      // A real ROM code with one digit altered: its CRC no longer fits.
      {"adapter = \"192.168.1.50\"\n[[sensor]]\nslot = 1\nrom = \"9C000000B4A89928\"\n",
       QStringLiteral("4: ROM code 9C000000B4A89928: its CRC byte (the first) is 9C, expected AB")},
      {"adapter = \"192.168.1.50\"\n[[sensor]]\nslot = 1\nrom = \"9C00000B4A89828\"\n",
       QStringLiteral("4: ROM code 9C00000B4A89828: a ROM code has 16 hex digits, not 15")},
      {"adapter = \"10.0.0.1\"\n[[sensor]]\nslot = 17\nrom = \"9C000000B4A89828\"\n",
       QStringLiteral("3: slot is a whole number from 1 to 16")},
      {"adapter = \"10.0.0.1\"\n[[sensor]]\nslot = 2\nrom = \"9C000000B4A89828\"\n"
       "[[sensor]]\nslot = 2\nrom = \"06000000A4EC7428\"\n",
       QStringLiteral("6: slot 2 is given twice (first on line 3)")},
      {"adapter = \"10.0.0.1\"\n[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\n"
       "[[sensor]]\nslot = 2\nrom = \"9c000000b4a89828\"\n",
       QStringLiteral("7: ROM code 9C000000B4A89828 is given twice (first on line 4)")},
      {"adapter = \"10.0.0.1\"\nadaptor = \"10.0.0.2\"\n[[sensor]]\nslot = 1\nrom = "
       "\"9C000000B4A89828\"\n",
       QStringLiteral("2: unknown key 'adaptor'")},
      {"adapter = \"10.0.0.1\"\n[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\nlimit = 3\n",
       QStringLiteral("5: unknown key 'limit' in a [[sensor]] table")},
      {"adapter = \"10.0.0.256\"\n[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\n",
       QStringLiteral("1: adapter \"10.0.0.256\": 10.0.0.256 is not an IPv4 address")},
      {"adapter = \"fe80::1\"\n[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\n",
       QStringLiteral("1: adapter \"fe80::1\": an IPv6 address goes in brackets")},
      {"adapter = \"http://127.0.0.1\"\n[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\n",
       QStringLiteral("1: adapter \"http://127.0.0.1\": write the adapter's address without "
                      "http://")},
      {"adapter = \"10.0.0.1:80/1Wire\"\n[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\n",
       QStringLiteral("1: adapter \"10.0.0.1:80/1Wire\": write the adapter's address without a "
                      "path (/1Wire)")},
      {"adapter = \"adapter.local:99999\"\n[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\n",
       QStringLiteral(
           "1: adapter \"adapter.local:99999\": the port '99999' is not from 1 to 65535")},
      {"adapter = \"10.0.0.1\"\n[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\nlow = 5\n"
       "high = 5\n",
       QStringLiteral("6: the band's low 5 is not below its high 5")},
      {"adapter = \"10.0.0.1\"\n[[sensor]]\nslot = 1\n",
       QStringLiteral("2: this sensor has no rom = \"16 hex digits\"")},
      {"[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\n",
       QStringLiteral("1: no adapter = \"HOST[:PORT]\"")},
      {"adapter = \"10.0.0.1\"\n", QStringLiteral("1: no [[sensor]] table")},
      {"adapter = \"10.0.0.1\"\nmetrics = \"9816\"\n[[sensor]]\nslot = 1\nrom = "
       "\"9C000000B4A89828\"\n",
       QStringLiteral("2: metrics \"9816\": the port is missing")},
      {"adapter = \"10.0.0.1\"\n[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\nname = \"" +
           QByteArray(65, 'x') + "\"\n",
       QStringLiteral("5: name is a text of up to 64 characters")},
      {"adapter = \"10.0.0.1\"\n[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\nname = "
       "\"North\\u2028tank\"\n",
       QStringLiteral("5: name has U+2028 (a line separator): a name is one line of text")},
      {"adapter = \"10.0.0.1\"\n[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\nname = "
       "\"\xE2\x80\xAEknat htroN\"\n",
       QStringLiteral("5: name has U+202E (a format character)")},
      {"adapter = \"10.0.0.1\"\n[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\nname = "
       "\"North\\ttank\"\n",
       QStringLiteral("5: name has U+0009 (a control character)")},
      {"adapter = \"10.0.0.1\"\n[[sensor]]\nslot = 1\nrom = \"9C000000B4A89828\"\nname = "
       "\"North\\u2029\"\n",
       QStringLiteral("5: name has U+2029 (a paragraph separator)")},
      {"adapter = \"10.0.0.1\"\n\n[[sensor]\n", QStringLiteral("3: ")},  // not TOML
  };
  for (const auto& c : cases) {
    const SiteReading reading = parseSite(c.text, QStringLiteral("f.toml"));
    EXPECT_FALSE(reading.site) << c.text.constData();
    ASSERT_FALSE(reading.errors.isEmpty()) << c.text.constData();
    EXPECT_TRUE(reading.errors.first().startsWith(QStringLiteral("f.toml:") + c.expected))
        << reading.errors.first().toStdString() << "\n  wanted: " << c.expected.toStdString();
  }
  const SiteReading several = parseSite(
      "adapter = \"10.0.0.1:0\"\n[[sensor]]\nslot = 0\nrom = \"XYZ\"\n", QStringLiteral("f.toml"));
  ASSERT_EQ(several.errors.size(), 3);
  EXPECT_TRUE(several.errors[0].startsWith(QStringLiteral("f.toml:1:")));
  EXPECT_TRUE(several.errors[2].startsWith(QStringLiteral("f.toml:4:")));
}

// The TOML parser runs out of stack some ten thousand levels down; such a
// file is refused, naming its line, before it is parsed.
TEST(SiteFile, NestingNoSiteReaches_IsRefusedBeforeItIsParsed) {
  const auto repeat = [](const char* part, int times) {
    QByteArray out;
    for (int i = 0; i < times; ++i) out += part;
    return out;
  };
  constexpr int kDeep = 40000;
  const QByteArray dotted = "a" + repeat(".a", kDeep - 1);
  const QByteArray adapter = "adapter = \"10.0.0.1\"\n";
  for (const QByteArray& deep :
       {dotted + " = 1\n", "[" + dotted + "]\n", "[[" + dotted + "]]\n",
        "x = {" + dotted + " = 1}\n", "x = " + repeat("{a = ", kDeep) + "1" + repeat("}", kDeep),
        "x = " + repeat("[", kDeep) + repeat("]", kDeep), "x = [{" + dotted + " = 1}]\n"}) {
    const SiteReading reading = parseSite(adapter + deep, QStringLiteral("f.toml"));
    ASSERT_EQ(reading.errors.size(), 1) << deep.left(40).constData();
    EXPECT_TRUE(reading.errors.first().startsWith(
        QStringLiteral("f.toml:2: keys, tables or values nested more than 32")))
        << reading.errors.first().toStdString();
  }
  // The ceiling: 32 levels are parsed (an unknown key), 33 are not; dots in
  // strings, comments and numbers are no levels.
  const auto errors = [&](const QByteArray& text) {
    return parseSite(adapter + text, QStringLiteral("f.toml")).errors.join(u'\n').toStdString();
  };
  EXPECT_NE(errors("a" + repeat(".a", 31) + " = 1\n").find("unknown key 'a'"), std::string::npos);
  EXPECT_NE(errors("a" + repeat(".a", 32) + " = 1\n").find("nested more than 32"),
            std::string::npos);
  EXPECT_NE(errors("[a]\nb = {c" + repeat(".c", 28) + " = [1.5]}\n").find("unknown key 'a'"),
            std::string::npos);
  EXPECT_NE(errors("[a]\nb = {c" + repeat(".c", 29) + " = [1.5]}\n").find("nested more"),
            std::string::npos);
  for (const QByteArray& shallow :
       {"\"" + dotted + "\" = 1\n", "'" + dotted + "' = 1\n", "# " + dotted + "\nx = 1\n",
        "x = [" + repeat("1.5, ", 1000) + "2.5]\n", "x = \"\"\"\n[[[" + dotted + "\n\"\"\"\n",
        "x = '''" + repeat("{[", 100) + "'''\n", "x = \"\\\"{[" + repeat("{[", 100) + "\"\n"})
    EXPECT_NE(errors(shallow).find("unknown key"), std::string::npos) << errors(shallow);
  EXPECT_NE(parseSite(QByteArray((1 << 20) + 1, '#'), QStringLiteral("f.toml"))
                .errors.value(0)
                .indexOf(QStringLiteral("larger than")),
            -1);
}

TEST(SiteFile, AddressesThatAreHostPort) {
  for (const char* good : {"192.168.1.50", "127.0.0.1:8080", "[fe80::1]", "[::1]:80", "adapter",
                           "tank-3.plant.example:8000"})
    EXPECT_FALSE(adapterProblem(QString::fromLatin1(good))) << good;
  for (const char* bad : {"", "192.168.1", "01.2.3.4", "[fe80::1", "[1.2.3.4]", "host:", "host:080",
                          "-host", "a b", "http://host", "[fe80::1%eth0]"})
    EXPECT_TRUE(adapterProblem(QString::fromLatin1(bad))) << bad;
}

// Read once, as the server and the checks take it: the host numeric,
// without brackets, loopback for none.
TEST(SiteFile, ListenAddressesAreReadToAHostAndAPort) {
  for (const auto& [given, host, port] :
       {std::tuple{":9816", "127.0.0.1", 9816}, std::tuple{"localhost:0", "127.0.0.1", 0},
        std::tuple{"0.0.0.0:80", "0.0.0.0", 80}, std::tuple{"[::1]:9816", "::1", 9816}}) {
    const auto address = parseListenAddress(QString::fromLatin1(given));
    ASSERT_TRUE(address) << given;
    EXPECT_EQ(address->host, QString::fromLatin1(host));
    EXPECT_EQ(address->port, port);
    EXPECT_EQ(address->withPort(4321),
              QString::fromLatin1(given).section(u':', 0, -2) + QStringLiteral(":4321"));
  }
  for (const char* bad : {"9816", "host:", ":65536", ":-1", "tank.example:80", "::1:80",
                          "[1.2.3.4]:80", "http://10.0.0.1:80"}) {
    QString why;
    EXPECT_FALSE(parseListenAddress(QString::fromLatin1(bad), &why)) << bad;
    EXPECT_FALSE(why.isEmpty()) << bad;
  }
}

TEST(WebConfig, AGoodFile_GivesTlsUsersAndPathsFromItsFolder) {
  const WebConfigReading reading = parseWebConfig(R"(---
# the metrics on the plant network
tls_server_config:
    cert_file: "server.crt"   # beside this file
    key_file: /etc/ssl/private/brine.key
    client_ca_file: 'ca.crt'
    client_auth_type: RequireAndVerifyClientCert
basic_auth_users:
    prometheus: $2y$05$Ai311Ftc9TR22.aiqdkYve3GofINwg6S4YW1BLhMdc4kPfMb2SvRC
)",
                                                  QStringLiteral("/etc/brinewatch/web.yml"));
  ASSERT_TRUE(reading.config) << reading.errors.join(u'\n').toStdString();
  const WebConfig& web = *reading.config;
  EXPECT_TRUE(web.tls());
  EXPECT_EQ(web.certFile, QStringLiteral("/etc/brinewatch/server.crt"));
  EXPECT_EQ(web.keyFile, QStringLiteral("/etc/ssl/private/brine.key"));
  EXPECT_EQ(web.clientCaFile, QStringLiteral("/etc/brinewatch/ca.crt"));
  EXPECT_EQ(web.clientAuth, WebConfig::ClientAuth::RequireAndVerify);
  ASSERT_EQ(web.users.size(), 1u);
  EXPECT_EQ(web.users[0].first, "prometheus");
  EXPECT_EQ(web.users[0].second.size(), 60u);
}

TEST(WebConfig, EveryKindOfError_IsReportedWithItsLine) {
  const std::string hash = "$2y$05$Ai311Ftc9TR22.aiqdkYve3GofINwg6S4YW1BLhMdc4kPfMb2SvRC";
  const struct {
    QByteArray text;
    const char* error;
  } cases[] = {
      {"tls_server_config:\n  cert_file: a.crt\n", "w.yml:1: tls_server_config needs both"},
      {"tls_server_config:\n  cert_file: a\n  key_file: b\n  min_version: TLS13\n",
       "w.yml:4: unknown key 'min_version' in tls_server_config"},
      {"http_server_config:\n  http2: false\n", "w.yml:1: unknown key 'http_server_config'"},
      {"basic_auth_users:\n  prometheus: secret\n", "w.yml:2: the password of prometheus is not"},
      {"basic_auth_users:\n  a: " + QByteArray::fromStdString(hash) +
           "\n  a: " + QByteArray::fromStdString(hash) + "\n",
       "w.yml:3: user a is given twice"},
      {"basic_auth_users:\n\tprometheus: x\n", "w.yml:2: a tab in the indentation"},
      {"basic_auth_users:\n  a: " + QByteArray::fromStdString(hash) + "\n   b: y\n",
       "w.yml:3: indented unlike"},
      {"tls_server_config: yes\n", "w.yml:1: tls_server_config holds keys on the lines below"},
      {"  cert_file: a\n", "w.yml:1: an indented line outside"},
      {"tls_server_config:\n  cert_file: \"a\n", "w.yml:2: a quoted value that does not end"},
      {"basic_auth_users:\n  - prometheus\n", "w.yml:2: not a \"key: value\" line"},
      {"tls_server_config:\n  cert_file: a\n  key_file: b\n  client_ca_file: c\n",
       "w.yml:4: client_ca_file needs a client_auth_type"},
      {"tls_server_config:\n  cert_file: a\n  key_file: b\n  client_auth_type: "
       "RequireAndVerifyClientCert\n",
       "w.yml:4: client_auth_type RequireAndVerifyClientCert needs a client_ca_file"},
      {"tls_server_config:\n  cert_file: a\n  key_file: b\n  client_auth_type: "
       "RequireAnyClientCert\n",
       "w.yml:4: client_auth_type RequireAnyClientCert is not taken here"},
      {"basic_auth_users:\n  a: *alias\n", "w.yml:2: a value starting with '*': put it in quotes"},
  };
  // Told in the order of the file, whatever was found last.
  EXPECT_EQ(parseWebConfig("tls_server_config:\n  cert_file: a\n  min_version: TLS13\n",
                           QStringLiteral("w.yml"))
                .errors.value(0)
                .left(8),
            QStringLiteral("w.yml:1:"));
  for (const auto& c : cases) {
    const WebConfigReading reading = parseWebConfig(c.text, QStringLiteral("w.yml"));
    EXPECT_FALSE(reading.config) << c.text.constData();
    EXPECT_TRUE(
        std::any_of(reading.errors.begin(), reading.errors.end(),
                    [&](const QString& e) { return e.startsWith(QString::fromUtf8(c.error)); }))
        << c.text.constData() << " gave: " << reading.errors.join(u'\n').toStdString();
  }
}

TEST(SiteFile, WebConfigIsReadFromTheSiteFilesFolderAndItsErrorsSaid) {
  QTemporaryDir dir;
  const QString sitePath = dir.filePath(QStringLiteral("site.toml"));
  const QByteArray site = "web_config = \"web.yml\"\n" + kGood;
  const auto write = [&](const QString& name, const QByteArray& text) {
    QFile file(dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  };
  write(QStringLiteral("site.toml"), site);
  const SiteReading missing = readSiteFile(sitePath);
  EXPECT_FALSE(missing.site);
  EXPECT_EQ(missing.errors.value(0).toStdString(),
            QStringLiteral("%1:1: web_config: %2: no such file")
                .arg(sitePath, dir.filePath(QStringLiteral("web.yml")))
                .toStdString());

  write(QStringLiteral("web.yml"),
        "tls_server_config:\n  cert_file: a.crt\n  cert_file: b.crt\n  key_file: a.key\n");
  const SiteReading bad = readSiteFile(sitePath);
  ASSERT_EQ(bad.errors.size(), 1) << bad.errors.join(u'\n').toStdString();
  EXPECT_EQ(bad.errors.value(0).toStdString(),
            QStringLiteral("%1:1: web_config: %2:3: cert_file is given twice")
                .arg(sitePath, dir.filePath(QStringLiteral("web.yml")))
                .toStdString());

  write(QStringLiteral("web.yml"), "tls_server_config:\n  cert_file: a.crt\n  key_file: a.key\n");
  const SiteReading good = readSiteFile(sitePath);
  ASSERT_TRUE(good.site) << good.errors.join(u'\n').toStdString();
  EXPECT_EQ(good.site->webConfig, dir.filePath(QStringLiteral("web.yml")));
  EXPECT_EQ(good.site->lines.webConfig, 1);
  EXPECT_NE(parseSite("web_config = \"\"\n" + kGood, QStringLiteral("f.toml"))
                .errors.value(0)
                .indexOf(QStringLiteral("f.toml:1: web_config is the path")),
            -1);
}

TEST(SiteLookup, CommandLineThenUserConfigThenSystemThenBuiltIn) {
  QTemporaryDir dir;
  SiteLookup lookup;
  lookup.home = dir.filePath(QStringLiteral("home"));
  lookup.systemFolder = dir.filePath(QStringLiteral("etc"));
  const auto touch = [](const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile(path).open(QIODevice::WriteOnly);
    return path;
  };
  EXPECT_TRUE(lookup.find().isEmpty());
  const QString system = touch(dir.filePath(QStringLiteral("etc/site.toml")));
  EXPECT_EQ(lookup.find(), system);
  const QString dotConfig =
      touch(dir.filePath(QStringLiteral("home/.config/brinewatch/site.toml")));
  EXPECT_EQ(lookup.find(), dotConfig);
  lookup.xdgConfigHome = dir.filePath(QStringLiteral("xdg"));
  EXPECT_EQ(lookup.find(), system);  // XDG_CONFIG_HOME set: ~/.config is not looked in
  const QString xdg = touch(dir.filePath(QStringLiteral("xdg/brinewatch/site.toml")));
  EXPECT_EQ(lookup.find(), xdg);
  lookup.commandLine = dir.filePath(QStringLiteral("missing.toml"));
  EXPECT_EQ(lookup.find(), lookup.commandLine);
  EXPECT_TRUE(readSiteFile(lookup.find()).errors.first().endsWith(QStringLiteral("no such file")));
}

// A user's site file that is a link to nothing is an error naming it, not a
// reason to poll the system's sensors instead.
TEST(SiteLookup, ALinkThatLeadsNowhereIsFoundAndReadingItSaysWhy) {
  QTemporaryDir dir;
  SiteLookup lookup;
  lookup.xdgConfigHome = dir.filePath(QStringLiteral("xdg"));
  lookup.systemFolder = dir.path();
  QFile(dir.filePath(QStringLiteral("site.toml"))).open(QIODevice::WriteOnly);
  const QString user = dir.filePath(QStringLiteral("xdg/brinewatch/site.toml"));
  ASSERT_TRUE(QDir().mkpath(QFileInfo(user).path()));
  ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("moved.toml")), user));
  EXPECT_EQ(lookup.find().toStdString(), user.toStdString());
  const QStringList dangling = readSiteFile(user).errors;
  ASSERT_EQ(dangling.size(), 1);
  EXPECT_TRUE(dangling.first().startsWith(user + QStringLiteral(": a symbolic link to ") +
                                          dir.filePath(QStringLiteral("moved.toml")) +
                                          QStringLiteral(", which cannot be followed: ")))
      << dangling.first().toStdString();
  // A loop of links.
  QFile::remove(user);
  ASSERT_TRUE(QFile::link(user, user));
  EXPECT_EQ(lookup.find().toStdString(), user.toStdString());
  EXPECT_TRUE(readSiteFile(user).errors.value(0).contains(QStringLiteral("cannot be followed")));
}

}  // namespace
}  // namespace bw
