#include "about/ui/FrmAbout.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <functional>

#include "BrinewatchConfig.h"
#include "Fakes.h"
#include "about/SysInfoLauncher.h"
#include "platform/registry/MemoryRegistry.h"

namespace bw {
namespace {

constexpr int kGuardMs = 5000;

// Shows `window` modally over `owner` and runs `steps` inside its modal loop;
// the steps are to close it.
void whileShown(FrmAbout& window, QWidget& owner, const std::function<void()>& steps) {
  bool ran = false;
  QTimer::singleShot(0, &window, [&] {
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    steps();
    ran = true;
  });
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &window, [&] {
    ADD_FAILURE() << "the About window stayed open";
    window.reject();
  });
  guard.start(kGuardMs);
  window.showModal(&owner);
  EXPECT_TRUE(ran);
}

class FrmAboutTest : public ::testing::Test {
 protected:
  FrmAboutTest() {
    owner.setGeometry(40, 30, 600, 400);  // room to centre within the 800 x 600 screen
    owner.show();
  }
  template <typename T = QWidget>
  T* control(const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QString text(const char* label) { return control<QLabel>(label)->text(); }
  void show(const std::function<void()>& steps) { whileShown(window, owner, steps); }

  MemoryRegistry registry;  // empty: the system information program is never found
  DetachedProgramStarter starter;
  test::RecordingMessageBox messages;
  SysInfoLauncher launcher{registry, starter, messages};
  QWidget owner;
  FrmAbout window{launcher};
};

TEST_F(FrmAboutTest, Showing_EveryTime_LoadsTitleAndVersionCentredOnOwner) {
  const QString version = QStringLiteral("Version %1.%2.%3")
                              .arg(config::kVersionMajor)
                              .arg(config::kVersionMinor)
                              .arg(config::kVersionRevision);
  ASSERT_EQ(version, QStringLiteral("Version 1.0.0"));
  QSignalSpy loads(&window, &FrmAbout::loaded);
  QSignalSpy unloads(&window, &FrmAbout::unloaded);
  for (int showing = 1; showing <= 2; ++showing) {
    owner.move(owner.pos() + QPoint(40, 30));  // centred where the owner is now
    show([&] {
      EXPECT_TRUE(window.isModal());
      EXPECT_TRUE(window.isLoaded());
      EXPECT_EQ(window.parentWidget(), &owner);
      EXPECT_LE((window.geometry().center() - owner.geometry().center()).manhattanLength(), 2);
      EXPECT_EQ(window.windowTitle(), QStringLiteral("About Project1"));
      EXPECT_EQ(text("lblVersion"), version);
      EXPECT_EQ(text("lblTitle"), QStringLiteral("Brinewatch"));
      EXPECT_EQ(text("lblDescription"), QStringLiteral("App Description"));
      EXPECT_EQ(text("lblDisclaimer"), QStringLiteral("Warning: ..."));
      EXPECT_EQ(QApplication::focusWidget(), control("cmdOK"));
      QTest::mouseClick(control("cmdOK"), Qt::LeftButton);
    });
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.isLoaded());
    EXPECT_EQ(loads.count(), showing);
    EXPECT_EQ(unloads.count(), showing);
    // Unloaded: the next showing has to load the texts again.
    EXPECT_EQ(text("lblVersion"), QStringLiteral("Version"));
    EXPECT_EQ(text("lblTitle"), QStringLiteral("Application Title"));
  }
}

// The ways of closing the window, all alike: OK, Enter, Esc and the close box.
class FrmAboutCloseTest : public FrmAboutTest,
                          public ::testing::WithParamInterface<std::function<void(FrmAbout&)>> {};

TEST_P(FrmAboutCloseTest, Closing_EndsModalShowingAndUnloads) {
  QSignalSpy unloads(&window, &FrmAbout::unloaded);
  show([&] { GetParam()(window); });
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(unloads.count(), 1);
}

QPushButton* okButton(FrmAbout& w) {
  return w.findChild<QPushButton*>(QStringLiteral("cmdOK"));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, FrmAboutCloseTest,
    ::testing::Values([](FrmAbout& w) { QTest::mouseClick(okButton(w), Qt::LeftButton); },
                      [](FrmAbout& w) { QTest::keyClick(w.focusWidget(), Qt::Key_Escape); },
                      [](FrmAbout& w) { w.close(); },  // what the close box does
                      [](FrmAbout& w) {
                        // The default button takes Enter even when focus is on the icon.
                        EXPECT_TRUE(okButton(w)->isDefault());
                        QWidget* icon = w.findChild<QWidget*>(QStringLiteral("picIcon"));
                        icon->setFocus(Qt::TabFocusReason);
                        QTest::keyClick(icon, Qt::Key_Return);
                      }));

TEST_F(FrmAboutTest, Tab_FromOk_VisitsButtonsAndIconInOrder) {
  QStringList visited;
  show([&] {
    for (int i = 0; i < 3; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited.append(QApplication::focusWidget()->objectName());
    }
    window.close();
  });
  EXPECT_EQ(visited, (QStringList{QStringLiteral("cmdSysInfo"), QStringLiteral("picIcon"),
                                  QStringLiteral("cmdOK")}));
  for (QLabel* label : window.findChildren<QLabel*>())
    if (label->objectName().startsWith(u"lbl")) {
      EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
    }
}

TEST_F(FrmAboutTest, SystemInfo_ClickOrAltS_ReportsAndLeavesWindowOpen) {
  QSignalSpy unloads(&window, &FrmAbout::unloaded);
  show([&] {
    QTest::mouseClick(control("cmdSysInfo"), Qt::LeftButton);
    control("cmdOK")->setFocus();
    QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier);
    // A mnemonic presses its button after a short flash.
    EXPECT_TRUE(QTest::qWaitFor([&] { return messages.texts.size() == 2; }, kGuardMs / 2));
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isLoaded());
    EXPECT_EQ(unloads.count(), 0);
    window.close();
  });
  ASSERT_EQ(messages.texts.size(), 2);
  EXPECT_EQ(messages.owners[0], &window);
  EXPECT_EQ(messages.texts[0], QString::fromLatin1(kSysInfoUnavailable));
}

