#include "about/SysInfoLauncher.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "Fakes.h"
#include "platform/StartEnvironment.h"
#include "platform/registry/MemoryRegistry.h"

namespace bw {
namespace {

const QString kKey = QStringLiteral("SOFTWARE\\Brine");
const QString kValue = QStringLiteral("Reading");
const QString kSysInfoKeyText = QString::fromLatin1(kSysInfoKey);
const QString kLocationKeyText = QString::fromLatin1(kSysInfoLocationKey);

QByteArray dword(std::uint32_t value) {
  QByteArray bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i) & 0xFF);
  return bytes;
}

class SysInfoLauncherTest : public ::testing::Test {
 protected:
  void setValue(RegDword type, const QByteArray& data, const QString& key = kKey,
                const QString& name = kValue) {
    registry.memory.setValue(kHkeyLocalMachine, key, name, type, data);
  }
  // Reads kKey/kValue, starting from `keyVal`; checks the key was closed.
  std::pair<bool, QString> read(QString keyVal = {}) {
    const bool found = launcher.getKeyValue(kHkeyLocalMachine, kKey, kValue, keyVal);
    EXPECT_EQ(registry.memory.openHandleCount(), 0);
    return {found, keyVal};
  }
  void expectUnavailableShown() {
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(messages.texts[0], QStringLiteral("System Information Is Unavailable At This Time"));
    EXPECT_EQ(messages.styles[0], MessageStyle::Ok);
    EXPECT_EQ(messages.titles[0], QStringLiteral("<application title>"));
  }

  test::RecordingRegistry registry;
  test::RecordingStarter starter;
  test::RecordingMessageBox messages;
  SysInfoLauncher launcher{registry, starter, messages};
};

using Read = std::pair<bool, QString>;

TEST_F(SysInfoLauncherTest, GetKeyValue_String_GivesTextBeforeFirstZero) {
  setValue(kRegSz, QByteArrayLiteral("C:\\Tools\xE9\0rest\0"));
  EXPECT_EQ(read(QStringLiteral("old")), Read(true, QStringLiteral("C:\\Tools\u00E9")));
}

TEST_F(SysInfoLauncherTest, GetKeyValue_StringUpToTheBuffer_ReadWholeAndLongerFails) {
  const QByteArray longest(1023, 'x');
  setValue(kRegSz, longest + '\0');
  EXPECT_EQ(read(), Read(true, QString::fromLatin1(longest)));
  // Exactly fills the buffer: no terminator, so refused rather than read past.
  setValue(kRegSz, longest + 'x');
  EXPECT_EQ(read(QStringLiteral("old")), Read(false, QString()));
  setValue(kRegSz, longest + "xx");
  EXPECT_EQ(read(QStringLiteral("old")), Read(false, QString()));
}

struct DwordCase {
  std::uint32_t value;
  const char* keyVal;
};

class DwordTest : public SysInfoLauncherTest, public ::testing::WithParamInterface<DwordCase> {};

TEST_P(DwordTest, GetKeyValue_Dword_GivesFormattedHexOfBytesBeforeFirstZero) {
  setValue(kRegDword, dword(GetParam().value));
  EXPECT_EQ(read(), Read(true, QString::fromLatin1(GetParam().keyVal)));
}

INSTANTIATE_TEST_SUITE_P(
    Values, DwordTest,
    ::testing::Values(DwordCase{1, "1"},                   // digits "1"
                      DwordCase{0x12345678, "305419896"},  // digits "12345678"
                      DwordCase{0x100, "&h"},              // low byte zero: no digits
                      DwordCase{0x01020304, "4660"},       // digits "1234", no leading zeros
                      DwordCase{0xFFFF, "-1"},             // "FFFF", a 16-bit literal
                      DwordCase{0xFF0000FF, "255"},        // stops at the first zero byte
                      DwordCase{0xFFFFFFFF, "-1"}));       // "FFFFFFFF", a 32-bit literal

TEST_F(SysInfoLauncherTest, GetKeyValue_Dword_DigitsFollowWhatKeyValHeld) {
  setValue(kRegDword, dword(2));
  EXPECT_EQ(read(QStringLiteral("1")), Read(true, QStringLiteral("18")));  // "&h12"
}

TEST_F(SysInfoLauncherTest, GetKeyValue_OtherType_FoundButKeyValKept) {
  setValue(kRegExpandSz, QByteArrayLiteral("%TEMP%\0"));
  EXPECT_EQ(read(QStringLiteral("kept")), Read(true, QStringLiteral("kept")));
}

TEST_F(SysInfoLauncherTest, GetKeyValue_MissingKeyValueOrRefusedKey_FailsWithEmptyText) {
  EXPECT_EQ(read(QStringLiteral("old")), Read(false, QString()));
  setValue(kRegSz, QByteArrayLiteral("x\0"), kKey, QStringLiteral("Other"));
  EXPECT_EQ(read(QStringLiteral("old")), Read(false, QString()));
  setValue(kRegSz, QByteArrayLiteral("x\0"));
  registry.memory.addKey(kHkeyLocalMachine, kKey, kKeyRead);  // refuses 0x2003F
  EXPECT_EQ(read(QStringLiteral("old")), Read(false, QString()));
  EXPECT_EQ(registry.opened, QStringList(3, kKey));
}

