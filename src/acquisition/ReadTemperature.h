#pragma once

namespace bw {

class HtmlDocument;

// Takes the temperature out of a loaded page into `working`: -1 without a
// document, -2 without the element "Temperature_0", the element's value when
// it reads as a number, and otherwise leaves `working` as it was, so a slot
// whose value cannot be read repeats the sensor read before it. True only
// when a temperature was read off the page.
bool readTemperature(const HtmlDocument* document, float& working);

}  // namespace bw
