#include "acquisition/TemperatureReader.h"

#include "acquisition/Readings.h"
#include "platform/NumberText.h"
#include "platform/web/HtmlDocument.h"

namespace bw {

void readTemperature(const HtmlDocument* document, float& working) {
  if (document == nullptr) {
    working = kNoDocument;
    return;
  }
  const auto element = document->getElementById(QStringLiteral("Temperature_0"));
  if (!element) {
    working = kNoElement;
    return;
  }
  const auto text = element->value();
  if (!text) return;
  if (const auto value = parseNumber(*text)) working = *value;
}

}  // namespace bw
