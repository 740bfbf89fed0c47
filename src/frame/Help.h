#pragma once

#include <QString>

#include "platform/HelpViewer.h"

class QWidget;

namespace bw {

class MessageBox;

// The Help menu's contents and search commands. Without a help file: says
// so in a box titled `ownerCaption`. Otherwise has the viewer show the file;
// a failure is shown with its reason.
void showHelp(HelpViewer& viewer, MessageBox& messages, QWidget* owner, const QString& ownerCaption,
              const QString& helpFile, HelpRequest request);

}  // namespace bw
