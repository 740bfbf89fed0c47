#pragma once

// The real main window for the benchmarks: real HTTP client, real clock and
// page view, and silent stand-ins for the modal dialogs, which nobody is
// there to answer.

#include <QString>
#include <memory>

#include "acquisition/ui/FrmMain.h"
#include "platform/Clock.h"
#include "platform/ui/CommonDialog.h"
#include "platform/ui/MessageBox.h"
#include "platform/web/CurlHttpClient.h"

namespace bw::bench {

class CountingMessageBox final : public MessageBox {
 public:
  void show(QWidget*, const QString&, MessageStyle, const std::optional<QString>&) override {
    ++shown;
  }
  int shown = 0;
};

class CancellingDialog final : public CommonDialog {
 protected:
  QString runOpenDialog(QWidget*, const QString&, const QString&, const QString&) override {
    return {};
  }
  bool runPrinterDialog(QWidget*, const QString&) override { return false; }
};

struct BenchWindow {
  explicit BenchWindow(const QString& adapterHost) {
    FrmMainServices services;
    services.http = std::make_unique<CurlHttpClient>();
    services.adapterHost = adapterHost;
    services.clock = &clock;
    services.messageBox = &messages;
    services.commonDialog = &dialog;
    form = std::make_unique<FrmMain>(std::move(services));
  }

  SystemClock clock;
  CountingMessageBox messages;
  CancellingDialog dialog;
  std::unique_ptr<FrmMain> form;
};

}  // namespace bw::bench
