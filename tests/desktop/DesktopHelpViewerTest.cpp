#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include "platform/desktop/DesktopHelpViewer.h"

namespace bw {
namespace {

struct RecordingOpener {
  QList<QUrl> urls;
  bool answer = true;
  DesktopHelpViewer::Opener opener() {
    return [this](const QUrl& url) {
      urls.append(url);
      return answer;
    };
  }
};

QString makeFile(const QTemporaryDir& dir, const QString& name) {
  const QString path = dir.filePath(name);
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  return path;
}

TEST(DesktopHelpViewer, OpensAnExistingHelpFileWithTheDesktopHandler) {
  QTemporaryDir dir;
  const QString path = makeFile(dir, QStringLiteral("brinewatch help.html"));
  RecordingOpener opener;
  DesktopHelpViewer viewer(opener.opener());
  for (HelpRequest request : {HelpRequest::Contents, HelpRequest::PartialKey})
    EXPECT_EQ(viewer.show(nullptr, path, request, QString()), std::nullopt);
  ASSERT_EQ(opener.urls.size(), 2);
  EXPECT_EQ(opener.urls[0], QUrl::fromLocalFile(path));
}

TEST(DesktopHelpViewer, AMissingFileOrNoHandlerIsReportedWithTheFileName) {
  QTemporaryDir dir;
  RecordingOpener opener;
  DesktopHelpViewer viewer(opener.opener());
  const QString missing = dir.filePath(QStringLiteral("missing.html"));
  const auto notFound = viewer.show(nullptr, missing, HelpRequest::Contents, QString());
  ASSERT_TRUE(notFound.has_value());
  EXPECT_TRUE(notFound->contains(missing)) << notFound->toStdString();
  EXPECT_TRUE(opener.urls.isEmpty()) << "nothing is opened for a missing file";

  opener.answer = false;
  const QString present = makeFile(dir, QStringLiteral("present.html"));
  const auto noHandler = viewer.show(nullptr, present, HelpRequest::Contents, QString());
  ASSERT_TRUE(noHandler.has_value());
  EXPECT_TRUE(noHandler->contains(present)) << noHandler->toStdString();
}

TEST(DesktopHelpViewer, ARelativeNameIsTakenFromTheProgramFolder) {
  RecordingOpener opener;
  DesktopHelpViewer viewer(opener.opener());
  const QString name = QStringLiteral("brinewatch-relative-help.txt");
  const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(name);
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  EXPECT_EQ(viewer.show(nullptr, name, HelpRequest::Contents, QString()), std::nullopt);
  QFile::remove(path);
  ASSERT_EQ(opener.urls.size(), 1);
  EXPECT_EQ(opener.urls[0], QUrl::fromLocalFile(path));
}

}  // namespace
}  // namespace bw
