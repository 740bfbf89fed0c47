#include "platform/desktop/DesktopHelpViewer.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#include <QWidget>
#endif

namespace bw {

DesktopHelpViewer::DesktopHelpViewer()
    : opener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {}

DesktopHelpViewer::DesktopHelpViewer(Opener opener) : opener_(std::move(opener)) {}

std::optional<QString> DesktopHelpViewer::show(QWidget* owner, const QString& helpFile,
                                               HelpRequest request, const QString& keyword) {
  const QString path = QFileInfo(helpFile).isAbsolute()
                           ? helpFile
                           : QDir(QCoreApplication::applicationDirPath()).filePath(helpFile);
  if (!QFileInfo(path).isFile())
    return QStringLiteral("The help file %1 cannot be found.").arg(QDir::toNativeSeparators(path));
#ifdef Q_OS_WIN
  Q_UNUSED(opener_);
  const HWND window = owner ? reinterpret_cast<HWND>(owner->window()->winId()) : nullptr;
  const std::wstring file = QDir::toNativeSeparators(path).toStdWString();
  const std::wstring key = keyword.toStdWString();
  const ULONG_PTR data =
      request == HelpRequest::PartialKey ? reinterpret_cast<ULONG_PTR>(key.c_str()) : 0;
  if (!::WinHelpW(window, file.c_str(), static_cast<UINT>(request), data))
    return QStringLiteral("The help file %1 cannot be shown.").arg(QDir::toNativeSeparators(path));
#else
  // The desktop's handler knows neither contents nor keywords: it opens the file.
  Q_UNUSED(owner);
  Q_UNUSED(request);
  Q_UNUSED(keyword);
  if (!opener_(QUrl::fromLocalFile(path)))
    return QStringLiteral("No program is set up to open the help file %1.")
        .arg(QDir::toNativeSeparators(path));
#endif
  return std::nullopt;
}

}  // namespace bw
