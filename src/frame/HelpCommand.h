#pragma once

#include <QString>

#include "platform/desktop/HelpViewer.h"

class QWidget;

namespace bw {

class MessageBox;

// The Help menu's contents and search commands.
class HelpCommand {
 public:
  HelpCommand(HelpViewer& viewer, MessageBox& messages);

  // Without a help file: says so in a box titled `ownerCaption`. Otherwise
  // has the viewer show the file; a failure is shown with its reason.
  void run(QWidget* owner, const QString& ownerCaption, const QString& helpFile,
           HelpRequest request);

 private:
  HelpViewer& viewer_;
  MessageBox& messages_;
};

}  // namespace bw
