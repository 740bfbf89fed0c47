#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

#include "site/Site.h"

namespace bw {

// What reading a site file gave: the site, or every error found in it as
// "FILE:LINE: reason", in line order. A site with any error is not used.
struct SiteReading {
  std::optional<Site> site;
  QStringList errors;
};

// A site file, TOML in UTF-8:
//
//   adapter = "192.168.1.50:80"      # IPv4, [IPv6] or a host name, :PORT optional
//   [[sensor]]
//   slot = 1                         # 1 to 16
//   rom = "9C000000B4A89828"         # CRC byte first, family code 28 last
//   name = "North tank, top"         # optional, up to 64 characters
//   low = -2.0                       # optional alarm band in °C, low < high
//   high = 6.5
//
// and for the loggers, at the top:
//
//   log = "/var/lib/brinewatch/brine.log"   # what brinewatchd logs to
//   metrics = "127.0.0.1:9816"              # where the metrics are served
//
// Checked whole before anything is used: a ROM code that is no DS18B20's or
// fails its CRC, a slot or ROM code given twice, a slot out of range, an
// unknown key, a bad address or a band with low >= high is an error.
SiteReading parseSite(const QByteArray& text, const QString& fileName);
SiteReading readSiteFile(const QString& path);

// Why `adapter` is not HOST[:PORT], or nothing when it is.
std::optional<QString> adapterProblem(const QString& adapter);

}  // namespace bw
