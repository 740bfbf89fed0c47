#pragma once

#include <QString>

namespace bw {

// Where the programs look for the site file, first found wins: the file
// named on the command line; $XDG_CONFIG_HOME/brinewatch/site.toml (or
// ~/.config/brinewatch/site.toml when XDG_CONFIG_HOME is unset or empty);
// /etc/brinewatch/site.toml. None found: the sensors built in.
struct SiteLookup {
  QString commandLine;  // --site FILE, empty when not given
  QString xdgConfigHome;
  QString home;
  QString systemFolder = QStringLiteral("/etc/brinewatch");

  // The process's environment.
  static SiteLookup fromEnvironment(const QString& commandLine);
  // The file to read, or empty for the sensors built in. A file named on the
  // command line is returned even when it does not exist, and a name in a
  // folder whatever it is (a link to nothing too), so reading it fails.
  QString find() const;
};

}  // namespace bw
