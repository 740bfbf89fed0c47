#pragma once

#include <QMainWindow>
#include <memory>

#include "acquisition/AcquisitionDisplay.h"
#include "acquisition/LogFile.h"
#include "acquisition/PollingLoop.h"
#include "frame/FrameHost.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QToolBar;

namespace bw {

class AboutCommand;
class Clock;
class CommonDialog;
class HttpClient;
class MainFrame;
class MessageBox;
class PageView;
class WebBrowser;

// What the main window is given from outside; tests give their own.
struct FrmMainServices {
  std::unique_ptr<HttpClient> http;
  QString adapterHost;  // "address[:port]" put after "http://"
  const Clock* clock = nullptr;
  MessageBox* messageBox = nullptr;
  CommonDialog* commonDialog = nullptr;
};

// The main window and its acquisition panel. It holds the controls and
// forwards their events; the polling loop and the log file do the work.
class FrmMain : public QMainWindow, private AcquisitionDisplay, private FrameHost {
  Q_OBJECT

 public:
  // The cboAddress list keeps this many newest entries.
  static constexpr int kAddressHistory = 1000;
  // Size of the client area below the menu bar.
  static constexpr QSize kClientSize{1008, 545};

  explicit FrmMain(FrmMainServices services, QWidget* parent = nullptr);
  ~FrmMain() override;

  // The load event: resets the state and polls until the end sequence has
  // run. The window is shown once the first query has ended.
  void Form_Load();
  void UpdateSensorCount();
  void btnFileWrite_Click();
  // The end sequence (see MainFrame::endProgram): closes the log if it is
  // open, unloads the windows and keeps the placement, ends polling.
  void endProgram();

  PollingLoop& pollingLoop() { return *loop_; }
  LogFile& logFile() { return logFile_; }
  WebBrowser& browser() { return *browser_; }
  CommonDialog& dlgCommonDialog() override { return *services_.commonDialog; }
  MessageBox& messageBox() override { return *services_.messageBox; }
  // Menus, toolbar, status bar and the end sequence.
  MainFrame& frame() { return *frame_; }
  QWidget* clientArea() const { return clientArea_; }
  bool LoggingOn() const { return logFile_.loggingOn(); }

  // Controls, named as the rest of the program knows them.
  PageView* brwWebBrowser = nullptr;
  QComboBox* cboAddress = nullptr;
  QPushButton* btnFileWrite = nullptr;
  QPushButton* btnStop = nullptr;
  QLineEdit* txtSensorNum = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* txtTemperature = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* txtFileName = nullptr;
  QLineEdit* txtRecNum = nullptr;
  QLabel* Label3 = nullptr;
  QCheckBox* ChkSixteenSensors = nullptr;
  QToolBar* tbToolBar = nullptr;
  QStatusBar* sbStatusBar = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createPanel();
  void dockBars();
  void setLoggingFailureShown(bool shown, const QString& reason = {});

  void showAddress(const QString& url) override;
  void showWindow() override;
  void showReading(int sensorNumber, float temperature) override;
  void showRecordNumber(int recordNumber) override;
  void showLoggingFailure(const QString& reason) override;

  void showAbout(QWidget* owner) override;
  void closeLogIfLogging() override;
  void stopPolling() override;

  FrmMainServices services_;
  QWidget* clientArea_ = nullptr;
  std::unique_ptr<WebBrowser> browser_;
  LogFile logFile_;
  std::unique_ptr<PollingLoop> loop_;
  bool loggingFailureShown_ = false;
  std::unique_ptr<AboutCommand> about_;  // made when first needed
  std::unique_ptr<MainFrame> frame_;
};

}  // namespace bw
