#pragma once

namespace bw {

// Menu commands that toolbar buttons run as well.
enum class MenuCommand { FileOpen, FileSave, FilePrint, EditCut, EditCopy, EditPaste };

}  // namespace bw
