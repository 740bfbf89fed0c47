#include <gtest/gtest.h>
#include <QAction>
#include <QActionGroup>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "FrameFixture.h"

namespace bw {
namespace {

using test::FrameFixture;

const QStringList kPositions{
    QStringLiteral("New"),       QStringLiteral("Open"),       QStringLiteral("Save"),
    QStringLiteral("-"),         QStringLiteral("Print"),      QStringLiteral("-"),
    QStringLiteral("Cut"),       QStringLiteral("Copy"),       QStringLiteral("Paste"),
    QStringLiteral("-"),         QStringLiteral("Bold"),       QStringLiteral("Italic"),
    QStringLiteral("Underline"), QStringLiteral("-"),          QStringLiteral("Align Left"),
    QStringLiteral("Center"),    QStringLiteral("Align Right")};

void click(FrameFixture& f, const QString& key) {
  QAction* button = f.frame->toolbarButton(key);
  ASSERT_NE(button, nullptr) << key.toStdString();
  QTest::mouseClick(f.toolbar->widgetForAction(button), Qt::LeftButton);
}

TEST(MainFrameToolbar, SeventeenPositionsWithKeysTooltipsAndPicturesOnSmallFixedButtons) {
  FrameFixture f;
  const QList<QAction*> actions = f.toolbar->actions();
  ASSERT_EQ(actions.size(), kPositions.size());
  for (int i = 0; i < kPositions.size(); ++i) {
    QAction* action = actions[i];
    const QString& key = kPositions[i];
    SCOPED_TRACE(key.toStdString());
    if (key == QLatin1String("-")) {
      EXPECT_TRUE(action->isSeparator());
      continue;
    }
    EXPECT_FALSE(action->isSeparator());
    EXPECT_EQ(action->data().toString(), key);
    EXPECT_EQ(action->toolTip(), key);
    EXPECT_EQ(action->objectName(), QStringLiteral("tbToolBar_") + QString(key).remove(u' '));
    EXPECT_EQ(action->icon().pixmap(16, 16).toImage(),
              f.frame->imlToolbarIcons.picture(key).toImage());
    auto* button = qobject_cast<QToolButton*>(f.toolbar->widgetForAction(action));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->size(), QSize(23, 22));
    EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_EQ(action->isCheckable(),
              key.startsWith(QLatin1String("Align")) || key == QLatin1String("Center"));
    EXPECT_FALSE(action->isChecked());
  }
  EXPECT_EQ(f.toolbar->iconSize(), QSize(16, 16));
  EXPECT_FALSE(f.toolbar->isMovable());
  EXPECT_FALSE(f.toolbar->isFloatable());
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
  f.host.dialog.answer = QStringLiteral("/tmp/chosen.log");
  QList<QSignalSpy*> menuSpies;
  for (QAction* item : {f.frame->mnuFileOpen, f.frame->mnuFileSave, f.frame->mnuFilePrint,
                        f.frame->mnuEditCut, f.frame->mnuEditCopy, f.frame->mnuEditPaste})
    menuSpies.append(new QSignalSpy(item, &QAction::triggered));
  for (const QString& key : kPositions)
    if (key != QLatin1String("-")) click(f, key);

  EXPECT_EQ(f.host.messages.texts, (QStringList{QStringLiteral("Add 'New' button code."),
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
  for (MessageStyle style : f.host.messages.styles) EXPECT_EQ(style, MessageStyle::Ok);
  for (const QString& title : f.host.messages.titles)
    EXPECT_EQ(title, QStringLiteral("<application title>"));
  // Open ran the File > Open command.
  ASSERT_EQ(f.host.dialog.showings.size(), 1);
  EXPECT_EQ(f.host.dialog.showings[0].title, QStringLiteral("Open"));
  // The menu items themselves were not triggered a second time.
  for (QSignalSpy* spy : menuSpies) {
    EXPECT_EQ(spy->size(), 0);
    delete spy;
  }
}

TEST(MainFrameToolbar, DispatchLeavesThePressedStateAloneAndIgnoresUnknownKeys) {
  FrameFixture f;
  click(f, QStringLiteral("Center"));
  f.host.messages.texts.clear();
  f.frame->tbToolBar_ButtonClick(QStringLiteral("Align Left"));
  EXPECT_TRUE(f.frame->toolbarButton(QStringLiteral("Center"))->isChecked());
  EXPECT_FALSE(f.frame->toolbarButton(QStringLiteral("Align Left"))->isChecked());
  EXPECT_EQ(f.host.messages.texts, QStringList{QStringLiteral("Add 'Align Left' button code.")});

  for (const char* key : {"Unknown", "new", "", "Align left"})
    f.frame->tbToolBar_ButtonClick(QLatin1String(key));
  EXPECT_EQ(f.host.messages.texts.size(), 1);
  EXPECT_TRUE(f.host.dialog.showings.isEmpty());
}

TEST(MainFrameToolbar, FailuresInsideTheDispatchAreSwallowed) {
  FrameFixture f;
  f.host.dialog.fail = true;
  click(f, QStringLiteral("Open"));
  EXPECT_EQ(f.host.dialog.showings.size(), 1);
  EXPECT_TRUE(f.host.messages.texts.isEmpty());

  f.host.messages.failing = true;
  click(f, QStringLiteral("New"));
  click(f, QStringLiteral("Save"));
  f.host.messages.failing = false;
  EXPECT_TRUE(f.host.messages.texts.isEmpty());

  // The same failure from the menu is shown with its reason.
  f.frame->mnuFileOpen->trigger();
  EXPECT_EQ(f.host.messages.texts, QStringList{QStringLiteral("the dialog could not be shown")});
  EXPECT_EQ(f.host.messages.styles, QList<MessageStyle>{MessageStyle::Ok});
  EXPECT_EQ(f.host.messages.titles, QStringList{QStringLiteral("<application title>")});
}

}  // namespace
}  // namespace bw
