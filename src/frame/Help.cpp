#include "frame/Help.h"

#include "platform/MessageBox.h"

namespace bw {

void showHelp(HelpViewer& viewer, MessageBox& messages, QWidget* owner, const QString& ownerCaption,
              const QString& helpFile, HelpRequest request) {
  if (helpFile.isEmpty()) {
    messages.show(owner,
                  QStringLiteral("Unable to display Help Contents. There is no Help associated "
                                 "with this project."),
                  MessageStyle::Information, ownerCaption);
    return;
  }
  if (const auto failure = viewer.show(owner, helpFile, request, QString()))
    messages.show(owner, *failure, MessageStyle::Ok);
}

}  // namespace bw
