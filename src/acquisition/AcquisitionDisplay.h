#pragma once

#include <QString>

namespace bw {

// What the polling loop shows; the main window implements it.
class AcquisitionDisplay {
 public:
  virtual ~AcquisitionDisplay() = default;
  // Sets the address box to `url` and appends it to the box's list.
  virtual void showAddress(const QString& url) = 0;
  // Makes the window visible; called after every page, so only the first call
  // changes anything.
  virtual void showWindow() = 0;
  // 1-based sensor number and its stored value.
  virtual void showReading(int sensorNumber, float temperature) = 0;
  // A record reached the log; clears any failure shown before.
  virtual void showRecordNumber(int recordNumber) = 0;
  // A record could not be written, or the disk does not answer; polling
  // goes on and later records retry.
  virtual void showLoggingFailure(const QString& reason) = 0;
};

// Shows nothing: for an acquisition until its window takes it over.
inline AcquisitionDisplay& noDisplay() {
  static struct None final : AcquisitionDisplay {
    void showAddress(const QString&) override {}
    void showWindow() override {}
    void showReading(int, float) override {}
    void showRecordNumber(int) override {}
    void showLoggingFailure(const QString&) override {}
  } none;
  return none;
}

}  // namespace bw
