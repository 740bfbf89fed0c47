#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

#include "acquisition/Acquisition.h"
#include "acquisition/AcquisitionDisplay.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QToolBar;

namespace bw {

class Clock;
class CommonDialog;
class FrmAbout;
class HelpViewer;
class MainFrame;
class MessageBox;
class PageView;
class SettingsStore;
class SysInfoLauncher;

// What the main window works with besides the acquisition; the start routine
// makes each one once, tests give their own, and may swap any one of the
// start routine's.
struct FrmMainServices {
  std::reference_wrapper<const Clock> clock;
  std::reference_wrapper<MessageBox> messages;
  std::reference_wrapper<CommonDialog> dialog;  // the window's one common dialog
  std::reference_wrapper<SettingsStore> settings;
  std::reference_wrapper<HelpViewer> helpViewer;
  std::reference_wrapper<SysInfoLauncher> sysInfo;  // for the About window's button
  QString helpFile;                                 // empty: the program has no help file
};

// The main window and its acquisition panel. It holds the controls and
// forwards their events; the acquisition's polling loop and log do the work
// and show it here, the
// frame runs the menus, toolbar and status bar. The window owns the end
// sequence that Exit, the close box, the Stop button and the system's
// requests all run.
class FrmMain : public QMainWindow, private AcquisitionDisplay {
  Q_OBJECT

 public:
  // The cboAddress list keeps this many newest entries.
  static constexpr int kAddressHistory = 1000;
  // Size of the client area below the menu bar.
  static constexpr QSize kClientSize{1008, 545};

  // Shows `acquisition` from now on. A site file that names a sensor above
  // slot 12 starts with Sixteen Sensors ticked.
  FrmMain(Acquisition& acquisition, FrmMainServices services, QWidget* parent = nullptr);
  ~FrmMain() override;

  // The load event: resets the state and polls until the end sequence has
  // run. The window is shown once the first query has ended.
  void Form_Load();
  void UpdateSensorCount();
  void btnFileWrite_Click();
  // The end sequence: closes the log when logging is on, unloads every
  // other loaded window and keeps the placement unless minimized, closes
  // what modal boxes are left and stops polling. Runs once; asked again
  // meanwhile, it only closes modal boxes, so a box it opened itself cannot
  // hold it.
  void endProgram();
  // The end the system asks for (a signal, the end of the session): the same
  // sequence, but what it has to say goes to standard error, as nobody may
  // be there to answer a box, and the program ends at once.
  void endOnRequest();
  bool ended() const { return ended_; }
  // Shows the About window modally; returns once it is closed.
  void showAbout();

  PollingLoop& pollingLoop() { return acquisition_.loop(); }
  LogFile& logFile() { return acquisition_.log(); }
  CommonDialog& dlgCommonDialog() { return dialog_; }
  // Menus, toolbar and status bar.
  MainFrame& frame() { return *frame_; }
  QWidget* clientArea() const { return clientArea_; }
  bool LoggingOn() const { return acquisition_.log().loggingOn(); }

  // Controls.
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
  void end(bool boxes);

  void showAddress(const QString& url) override;
  void showWindow() override;
  void showReading(int sensorNumber, float temperature) override;
  void showRecordNumber(int recordNumber) override;
  void showLoggingFailure(const QString& reason) override;

  Acquisition& acquisition_;
  MessageBox& messages_;
  CommonDialog& dialog_;
  SysInfoLauncher& sysInfo_;
  QWidget* clientArea_ = nullptr;
  bool loggingFailureShown_ = false;
  QPointer<FrmAbout> frmAbout_;  // made when first asked for
  std::unique_ptr<MainFrame> frame_;
  bool ended_ = false;
};

}  // namespace bw