TEST_F(FrmAboutTest, Layout_ControlsAtTheirPixelPositions) {
  EXPECT_EQ(window.size(), QSize(393, 245));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                        Qt::WindowContextHelpButtonHint));
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);

  const std::pair<const char*, QRect> expected[] = {
      {"cmdOK", {283, 175, 98, 23}},         {"cmdSysInfo", {284, 205, 97, 23}},
      {"picIcon", {16, 16, 36, 36}},         {"lblDisclaimer", {17, 175, 258, 55}},
      {"lblVersion", {70, 52, 273, 15}},     {"lblTitle", {70, 16, 273, 32}},
      {"lblDescription", {70, 75, 273, 78}}, {"Line1_1", {15, 162, 362, 1}},
      {"Line1_0", {16, 163, 361, 2}},
  };
  for (const auto& [name, rect] : expected) EXPECT_EQ(control(name)->geometry(), rect) << name;
  EXPECT_EQ(control<QPushButton>("cmdSysInfo")->text(), QStringLiteral("&System Info..."));
  EXPECT_EQ(control<QPushButton>("cmdOK")->text(), QStringLiteral("OK"));
}

TEST_F(FrmAboutTest, Picture_ShowsSunkenRuleIconAndBlackTexts) {
  const QImage shot = window.grab().toImage();
  if (const QByteArray path = qgetenv("BRINEWATCH_ABOUT_SCREENSHOT"); !path.isEmpty())
    shot.save(QString::fromLocal8Bit(path));
  EXPECT_EQ(shot.pixelColor(200, 162), QColor(128, 128, 128));
  EXPECT_EQ(shot.pixelColor(200, 163), QColor(255, 255, 255));
  EXPECT_EQ(shot.pixelColor(200, 164), QColor(255, 255, 255));
  // The icon sits inside the picture's 2-pixel border: the red thermometer
  // bulb, the teal brine beside it.
  EXPECT_EQ(shot.pixelColor(16 + 2 + 16, 16 + 2 + 26), QColor(255, 0, 0));
  EXPECT_EQ(shot.pixelColor(16 + 2 + 6, 16 + 2 + 20), QColor(0, 128, 128));
  for (const char* name : {"lblTitle", "lblDescription", "lblDisclaimer"})
    EXPECT_EQ(control(name)->palette().color(QPalette::WindowText), QColor(0, 0, 0)) << name;
}

}  // namespace
}  // namespace bw
