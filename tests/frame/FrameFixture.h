#pragma once

#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <memory>

#include "FrameFakes.h"
#include "frame/ui/MainFrame.h"

namespace bw::test {

// A plain main window laid out as the program's: toolbar and status bar
// inside the client area, one panel line edit, and a frame over fakes.
struct FrameFixture {
  explicit FrameFixture(bool endOnTermination = false) {
    window.setWindowTitle(QStringLiteral("Project1"));
    auto* area = new QWidget;
    area->setObjectName(QStringLiteral("clientArea"));
    window.setCentralWidget(area);
    window.resize(kClientSize.width(),
                  kClientSize.height() + window.menuBar()->sizeHint().height());
    toolbar = new QToolBar(area);
    toolbar->setObjectName(QStringLiteral("tbToolBar"));
    toolbar->setGeometry(0, 0, kClientSize.width(), 28);
    statusBar = new QStatusBar(area);
    statusBar->setObjectName(QStringLiteral("sbStatusBar"));
    statusBar->setSizeGripEnabled(false);
    statusBar->setGeometry(0, kClientSize.height() - 18, kClientSize.width(), 18);
    lineEdit = new QLineEdit(area);
    lineEdit->setObjectName(QStringLiteral("txtFileName"));
    lineEdit->setGeometry(256, 384, 265, 20);

    FrameOptions options;
    options.settings = &settings;
    options.helpViewer = &help;
    options.clock = &clock;
    options.helpFile = QString();
    options.endOnTermination = endOnTermination;
    frame = std::make_unique<MainFrame>(window, *toolbar, *statusBar, host, options);
  }

  static constexpr QSize kClientSize{1008, 545};

  Steps steps;
  FakeHost host{steps};
  RecordingSettings settings{steps};
  RecordingHelpViewer help;
  FixedClock clock;
  QMainWindow window;
  QToolBar* toolbar = nullptr;
  QStatusBar* statusBar = nullptr;
  QLineEdit* lineEdit = nullptr;
  std::unique_ptr<MainFrame> frame;
};

}  // namespace bw::test
