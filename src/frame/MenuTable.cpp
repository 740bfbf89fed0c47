#include "frame/MenuTable.h"

namespace bw {

namespace {

using Kind = MenuEntry::Kind;

constexpr MenuEntry menu(const char* name, const char* caption) {
  return {Kind::Menu, name, caption, "", true, false, false};
}
constexpr MenuEntry item(const char* name, const char* caption, const char* shortcut = "") {
  return {Kind::Item, name, caption, shortcut, true, false, false};
}
constexpr MenuEntry placeholder(const char* name, const char* caption, const char* shortcut = "") {
  return {Kind::Item, name, caption, shortcut, true, false, true};
}
constexpr MenuEntry toggle(const char* name, const char* caption) {
  return {Kind::Item, name, caption, "", true, true, false};
}
constexpr MenuEntry hidden(const char* name) {
  return {Kind::Item, name, "", "", false, false, false};
}
constexpr MenuEntry separator(const char* name, bool visible = true) {
  return {Kind::Separator, name, "", "", visible, false, false};
}

}  // namespace

const std::vector<MenuEntry>& MenuTable::entries() {
  static const std::vector<MenuEntry> table{
      menu("mnuFile", "&File"),
      placeholder("mnuFileNew", "&New", "Ctrl+N"),
      item("mnuFileOpen", "&Open..."),
      placeholder("mnuFileClose", "&Close"),
      separator("mnuFileBar0"),
      placeholder("mnuFileSave", "&Save"),
      placeholder("mnuFileSaveAs", "Save &As..."),
      placeholder("mnuFileSaveAll", "Save A&ll"),
      separator("mnuFileBar1"),
      placeholder("mnuFileProperties", "Propert&ies"),
      separator("mnuFileBar2"),
      item("mnuFilePageSetup", "Page Set&up..."),
      placeholder("mnuFilePrintPreview", "Print Pre&view"),
      placeholder("mnuFilePrint", "&Print..."),
      separator("mnuFileBar3"),
      placeholder("mnuFileSend", "Sen&d..."),
      separator("mnuFileBar4"),
      hidden("mnuFileMRU1"),
      hidden("mnuFileMRU2"),
      hidden("mnuFileMRU3"),
      separator("mnuFileBar5", false),
      item("mnuFileExit", "E&xit"),
      menu("mnuEdit", "&Edit"),
      placeholder("mnuEditUndo", "&Undo"),
      separator("mnuEditBar0"),
      placeholder("mnuEditCut", "Cu&t", "Ctrl+X"),
      placeholder("mnuEditCopy", "&Copy", "Ctrl+C"),
      placeholder("mnuEditPaste", "&Paste", "Ctrl+V"),
      placeholder("mnuEditPasteSpecial", "Paste &Special..."),
      menu("mnuView", "&View"),
      toggle("mnuViewToolbar", "&Toolbar"),
      toggle("mnuViewStatusBar", "Status &Bar"),
      separator("mnuViewBar0"),
      placeholder("mnuViewRefresh", "&Refresh"),
      placeholder("mnuViewOptions", "&Options..."),
      item("mnuViewWebBrowser", "&Web Browser"),
      menu("mnuHelp", "&Help"),
      item("mnuHelpContents", "&Contents"),
      item("mnuHelpSearchForHelpOn", "&Search For Help On..."),
      separator("mnuHelpBar0"),
      item("mnuHelpAbout", "&About "),
  };
  return table;
}

QString MenuTable::placeholderText(const QString& name) {
  return QStringLiteral("Add '%1_Click' code.").arg(name);
}

}  // namespace bw
