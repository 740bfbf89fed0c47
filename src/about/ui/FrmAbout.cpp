#include "about/ui/FrmAbout.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <iterator>

#include "BrinewatchConfig.h"
#include "about/SysInfoLauncher.h"
#include "platform/Twips.h"

namespace bw {

namespace {

// A horizontal line from (x1, y) to (x2, y), the end point left out as lines
// are drawn on screen.
QRect twipsLine(int x1, int x2, int y, int widthPx) {
  return {twipsToPixels(x1), twipsToPixels(y), twipsToPixels(x2) - twipsToPixels(x1), widthPx};
}

constexpr QSize kClientSize{twipsToPixels(5895), twipsToPixels(3675)};
constexpr QColor kBlack{0, 0, 0};
constexpr QColor kRuleShadow{128, 128, 128};
constexpr QColor kRuleLight{255, 255, 255};
constexpr char kIconResource[] = ":/about/tank-thermometer.xpm";

QLabel* makeLabel(QWidget* parent, const char* name, const QRect& geometry, bool blackText) {
  auto* label = new QLabel(parent);
  label->setObjectName(QLatin1String(name));
  label->setGeometry(geometry);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(true);
  if (blackText) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kBlack);
    label->setPalette(palette);
  }
  return label;
}

QWidget* makeRule(QWidget* parent, const char* name, const QRect& geometry, const QColor& colour) {
  auto* rule = new QWidget(parent);
  rule->setObjectName(QLatin1String(name));
  rule->setGeometry(geometry);
  QPalette palette = rule->palette();
  palette.setColor(QPalette::Window, colour);
  rule->setPalette(palette);
  rule->setAutoFillBackground(true);
  return rule;
}

}  // namespace

FrmAbout::FrmAbout(SysInfoLauncher& launcher, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      launcher_(launcher) {
  setObjectName(QStringLiteral("frmAbout"));
  setFixedSize(kClientSize);
  setSizeGripEnabled(false);

  // Created in tab order, so the focus chain runs the same way.
  cmdOK = new QPushButton(this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setGeometry(twipsRect(4245, 2625, 1467, 345));
  cmdOK->setDefault(true);

  cmdSysInfo = new QPushButton(this);
  cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
  cmdSysInfo->setGeometry(twipsRect(4260, 3075, 1452, 345));

  picIcon = new QLabel(this);
  picIcon->setObjectName(QStringLiteral("picIcon"));
  picIcon->setGeometry(twipsRect(240, 240, 540, 540));
  picIcon->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
  picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  picIcon->setPixmap(QPixmap(QLatin1String(kIconResource)));
  // A picture box takes focus by Tab like a button; labels never do.
  picIcon->setFocusPolicy(Qt::StrongFocus);

  lblDisclaimer = makeLabel(this, "lblDisclaimer", twipsRect(255, 2625, 3870, 825), true);
  lblVersion = makeLabel(this, "lblVersion", twipsRect(1050, 780, 4092, 225), false);
  lblTitle = makeLabel(this, "lblTitle", twipsRect(1050, 240, 4092, 480), true);
  lblDescription = makeLabel(this, "lblDescription", twipsRect(1050, 1125, 4092, 1170), true);

  // A sunken rule: a grey line with a white one just below it.
  Line1[1] = makeRule(this, "Line1_1", twipsLine(225, 5657, 2430, 1), kRuleShadow);
  Line1[0] = makeRule(this, "Line1_0", twipsLine(240, 5657, 2445, 2), kRuleLight);

  QWidget* const tabOrder[] = {cmdOK,      cmdSysInfo, picIcon,       lblDisclaimer,
                               lblVersion, lblTitle,   lblDescription};
  for (std::size_t i = 1; i < std::size(tabOrder); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

  showInitialTexts();

  connect(cmdOK, &QPushButton::clicked, this, &FrmAbout::close);
  connect(cmdSysInfo, &QPushButton::clicked, this, [this] { launcher_.startSysInfo(this); });
}

void FrmAbout::showInitialTexts() {
  setWindowTitle(QStringLiteral("About Project1"));
  cmdOK->setText(QStringLiteral("OK"));
  cmdSysInfo->setText(QStringLiteral("&System Info..."));
  lblDisclaimer->setText(QStringLiteral("Warning: ..."));
  lblVersion->setText(QStringLiteral("Version"));
  lblTitle->setText(QStringLiteral("Application Title"));
  lblDescription->setText(QStringLiteral("App Description"));
}

void FrmAbout::showModal(QWidget* owner) {
  QWidget* const ownerWindow = owner ? owner->window() : nullptr;
  if (ownerWindow && parentWidget() != ownerWindow) setParent(ownerWindow, windowFlags());
  // Not placed by hand: the dialog centres itself on its owner as it shows,
  // and this makes it do so at every showing, moved last time or not.
  setAttribute(Qt::WA_Moved, false);
  exec();
}

void FrmAbout::showEvent(QShowEvent* event) {
  if (!loaded_) load();
  QDialog::showEvent(event);
  cmdOK->setFocus(Qt::OtherFocusReason);
}

void FrmAbout::load() {
  lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                          .arg(config::kVersionMajor)
                          .arg(config::kVersionMinor)
                          .arg(config::kVersionRevision));
  lblTitle->setText(QString::fromLatin1(config::kApplicationTitle));
  loaded_ = true;
  emit loaded();
}

void FrmAbout::done(int result) {
  QDialog::done(result);
  if (loaded_) unload();
}

void FrmAbout::unload() {
  // What the load put in goes with the window; the next load puts it back.
  showInitialTexts();
  loaded_ = false;
  emit unloaded();
}

}  // namespace bw
