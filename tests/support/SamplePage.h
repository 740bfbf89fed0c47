#pragma once

#include <QByteArray>
#include <QString>

namespace bw::test {

// An answer page as the adapter sends it: upper-case tags, unquoted
// attributes, a style sheet, a form with the temperature and a few other
// inputs, and a line that changes with every answer.
inline QByteArray adapterPage(const QString& romCode, double temperature, int uptimeSeconds) {
  return QStringLiteral(
             "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"
             "<HTML>\r\n<HEAD>\r\n"
             "<META http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\r\n"
             "<TITLE>Read DS18B20</TITLE>\r\n"
             "<STYLE type=\"text/css\">\r\n"
             "BODY { font-family: Arial, Helvetica, sans-serif; font-size: 10pt; "
             "background-color: #F0F0F0 }\r\n"
             "TABLE.frame { border: 1px solid #808080; background-color: #FFFFFF }\r\n"
             "TD.label { text-align: right; padding-right: 6px }\r\n"
             "INPUT.ro { background-color: #E8E8E8 }\r\n"
             "</STYLE>\r\n</HEAD>\r\n<BODY>\r\n"
             "<FORM name=ReadDS18B20 method=get action=\"/1Wire/ReadDS18B20.html\">\r\n"
             "<TABLE class=frame cellpadding=3 cellspacing=0 width=720>\r\n"
             "<TR><TD colspan=2><B>1-Wire: read temperature</B></TD></TR>\r\n"
             "<TR><TD class=label>ROM code</TD><TD><INPUT class=ro type=text name=ROMId "
             "id=ROMId_0 size=20 value=\"%1\" readonly></TD></TR>\r\n"
             "<TR><TD class=label>Resolution</TD><TD><INPUT class=ro type=text id=Resolution_0 "
             "size=4 value=\"12\" readonly> bit</TD></TR>\r\n"
             "<TR><TD class=label>Temperature</TD><TD><INPUT class=ro type=text name=Temperature "
             "id=Temperature_0 size=10 value=\"%2\" readonly> &deg;C</TD></TR>\r\n"
             "<TR><TD class=label>Conversion</TD><TD><INPUT class=ro type=text id=Conversion_0 "
             "size=10 value=\"750\" readonly> ms</TD></TR>\r\n"
             "<TR><TD class=label>Power</TD><TD><INPUT type=checkbox id=Parasite_0 disabled> "
             "parasite</TD></TR>\r\n"
             "<TR><TD class=label>Status</TD><TD id=Status_0>OK</TD></TR>\r\n"
             "<TR><TD></TD><TD><INPUT type=hidden name=DS18B20Request value=\"{%1,12}\">"
             "<INPUT type=submit value=\"Read again\"></TD></TR>\r\n"
             "</TABLE>\r\n</FORM>\r\n"
             "<P style=\"font-size:8pt;color:#606060\">Adapter up for %3 s</P>\r\n"
             "</BODY>\r\n</HTML>\r\n")
      .arg(romCode, QString::number(temperature), QString::number(uptimeSeconds))
      .toLatin1();
}

}  // namespace bw::test
