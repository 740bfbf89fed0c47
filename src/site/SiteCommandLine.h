#pragma once

#include <QString>
#include <QStringList>

#include "site/Site.h"

namespace bw {

// The options the programs that poll share: --site FILE, --check-site
// [FILE] and --help. Arguments of one dash are left for Qt.
struct SiteCommandLine {
  QString siteFile;    // --site FILE
  bool check = false;  // --check-site
  QString checkFile;   // its FILE, when given
  bool help = false;
  QString error;  // a usage error, naming the argument
};

// `arguments` without the program's name.
SiteCommandLine parseSiteCommandLine(const QStringList& arguments);

}  // namespace bw
