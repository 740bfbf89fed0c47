#pragma once

#include <QLineEdit>
#include <QMainWindow>
#include <QStatusBar>
#include <QToolBar>
#include <memory>

#include "Fakes.h"
#include "frame/ui/MainFrame.h"

namespace bw::test {

// A plain main window with a toolbar, a status bar and one line edit in its
// client area, and a frame over the shared stand-ins. The clock reads
// 10:15:30.250.
struct FrameFixture {
  explicit FrameFixture(const QString& helpFile = {}) {
    s.clock.stamp.setTime(QTime(10, 15, 30, 250));
    window.setWindowTitle(QStringLiteral("Project1"));
    auto* area = new QWidget;
    window.setCentralWidget(area);
    toolbar = new QToolBar(area);
    statusBar = new QStatusBar(area);
    lineEdit = new QLineEdit(area);
    frame = std::make_unique<MainFrame>(
        window, *toolbar, *statusBar,
        FrameServices{s.messages, s.dialog, s.settings, s.help, s.clock, helpFile});
  }

  FakeServices s;
  QMainWindow window;
  QToolBar* toolbar = nullptr;
  QStatusBar* statusBar = nullptr;
  QLineEdit* lineEdit = nullptr;
  std::unique_ptr<MainFrame> frame;
};

}  // namespace bw::test
