#include "logformat/RecordLine.h"

#include "logformat/Stamp.h"
#include "platform/NumberText.h"

namespace bw {

QByteArray readingText(float value) {
  const QByteArray number = generalNumber(value).toLatin1();
  // The sign takes the place of the leading blank.
  return (number.startsWith('-') ? number : ' ' + number) + ' ';
}

QByteArray recordLine(const QDateTime& stamp, const float* readings, int count) {
  QByteArray line = stampText(stamp).toLatin1();
  line += ", ";
  for (int slot = 0; slot < count; ++slot) {
    line += readingText(readings[slot]);
    if (slot == count - 1) break;
    // Always at least one blank, so a reading never runs into its separator
    // when it ends exactly on a zone boundary.
    const qsizetype next = (line.size() / kPrintZoneWidth + 1) * kPrintZoneWidth;
    line += QByteArray(next - line.size(), ' ');
    line += " , ";
  }
  line += "\r\n";
  return line;
}

}  // namespace bw
