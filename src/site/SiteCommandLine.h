#pragma once

#include <QString>
#include <functional>

#include "platform/CommandLine.h"

namespace bw {

// The options the programs that read a site share: --site FILE, --check-site
// [FILE] and --help (or -h). The unattended logger takes --name NAME too,
// the name its metrics give the site (a unit instance's name: up to 64
// letters, digits and : - _ . \, which is what systemd passes as %i).
struct SiteCommandLine {
  QString siteFile;    // --site FILE
  bool check = false;  // --check-site
  QString checkFile;   // its FILE, when given
  bool help = false;
  QString name;   // --name NAME, where taken
  QString error;  // the line's usage error, or a NAME that is not one
};

// Adds --site, --name, then the program's own options, then --check-site
// and --help, in the order the usage lists them. Each program words the
// help lines for itself; an empty one leaves its option out.
void addSiteOptions(CommandLine& line, const QString& site, const QString& check,
                    const QString& name = {},
                    const std::function<void(CommandLine&)>& addOwn = nullptr);

// What a parsed line gave the shared options, and its error.
SiteCommandLine readSiteOptions(const CommandLine& line);

}  // namespace bw
