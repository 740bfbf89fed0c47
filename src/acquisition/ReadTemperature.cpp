#include "acquisition/ReadTemperature.h"

#include "acquisition/Readings.h"
#include "platform/NumberText.h"
#include "platform/web/HtmlDocument.h"

namespace bw {

ReadingOutcome readTemperature(const HtmlDocument* document, float& working) {
  if (document == nullptr) {
    working = kNoPage;
    return ReadingOutcome::kNoPage;
  }
  const auto element = document->getElementById(QStringLiteral("Temperature_0"));
  if (!element) {
    working = kNoTemperature;
    return ReadingOutcome::kNoTemperature;
  }
  const auto text = element->value();
  const auto value = text ? parseNumber(*text) : std::nullopt;
  if (!value) return ReadingOutcome::kUnreadable;
  working = *value;
  return ReadingOutcome::kRead;
}

}  // namespace bw
