#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <csignal>

#include "Fakes.h"
#include "WindowHarness.h"
#include "app/Module1.h"
#include "site/SiteLookup.h"

namespace bw {
namespace {

// Two sensors nobody built in, in slots 2 and 5; the adapter's port goes in.
QByteArray siteFile(quint16 port) {
  return QStringLiteral(
             "adapter = \"127.0.0.1:%1\"\n"
             "[[sensor]]\nslot = 2\nrom = \"61302518CA4DA528\"\nname = \"North tank\"\n"
             "[[sensor]]\nslot = 5\nrom = \"16DE2C136D1DBB28\"\n")
      .arg(port)
      .toUtf8();
}

quint16 freePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

QByteArray request(const char* rom) {
  return QByteArray("GET /1Wire/ReadDS18B20.html?DS18B20Request=%7b") + rom + ",12%7d HTTP/1.1";
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
  QFile file(dir.filePath(name));
  if (file.open(QIODevice::WriteOnly)) file.write(bytes);
  return file.fileName();
}

// The program and the simulator started with one site file: the program
// asks for exactly the site's sensors, in slot order, and for no other.
TEST(ProgramSite, PollsExactlyTheSensorsOfItsSiteFile) {
  QTemporaryDir dir;
  const quint16 port = freePort();
  const QString site = writeFile(dir, QStringLiteral("site.toml"), siteFile(port));
  QProcess adapter;
  adapter.start(
      QStringLiteral(ADAPTER_SIM_PROGRAM),
      {QStringLiteral("--site"), site, QStringLiteral("--port"), QString::number(port),
       QStringLiteral("--conversion-ms"), QStringLiteral("0"), QStringLiteral("--log-requests")});
  ASSERT_TRUE(adapter.waitForReadyRead(10000));
  ASSERT_TRUE(adapter.readLine().contains("listening")) << "the simulator did not start";
  QProcess program;
  program.setProcessEnvironment(test::programEnvironment(dir.filePath(QStringLiteral("config"))));
  program.start(QStringLiteral(BRINEWATCH_PROGRAM), {QStringLiteral("--site"), site});
  QList<QByteArray> requests;
  while (requests.size() < 4 && adapter.waitForReadyRead(20000))
    while (adapter.canReadLine()) requests << adapter.readLine().trimmed();
  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  EXPECT_TRUE(program.waitForFinished(20000));
  adapter.terminate();
  adapter.waitForFinished();
  ASSERT_GE(requests.size(), 4);
  const QByteArray second = request("61302518CA4DA528"), fifth = request("16DE2C136D1DBB28");
  EXPECT_EQ(requests.mid(0, 4), (QList<QByteArray>{second, fifth, second, fifth}));
  EXPECT_EQ(program.exitCode(), 0);
}

// A site file with errors is never half-used: one box lists them all, and
// there is no site to poll.
TEST(ProgramSite, ASiteFileWithErrorsIsShownInOneBoxAndNotUsed) {
  QTemporaryDir dir;
  const QString site = dir.filePath(QStringLiteral("site.toml"));
  QFile file(site);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(siteFile(80).replace("61302518CA4DA528", "61302518CA4DA529") + "colour = 1\n");
  file.close();
  SiteLookup lookup;
  lookup.commandLine = site;
  test::RecordingMessageBox messages;
  EXPECT_FALSE(chooseSite(lookup, messages));
  ASSERT_EQ(messages.texts.size(), 1);
  EXPECT_TRUE(messages.texts[0].contains(site + QStringLiteral(":4: ROM code 61302518CA4DA529")));
  EXPECT_TRUE(messages.texts[0].contains(site + QStringLiteral(":9: unknown key 'colour'")));
}

}  // namespace
}  // namespace bw
