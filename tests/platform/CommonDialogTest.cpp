#include <gtest/gtest.h>
#include <QStringList>

#include "Fakes.h"
#include "platform/ui/CommonDialog.h"

namespace bw {
namespace {

using test::ScriptedDialog;

TEST(CommonDialogFilter, DescriptionPipePatternPairsBecomeFileDialogFilters) {
  EXPECT_EQ(fileDialogNameFilters(QStringLiteral("all Files | *.*")),
            QStringLiteral("all Files (*)"));
  EXPECT_EQ(fileDialogNameFilters(QStringLiteral("All Files (*.*)|*.*")),
            QStringLiteral("All Files (*)"));
  EXPECT_EQ(fileDialogNameFilters(QStringLiteral("Logs|*.log;*.txt|All|*.*")),
            QStringLiteral("Logs (*.log *.txt);;All (*)"));
  EXPECT_TRUE(fileDialogNameFilters(QString()).isEmpty());
}

TEST(CommonDialogOpen, ChoiceIsKeptAndACancelReportsNoName) {
  ScriptedDialog dialog;
  dialog.answers = {QStringLiteral("/data/brine.log")};
  EXPECT_EQ(dialog.ShowOpen(nullptr), DialogResult::Ok);
  EXPECT_EQ(dialog.FileName, QStringLiteral("/data/brine.log"));
  EXPECT_EQ(dialog.ShowOpen(nullptr), DialogResult::Ok);  // CancelError off: an ordinary end
  EXPECT_TRUE(dialog.FileName.isEmpty());
  ASSERT_EQ(dialog.showings.size(), 2);
  EXPECT_TRUE(dialog.showings[0].startName.isEmpty());
  EXPECT_EQ(dialog.showings[1].startName, QStringLiteral("/data/brine.log"));
  dialog.CancelError = true;
  EXPECT_EQ(dialog.ShowOpen(nullptr), DialogResult::Cancelled);
}

TEST(CommonDialogPrinter, CancelIsAnErrorResultOnlyWithCancelError) {
  ScriptedDialog dialog;
  EXPECT_EQ(dialog.ShowPrinter(nullptr), DialogResult::Ok);
  dialog.CancelError = true;
  EXPECT_EQ(dialog.ShowPrinter(nullptr), DialogResult::Cancelled);
  dialog.printerAccepts = true;
  EXPECT_EQ(dialog.ShowPrinter(nullptr), DialogResult::Ok);
}

}  // namespace
}  // namespace bw
