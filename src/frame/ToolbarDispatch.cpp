#include "frame/ToolbarDispatch.h"

#include <array>

namespace bw {

namespace {

struct Rule {
  const char* key;
  ToolbarAction::Kind kind;
  MenuCommand command;
};

using Kind = ToolbarAction::Kind;

// In the order the keys are compared.
constexpr std::array<Rule, 13> kRules{{
    {"New", Kind::Message, {}},
    {"Open", Kind::Command, MenuCommand::FileOpen},
    {"Save", Kind::Command, MenuCommand::FileSave},
    {"Print", Kind::Command, MenuCommand::FilePrint},
    {"Cut", Kind::Command, MenuCommand::EditCut},
    {"Copy", Kind::Command, MenuCommand::EditCopy},
    {"Paste", Kind::Command, MenuCommand::EditPaste},
    {"Bold", Kind::Message, {}},
    {"Italic", Kind::Message, {}},
    {"Underline", Kind::Message, {}},
    {"Align Left", Kind::Message, {}},
    {"Center", Kind::Message, {}},
    {"Align Right", Kind::Message, {}},
}};

}  // namespace

ToolbarAction ToolbarDispatch::forKey(const QString& key) {
  for (const Rule& rule : kRules) {
    if (key != QLatin1String(rule.key)) continue;
    ToolbarAction action;
    action.kind = rule.kind;
    if (rule.kind == Kind::Message) {
      action.message = QStringLiteral("Add '%1' button code.").arg(key);
    } else {
      action.command = rule.command;
    }
    return action;
  }
  return {};
}

}  // namespace bw
