#include <gtest/gtest.h>
#include <QStringList>

#include "platform/ui/CommonDialog.h"

namespace bw {
namespace {

class AnsweringDialog final : public CommonDialog {
 public:
  QString answer;
  bool printerAccepted = false;
  QStringList seenFilters;
  QStringList seenStartNames;

 protected:
  QString runOpenDialog(QWidget*, const QString&, const QString& filters,
                        const QString& startName) override {
    seenFilters << filters;
    seenStartNames << startName;
    return answer;
  }
  bool runPrinterDialog(QWidget*, const QString&) override { return printerAccepted; }
};

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
  AnsweringDialog dialog;
  dialog.answer = QStringLiteral("/data/brine.log");
  EXPECT_EQ(dialog.ShowOpen(nullptr), DialogResult::Ok);
  EXPECT_EQ(dialog.FileName, QStringLiteral("/data/brine.log"));
  dialog.answer.clear();
  EXPECT_EQ(dialog.ShowOpen(nullptr), DialogResult::Ok);  // CancelError off: an ordinary end
  EXPECT_TRUE(dialog.FileName.isEmpty());
  EXPECT_EQ(dialog.seenStartNames, (QStringList{QString(), QStringLiteral("/data/brine.log")}));
  dialog.CancelError = true;
  EXPECT_EQ(dialog.ShowOpen(nullptr), DialogResult::Cancelled);
}

TEST(CommonDialogPrinter, CancelIsAnErrorResultOnlyWithCancelError) {
  AnsweringDialog dialog;
  EXPECT_EQ(dialog.ShowPrinter(nullptr), DialogResult::Ok);
  dialog.CancelError = true;
  EXPECT_EQ(dialog.ShowPrinter(nullptr), DialogResult::Cancelled);
  dialog.printerAccepted = true;
  EXPECT_EQ(dialog.ShowPrinter(nullptr), DialogResult::Ok);
}

}  // namespace
}  // namespace bw
