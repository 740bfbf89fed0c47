#pragma once

#include <QString>

#include "frame/MenuCommand.h"

namespace bw {

// What a toolbar click does.
struct ToolbarAction {
  enum class Kind { Nothing, Message, Command };
  Kind kind = Kind::Nothing;
  QString message;                              // Kind::Message
  MenuCommand command = MenuCommand::FileOpen;  // Kind::Command
};

// Chooses what a toolbar button does from its key: exact, case-sensitive,
// first match wins; an unknown key does nothing.
class ToolbarDispatch {
 public:
  static ToolbarAction forKey(const QString& key);
};

}  // namespace bw
