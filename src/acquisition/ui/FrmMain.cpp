#include "acquisition/ui/FrmMain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>

#include "about/ui/FrmAbout.h"
#include "acquisition/ui/WrappingCheckBox.h"
#include "frame/ui/MainFrame.h"
#include "platform/MessageBox.h"
#include "platform/NumberText.h"
#include "platform/Twips.h"
#include "platform/pageview/PageView.h"
#include "platform/ui/CommonDialog.h"

namespace bw {

namespace {

constexpr int kToolbarHeightTwips = 420;
constexpr int kStatusBarHeightTwips = 270;
// The address box sits 60 twips below its place in the layout, so the
// toolbar band does not cover it.
constexpr int kAddressTopTwips = 360 + 60;
constexpr int kPanelFontPixels = 11;

template <typename Widget>
Widget* place(Widget* widget, const char* name, QRect geometry) {
  widget->setObjectName(QLatin1String(name));
  widget->setGeometry(geometry);
  return widget;
}

QLineEdit* textBox(QWidget* parent, const char* name, QRect geometry) {
  auto* box = place(new QLineEdit(parent), name, geometry);
  box->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return box;
}

QPushButton* commandButton(QWidget* parent, const char* name, const QString& caption,
                           QRect geometry) {
  auto* button = place(new QPushButton(caption, parent), name, geometry);
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

}  // namespace

FrmMain::FrmMain(Acquisition& acquisition, FrmMainServices services, QWidget* parent)
    : QMainWindow(parent),
      acquisition_(acquisition),
      messages_(services.messages),
      dialog_(services.dialog),
      sysInfo_(services.sysInfo) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Project1"));
  acquisition_.showOn(*this);

