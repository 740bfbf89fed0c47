#include <gtest/gtest.h>
#include <QAction>
#include <QActionGroup>
#include <QImage>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "FrameFixture.h"

namespace bw {
namespace {

using test::FrameFixture;

// The keys of the toolbar's buttons, left to right.
QStringList buttonKeys(const FrameFixture& f) {
  QStringList keys;
  for (QAction* action : f.toolbar->actions())
    if (!action->isSeparator()) keys << action->data().toString();
  return keys;
}

void click(FrameFixture& f, const QString& key) {
  QAction* button = f.frame->toolbarButton(key);
  ASSERT_NE(button, nullptr) << key.toStdString();
  QTest::mouseClick(f.toolbar->widgetForAction(button), Qt::LeftButton);
}

TEST(MainFrameToolbar, SmallFixedButtonsShowTheirPicturesOnASeeThroughGround) {
  FrameFixture f;
  const QSet<QRgb> palette{0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                           0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                           0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  const QStringList keys = buttonKeys(f);
  ASSERT_EQ(f.frame->imlToolbarIcons.count(), keys.size()) << "every picture was found";
  for (int index = 1; index <= keys.size(); ++index) {
    const QString& key = keys[index - 1];
    SCOPED_TRACE(key.toStdString());
    QAction* action = f.frame->toolbarButton(key);
    EXPECT_EQ(action->toolTip(), key);
    EXPECT_EQ(f.frame->imlToolbarIcons.key(index), key);
    auto* button = qobject_cast<QToolButton*>(f.toolbar->widgetForAction(action));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->size(), QSize(23, 22));

    // Light grey is see-through; the rest is drawn in the sixteen colours.
    const QImage image =
        f.frame->imlToolbarIcons.picture(index).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(action->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32),
              image);
    int transparent = 0, opaque = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb pixel = image.pixel(x, y);
        if (qAlpha(pixel) == 0) {
          ++transparent;
          continue;
        }
        ++opaque;
        EXPECT_TRUE(palette.contains(pixel & 0xFFFFFF));
        EXPECT_NE(pixel & 0xFFFFFF, 0xC0C0C0u) << "light grey left opaque";
      }
    }
    EXPECT_GT(opaque, 20);
    EXPECT_GT(transparent, 16);
  }
  EXPECT_FALSE(f.toolbar->isMovable());
}

TEST(MainFrameToolbar, PushButtonsSpringBackAndAlignmentButtonsStayPressedOneAtATime) {
  FrameFixture f;
  QActionGroup* group = f.frame->tbToolBar_Alignment;
  EXPECT_TRUE(group->isExclusive());
  EXPECT_EQ(group->checkedAction(), nullptr);
  click(f, QStringLiteral("Bold"));
  click(f, QStringLiteral("Bold"));
  QAction* bold = f.frame->toolbarButton(QStringLiteral("Bold"));
  EXPECT_FALSE(bold->isChecked());
  EXPECT_FALSE(qobject_cast<QToolButton*>(f.toolbar->widgetForAction(bold))->isDown());

  click(f, QStringLiteral("Align Left"));
  EXPECT_EQ(group->checkedAction(), f.frame->toolbarButton(QStringLiteral("Align Left")));
  click(f, QStringLiteral("Center"));
  EXPECT_EQ(group->checkedAction(), f.frame->toolbarButton(QStringLiteral("Center")));
  EXPECT_FALSE(f.frame->toolbarButton(QStringLiteral("Align Left"))->isChecked());
  click(f, QStringLiteral("Center"));
  EXPECT_TRUE(f.frame->toolbarButton(QStringLiteral("Center"))->isChecked());
}

TEST(MainFrameToolbar, EachButtonShowsItsOwnMessageOrRunsItsMenuCommand) {
  FrameFixture f;
  f.s.dialog.answers = {QStringLiteral("/tmp/chosen.log")};
  QList<QSignalSpy*> menuSpies;
  for (QAction* item : {f.frame->mnuFileOpen, f.frame->mnuFileSave, f.frame->mnuFilePrint,
                        f.frame->mnuEditCut, f.frame->mnuEditCopy, f.frame->mnuEditPaste})
    menuSpies.append(new QSignalSpy(item, &QAction::triggered));
  for (const QString& key : buttonKeys(f)) click(f, key);

  EXPECT_EQ(f.s.messages.texts, (QStringList{QStringLiteral("Add 'New' button code."),
                                             QStringLiteral("Add 'mnuFileSave_Click' code."),
                                             QStringLiteral("Add 'mnuFilePrint_Click' code."),
                                             QStringLiteral("Add 'mnuEditCut_Click' code."),
                                             QStringLiteral("Add 'mnuEditCopy_Click' code."),
                                             QStringLiteral("Add 'mnuEditPaste_Click' code."),
                                             QStringLiteral("Add 'Bold' button code."),
                                             QStringLiteral("Add 'Italic' button code."),
                                             QStringLiteral("Add 'Underline' button code."),
                                             QStringLiteral("Add 'Align Left' button code."),
                                             QStringLiteral("Add 'Center' button code."),
                                             QStringLiteral("Add 'Align Right' button code.")}));
  for (MessageStyle style : f.s.messages.styles) EXPECT_EQ(style, MessageStyle::Ok);
  for (const QString& title : f.s.messages.titles)
    EXPECT_EQ(title, QStringLiteral("<application title>"));
  // Open ran the File > Open command.
  ASSERT_EQ(f.s.dialog.showings.size(), 1);
  EXPECT_EQ(f.s.dialog.showings[0].title, QStringLiteral("Open"));
  // The menu items themselves were not triggered a second time.
  for (QSignalSpy* spy : menuSpies) {
    EXPECT_EQ(spy->size(), 0);
    delete spy;
  }
}

TEST(MainFrameToolbar, DispatchLeavesThePressedStateAloneAndIgnoresUnknownKeys) {
  FrameFixture f;
  click(f, QStringLiteral("Center"));
  f.s.messages.texts.clear();
  f.frame->tbToolBar_ButtonClick(QStringLiteral("Align Left"));
  EXPECT_TRUE(f.frame->toolbarButton(QStringLiteral("Center"))->isChecked());
  EXPECT_FALSE(f.frame->toolbarButton(QStringLiteral("Align Left"))->isChecked());
  EXPECT_EQ(f.s.messages.texts, QStringList{QStringLiteral("Add 'Align Left' button code.")});

  for (const char* key : {"Unknown", "new", "", "Align left"})
    f.frame->tbToolBar_ButtonClick(QLatin1String(key));
  EXPECT_EQ(f.s.messages.texts.size(), 1);
  EXPECT_TRUE(f.s.dialog.showings.isEmpty());
}

}  // namespace
}  // namespace bw
