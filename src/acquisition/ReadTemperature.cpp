#include "acquisition/ReadTemperature.h"

#include "acquisition/Readings.h"
#include "platform/NumberText.h"
#include "platform/web/HtmlDocument.h"

namespace bw {

bool readTemperature(const HtmlDocument* document, float& working) {
  if (document == nullptr) {
    working = kNoPage;
    return false;
  }
  const auto element = document->getElementById(QStringLiteral("Temperature_0"));
  if (!element) {
    working = kNoTemperature;
    return false;
  }
  const auto text = element->value();
  if (!text) return false;
  const auto value = parseNumber(*text);
  if (!value) return false;
  working = *value;
  return true;
}

}  // namespace bw
