#include <gtest/gtest.h>

#include "frame/ToolbarDispatch.h"

namespace bw {
namespace {

using Kind = ToolbarAction::Kind;

TEST(ToolbarDispatch, MessageButtonsNameThemselvesAndForwardingButtonsNameTheirMenuCommand) {
  for (const char* key :
       {"New", "Bold", "Italic", "Underline", "Align Left", "Center", "Align Right"}) {
    const ToolbarAction action = ToolbarDispatch::forKey(QLatin1String(key));
    EXPECT_EQ(action.kind, Kind::Message) << key;
    EXPECT_EQ(action.message, QStringLiteral("Add '%1' button code.").arg(QLatin1String(key)));
  }
  const std::pair<const char*, MenuCommand> forwards[] = {
      {"Open", MenuCommand::FileOpen},   {"Save", MenuCommand::FileSave},
      {"Print", MenuCommand::FilePrint}, {"Cut", MenuCommand::EditCut},
      {"Copy", MenuCommand::EditCopy},   {"Paste", MenuCommand::EditPaste},
  };
  for (const auto& [key, command] : forwards) {
    const ToolbarAction action = ToolbarDispatch::forKey(QLatin1String(key));
    EXPECT_EQ(action.kind, Kind::Command) << key;
    EXPECT_EQ(action.command, command) << key;
    EXPECT_TRUE(action.message.isEmpty()) << key;
  }
}

TEST(ToolbarDispatch, KeysMatchExactlyAndCaseSensitively) {
  for (const char* key : {"", "new", "NEW", "Open ", " Save", "AlignLeft", "Centre", "Help"})
    EXPECT_EQ(ToolbarDispatch::forKey(QLatin1String(key)).kind, Kind::Nothing) << key;
}

}  // namespace
}  // namespace bw
