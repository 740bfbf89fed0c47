#pragma once

#include <QString>
#include <QStringList>

#include "site/Site.h"

namespace bw {

// The options the programs that poll share: --site FILE, --check-site
// [FILE] and --help (or -h); FILE may also be given as --site=FILE. The
// unattended logger takes --name NAME too, the name its metrics give the
// site (a unit instance's name: up to 64 letters, digits and : - _ . \,
// which is what systemd passes as %i). Anything
// else is a usage error, naming the argument: an unknown option, a word of
// one dash (-site is not --site, and is not left for Qt either), a missing
// FILE, an option given twice, a word that belongs to no option.
struct SiteCommandLine {
  QString siteFile;    // --site FILE
  bool check = false;  // --check-site
  QString checkFile;   // its FILE, when given
  bool help = false;
  QString name;   // --name NAME, where taken
  QString error;  // a usage error, naming the argument
};

// `arguments` without the program's name, as the system gave them (before
// any Qt application takes its own options out).
// --name is an unknown option unless `takesName`.
SiteCommandLine parseSiteCommandLine(const QStringList& arguments, bool takesName = false);

}  // namespace bw