TEST_F(SysInfoLauncherTest, StartSysInfo_FirstLookupFinds_StartsThatPathOnly) {
  setValue(kRegSz, QByteArrayLiteral("/leads/nowhere\0"), kSysInfoKeyText, QStringLiteral("PATH"));
  setValue(kRegSz, QByteArrayLiteral("/elsewhere\0"), kLocationKeyText, QStringLiteral("MSINFO"));
  launcher.startSysInfo(nullptr);
  EXPECT_EQ(registry.opened, QStringList{kSysInfoKeyText});
  EXPECT_EQ(starter.started, QStringList{QStringLiteral("/leads/nowhere")});
  EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(SysInfoLauncherTest, StartSysInfo_NeitherLookupFinds_ShowsMessageToOwner) {
  QWidget owner;
  launcher.startSysInfo(&owner);
  EXPECT_EQ(registry.opened, (QStringList{kSysInfoKeyText, kLocationKeyText}));
  EXPECT_TRUE(starter.started.isEmpty());
  expectUnavailableShown();
  EXPECT_EQ(messages.owners[0], &owner);
}

TEST_F(SysInfoLauncherTest, StartSysInfo_InstallFolder_StartsProgramOnlyIfPlainFile) {
  QTemporaryDir dir;
  // The folder entry and its program, for this host: the backslash is part
  // of the file name.
  const QString folder = dir.filePath(QStringLiteral("tools"));
  const QString hidden = dir.filePath(QStringLiteral(".tools"));
  for (const QString& name :
       {hidden + QLatin1String(kSysInfoProgram), folder + QLatin1String(kSysInfoProgram)}) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  const auto startFrom = [&](const QString& location) {
    setValue(kRegSz, location.toLatin1() + '\0', kLocationKeyText, QStringLiteral("MSINFO"));
    messages.texts.clear();
    starter.started.clear();
    launcher.startSysInfo(nullptr);
  };

  startFrom(dir.path());  // a folder without the program
  expectUnavailableShown();
  EXPECT_TRUE(starter.started.isEmpty());

  startFrom(hidden);
  expectUnavailableShown();
  EXPECT_TRUE(starter.started.isEmpty());

  startFrom(folder);
  EXPECT_TRUE(messages.texts.isEmpty());
  EXPECT_EQ(starter.started, QStringList{folder + QLatin1String(kSysInfoProgram)});
}

TEST_F(SysInfoLauncherTest, StartSysInfo_StartFails_ShowsMessage) {
  setValue(kRegSz, QByteArrayLiteral("/bin\0"), kSysInfoKeyText, QStringLiteral("PATH"));
  starter.startWorks = false;
  launcher.startSysInfo(nullptr);
  expectUnavailableShown();
}

TEST(DetachedProgramStarterTest, Start_NothingToRun_Fails) {
  QTemporaryDir dir;
  const QString text = dir.filePath(QStringLiteral("notes.txt"));
  QFile file(text);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("not a program\n");
  file.close();
  DetachedProgramStarter starter;
  for (const QString& path : {QString(), dir.path(), text, dir.filePath(QStringLiteral("none"))})
    EXPECT_FALSE(starter.start(path)) << path.toStdString();
}

TEST(DetachedProgramStarterTest, Start_Program_RunsItWithoutWaiting) {
  QTemporaryDir dir;
  const QString mark = dir.filePath(QStringLiteral("mark"));
  const QString release = dir.filePath(QStringLiteral("release"));
  qputenv("BRINEWATCH_STUB_MARK", QFile::encodeName(mark));
  qputenv("BRINEWATCH_STUB_RELEASE", QFile::encodeName(release));
  keepStartEnvironment();  // as if the program had been started with them

  MemoryRegistry registry;
  registry.setValue(kHkeyLocalMachine, kSysInfoKeyText, QStringLiteral("PATH"), kRegSz,
                    QFile::encodeName(QString::fromUtf8(BRINEWATCH_SYSINFO_STUB)) + '\0');
  DetachedProgramStarter starter;
  test::RecordingMessageBox messages;
  SysInfoLauncher(registry, starter, messages).startSysInfo(nullptr);

  // The program waits for the release file, so a starter that waited for
  // it would come back only after its mark was written.
  EXPECT_FALSE(QFile::exists(mark));
  QFile(release).open(QIODevice::WriteOnly);
  EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(mark); }, 10000));
  EXPECT_TRUE(messages.texts.isEmpty());
  qunsetenv("BRINEWATCH_STUB_MARK");
  qunsetenv("BRINEWATCH_STUB_RELEASE");
}

TEST(DetachedProgramStarterTest, Start_GivesTheEnvironmentTheProgramWasStartedWith) {
  QTemporaryDir dir;
  const QString script = dir.filePath(QStringLiteral("probe"));
  QFile file(script);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("#!/bin/sh\necho \"${BRINEWATCH_PROBE-unset}\" > \"$0.out\"\n");
  file.close();
  file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  qunsetenv("BRINEWATCH_PROBE");
  keepStartEnvironment();
  qputenv("BRINEWATCH_PROBE", "set by the program for itself");
  DetachedProgramStarter starter;
  ASSERT_TRUE(starter.start(script));
  QFile out(script + QStringLiteral(".out"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return out.size() > 0; }, 10000));
  ASSERT_TRUE(out.open(QIODevice::ReadOnly));
  EXPECT_EQ(out.readAll(), QByteArray("unset\n"));
  qunsetenv("BRINEWATCH_PROBE");
}

}  // namespace
}  // namespace bw
