#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <string_view>

namespace bw::sim {

// The HTML pages of the simulated adapter, in the plain style of an
// embedded web server.

// Sensor page whose "Temperature_0" input has VALUE="<value>", after
// read-only inputs for ROM code, resolution and power supply.
QByteArray readingPage(std::string_view romCode, int resolution, QByteArrayView value);
// The same page with the temperature row missing.
QByteArray pageWithoutElement(std::string_view romCode, int resolution);
QByteArray errorPage(int status);
QByteArrayView reasonPhrase(int status);

}  // namespace bw::sim
