#pragma once

namespace bw {

class HtmlDocument;

// What reading a page gave.
enum class ReadingOutcome {
  kRead,           // a temperature off the page
  kNoPage,         // no document: -1
  kNoTemperature,  // no element "Temperature_0": -2
  kUnreadable,     // a value that is no number: the reading before it repeats
};

// Takes the temperature out of a loaded page into `working`: -1 without a
// document, -2 without the element "Temperature_0", the element's value when
// it reads as a number, and otherwise leaves `working` as it was, so a slot
// whose value cannot be read repeats the sensor read before it.
ReadingOutcome readTemperature(const HtmlDocument* document, float& working);

}  // namespace bw
