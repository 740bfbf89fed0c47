#include "DevicePages.h"

namespace bw::sim {

namespace {

constexpr QByteArrayView kHead =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"
    "<HTML>\r\n<HEAD>\r\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=iso-8859-1\">\r\n"
    "<META HTTP-EQUIV=\"Pragma\" CONTENT=\"no-cache\">\r\n"
    "<TITLE>1-Wire Adapter - DS18B20</TITLE>\r\n"
    "</HEAD>\r\n<BODY BGCOLOR=\"#FFFFFF\">\r\n"
    "<H3>DS18B20 Digital Thermometer</H3>\r\n"
    "<FORM NAME=\"DS18B20\" ACTION=\"/1Wire/ReadDS18B20.html\" METHOD=\"GET\">\r\n"
    "<TABLE BORDER=\"1\" CELLPADDING=\"3\">\r\n"
    "<TR><TD>ROM ID</TD><TD><INPUT TYPE=\"text\" ID=\"ROMId_0\" NAME=\"ROMId_0\" SIZE=\"18\" "
    "VALUE=\"";
constexpr QByteArrayView kResolution =
    "\" READONLY></TD></TR>\r\n"
    "<TR><TD>Resolution (bits)</TD><TD><INPUT TYPE=\"text\" ID=\"Resolution_0\" "
    "NAME=\"Resolution_0\" SIZE=\"4\" VALUE=\"";
constexpr QByteArrayView kPower =
    "\" READONLY></TD></TR>\r\n"
    "<TR><TD>Power Supply</TD><TD><INPUT TYPE=\"text\" ID=\"Power_0\" NAME=\"Power_0\" "
    "SIZE=\"10\" VALUE=\"External\" READONLY></TD></TR>\r\n";
constexpr QByteArrayView kTemperature =
    "<TR><TD>Temperature (&deg;C)</TD><TD><INPUT TYPE=\"text\" ID=\"Temperature_0\" "
    "NAME=\"Temperature_0\" SIZE=\"10\" VALUE=\"";
constexpr QByteArrayView kTemperatureEnd = "\" READONLY></TD></TR>\r\n";
constexpr QByteArrayView kFoot =
    "</TABLE>\r\n"
    "<INPUT TYPE=\"submit\" VALUE=\"Refresh\">\r\n"
    "</FORM>\r\n</BODY>\r\n</HTML>\r\n";

void appendUpper(QByteArray& page, std::string_view text) {
  for (char c : text) page.append(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
}

QByteArray sensorPage(std::string_view romCode, int resolution, const QByteArrayView* value) {
  QByteArray page;
  page.reserve(1200);
  page.append(kHead);
  appendUpper(page, romCode);
  page.append(kResolution);
  page.append(QByteArray::number(resolution));
  page.append(kPower);
  if (value) {
    page.append(kTemperature);
    page.append(*value);
    page.append(kTemperatureEnd);
  }
  page.append(kFoot);
  return page;
}

}  // namespace

QByteArray readingPage(std::string_view romCode, int resolution, QByteArrayView value) {
  return sensorPage(romCode, resolution, &value);
}

QByteArray pageWithoutElement(std::string_view romCode, int resolution) {
  return sensorPage(romCode, resolution, nullptr);
}

QByteArray errorPage(int status) {
  QByteArray explanation;
  switch (status) {
    case 400:
      explanation = "The request could not be understood.";
      break;
    case 404:
      explanation = "The requested page or device was not found.";
      break;
    case 405:
      explanation = "Only GET is supported.";
      break;
    case 500:
      explanation = "1-Wire bus error: the device did not respond.";
      break;
    default:
      explanation = "The request failed.";
      break;
  }
  const QByteArray title = QByteArray::number(status) + ' ' + reasonPhrase(status).toByteArray();
  return "<HTML>\r\n<HEAD><TITLE>" + title + "</TITLE></HEAD>\r\n<BODY>\r\n<H2>" + title +
         "</H2>\r\n<P>" + explanation + "</P>\r\n</BODY>\r\n</HTML>\r\n";
}

QByteArrayView reasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 204:
      return "No Content";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

}  // namespace bw::sim