  clientArea_ = new QWidget(this);
  clientArea_->setObjectName(QStringLiteral("clientArea"));
  setCentralWidget(clientArea_);
  clientArea_->installEventFilter(this);
  createPanel();
  // The site file and the desktop then poll the same sensors; the table built
  // in starts with twelve.
  const Site& site = acquisition_.site();
  if (!site.file.isEmpty() && site.sensorCount() > kTwelveSensors)
    ChkSixteenSensors->setCheckState(Qt::Checked);
  // Before the size is set: the menus make the menu bar taller.
  frame_ = std::make_unique<MainFrame>(
      *this, *tbToolBar, *sbStatusBar,
      FrameServices{services.messages, services.dialog, services.settings, services.helpViewer,
                    services.clock, services.helpFile});
  connect(frame_.get(), &MainFrame::endRequested, this, &FrmMain::endProgram);
  connect(frame_.get(), &MainFrame::aboutRequested, this, &FrmMain::showAbout);
  // The layout settles only when the window is shown; the panel and the bars
  // are at their places from the start.
  clientArea_->resize(kClientSize);
  dockBars();
  resize(kClientSize.width(), kClientSize.height() + menuBar()->sizeHint().height());
}

FrmMain::~FrmMain() {
  acquisition_.showOn(noDisplay());
}

void FrmMain::createPanel() {
  QWidget* area = clientArea_;
  // The panel's places were drawn for a small dialog font of 11 pixels.
  QFont panelFont = area->font();
  panelFont.setPixelSize(kPanelFontPixels);
  // Narrow faces keep the captions inside the widths the layout gives them.
  panelFont.setStretch(QFont::SemiCondensed);
  area->setFont(panelFont);
  sbStatusBar = place(new QStatusBar(area), "sbStatusBar", {});
  sbStatusBar->setSizeGripEnabled(false);
  tbToolBar = place(new QToolBar(area), "tbToolBar", {});

  brwWebBrowser = place(createPageView(area), "brwWebBrowser", twipsRect(1920, 960, 11650, 4570));
  cboAddress =
      place(new QComboBox(area), "cboAddress", twipsRect(1920, kAddressTopTwips, 11650, 280));
  cboAddress->setEditable(true);
  cboAddress->setInsertPolicy(QComboBox::NoInsert);
  cboAddress->setDuplicatesEnabled(true);
  cboAddress->setMaxVisibleItems(20);
  btnFileWrite = commandButton(area, "btnFileWrite", QStringLiteral("Start Logging"),
                               twipsRect(1920, 5760, 1690, 730));
  btnStop = commandButton(area, "btnStop", QStringLiteral("Stop Program"),
                          twipsRect(11760, 5760, 1690, 730));
  txtSensorNum = textBox(area, "txtSensorNum", twipsRect(360, 2280, 1090, 610));
  Label1 = place(new QLabel(QStringLiteral("Sensor Number"), area), "Label1",
                 twipsRect(360, 1920, 1210, 250));
  txtTemperature = textBox(area, "txtTemperature", twipsRect(360, 3360, 1090, 610));
  Label2 = place(new QLabel(QStringLiteral("Temperature"), area), "Label2",
                 twipsRect(360, 3120, 1210, 250));
  txtFileName = textBox(area, "txtFileName", twipsRect(3840, 5760, 3970, 300));
  txtRecNum = textBox(area, "txtRecNum", twipsRect(3840, 6240, 850, 300));
  Label3 = place(new QLabel(QStringLiteral("Records Written"), area), "Label3",
                 twipsRect(4800, 6240, 850, 370));
  Label3->setWordWrap(true);
  Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ChkSixteenSensors = place(new WrappingCheckBox(QStringLiteral("Sixteen Sensors"), area),
                            "ChkSixteenSensors", twipsRect(480, 4560, 972, 492));
  for (QLabel* label : {Label1, Label2, Label3}) label->setFocusPolicy(Qt::NoFocus);

  // Tab order: status bar and toolbar first, then the panel, left to right
  // and top to bottom as the layout places it.
  QWidget* order[] = {sbStatusBar,  tbToolBar, brwWebBrowser,    cboAddress,
                      btnFileWrite, btnStop,   txtSensorNum,     txtTemperature,
                      txtFileName,  txtRecNum, ChkSixteenSensors};
  for (size_t i = 0; i + 1 < std::size(order); ++i) QWidget::setTabOrder(order[i], order[i + 1]);

  connect(ChkSixteenSensors, &QCheckBox::stateChanged, this, [this] { UpdateSensorCount(); });
  connect(btnFileWrite, &QPushButton::clicked, this, [this] { btnFileWrite_Click(); });
  connect(btnStop, &QPushButton::clicked, this, [this] { endProgram(); });
  connect(&acquisition_.browser(), &WebBrowser::pageLoaded, brwWebBrowser, &PageView::showPage);
  connect(&acquisition_.browser(), &WebBrowser::pageFailed, brwWebBrowser, &PageView::showNoAnswer);
  connect(&acquisition_.browser(), &WebBrowser::pageRefused, brwWebBrowser, &PageView::showRefused);
  dockBars();
}

void FrmMain::dockBars() {
  const int width = clientArea_->width();
  const int toolbarHeight = twipsToPixels(kToolbarHeightTwips);
  const int statusHeight = twipsToPixels(kStatusBarHeightTwips);
  tbToolBar->setGeometry(0, 0, width, toolbarHeight);
  sbStatusBar->setGeometry(0, clientArea_->height() - statusHeight, width, statusHeight);
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event) {
  // Only the docked bars follow the window; the panel keeps its places.
  if (watched == clientArea_ && event->type() == QEvent::Resize) dockBars();
  return QMainWindow::eventFilter(watched, event);
}

void FrmMain::Form_Load() {
  acquisition_.log().close();
  UpdateSensorCount();
  acquisition_.run();
}

void FrmMain::UpdateSensorCount() {
  acquisition_.loop().setSensorCount(
      ChkSixteenSensors->checkState() == Qt::Checked ? kMaxReadings : kTwelveSensors);
}

void FrmMain::btnFileWrite_Click() {
  if (acquisition_.log().loggingOn()) {
    acquisition_.log().close();
    btnFileWrite->setText(QStringLiteral("Start Logging"));
    setLoggingFailureShown(false);
    return;
  }
  CommonDialog& dialog = dlgCommonDialog();
  dialog.Filter = QStringLiteral("all Files | *.*");
  // A cancel while CancelError is on (as Page Setup leaves it) is no choice.
  if (dialog.ShowOpen(this) == DialogResult::Cancelled) return;
  if (acquisition_.loop().stopping()) return;  // the program was ended while the dialog was open
  const QString name = dialog.FileName;
  if (name.isEmpty()) return;
  if (const auto reason = acquisition_.log().open(name)) {
    messages_.show(this,
                   QStringLiteral("The log file \"%1\" cannot be opened: %2.\n"
                                  "Logging stays off.")
                       .arg(name, *reason),
                   MessageStyle::Ok);
    return;
  }
  txtFileName->setText(dialog.FileName);
  btnFileWrite->setText(QStringLiteral("Stop Logging"));
}

void FrmMain::endProgram() {
  end(true);
}

void FrmMain::endOnRequest() {
  end(false);
}

void FrmMain::end(bool boxes) {
  if (ended_) {
    closeModalWindows();
    return;
  }
  ended_ = true;
  if (acquisition_.log().loggingOn()) acquisition_.log().close();
  frame_->unloadWindows(boxes ? MainFrame::Report::Box : MainFrame::Report::StandardError);
  // Boxes still open would hold their nested loops, and with them the end.
  closeModalWindows();
  frame_->stopClock();
  acquisition_.loop().stop();
  hide();
}

void FrmMain::showAbout() {
  if (!frmAbout_) frmAbout_ = new FrmAbout(sysInfo_, this);
  frame_->trackWindow(frmAbout_);
  frmAbout_->showModal(this);
}

void FrmMain::closeEvent(QCloseEvent* event) {
  endProgram();
  event->accept();
}

void FrmMain::showAddress(const QString& url) {
  cboAddress->setEditText(url);
  cboAddress->addItem(cboAddress->currentText());
  // Keep the newest entries only, so weeks of polling keep memory flat.
  while (cboAddress->count() > kAddressHistory) cboAddress->removeItem(0);
  // Adding or dropping entries may move the current item; the box shows the
  // query in progress.
  if (cboAddress->currentText() != url) cboAddress->setEditText(url);
}

void FrmMain::showWindow() {
  show();
}

void FrmMain::showReading(int sensorNumber, float temperature) {
  txtSensorNum->setText(QString::number(sensorNumber));
  txtTemperature->setText(generalNumber(temperature));
}

void FrmMain::showRecordNumber(int recordNumber) {
  txtRecNum->setText(QString::number(recordNumber));
  setLoggingFailureShown(false);
}

void FrmMain::showLoggingFailure(const QString& reason) {
  setLoggingFailureShown(true, reason);
}

void FrmMain::setLoggingFailureShown(bool shown, const QString& reason) {
  if (shown == loggingFailureShown_ && !shown) return;
  loggingFailureShown_ = shown;
  const QString tip = shown
                          ? QStringLiteral(
                                "Writing to the log file fails: %1. Records are not counted until "
                                "writing succeeds again.")
                                .arg(reason)
                          : QString();
  for (QLineEdit* box : {txtFileName, txtRecNum}) {
    QPalette palette = box->palette();
    if (shown) {
      palette.setColor(QPalette::Base, QColor(255, 200, 200));
    } else {
      palette = QPalette();
    }
    box->setPalette(palette);
    box->setToolTip(tip);
  }
}

}  // namespace bw
