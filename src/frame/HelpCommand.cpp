#include "frame/HelpCommand.h"

#include "platform/ui/MessageBox.h"

namespace bw {

HelpCommand::HelpCommand(HelpViewer& viewer, MessageBox& messages)
    : viewer_(viewer), messages_(messages) {}

void HelpCommand::run(QWidget* owner, const QString& ownerCaption, const QString& helpFile,
                      HelpRequest request) {
  if (helpFile.isEmpty()) {
    messages_.show(owner,
                   QStringLiteral("Unable to display Help Contents. There is no Help associated "
                                  "with this project."),
                   MessageStyle::Information, ownerCaption);
    return;
  }
  if (const auto failure = viewer_.show(owner, helpFile, request, QString()))
    messages_.show(owner, *failure, MessageStyle::Ok);
}

}  // namespace bw
