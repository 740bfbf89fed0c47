#include <QApplication>
#include <cstdio>

#include "BrinewatchConfig.h"
#include "app/Module1.h"
#include "platform/pageview/PageViewSetup.h"
#include "site/LoadSite.h"
#include "site/SiteCommandLine.h"
#include "site/SiteTable.h"

namespace {

constexpr int kUsageError = 2;

void print(std::FILE* stream, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
}

// The options, declared once for reading and for the usage.
bw::CommandLine commandLine() {
  bw::CommandLine line;
  bw::addSiteOptions(line, QStringLiteral("poll the adapter and the sensors of this site file"),
                     QStringLiteral("print the sensors the program would poll, from FILE\n"
                                    "or the site file it would read, and end (status 2\n"
                                    "when the file has errors); needs no display"));
  return line;
}

QString usage(const bw::CommandLine& line) {
  return line.usage(
      QStringLiteral("Usage: brinewatch [--site FILE]\n"
                     "       brinewatch --check-site [FILE]\n"
                     "       brinewatch --help\n"),
      QStringLiteral("Reads DS18B20 temperature sensors through a network 1-Wire adapter, shows\n"
                     "each reading and, while logging is on, logs one line per polling cycle.\n"),
      QStringLiteral("Any other argument is refused with status 2, Qt's own options of one dash\n"
                     "too (QT_QPA_PLATFORM and the like are read from the environment).\n"
                     "\n"
                     "Without --site the site file is $XDG_CONFIG_HOME/brinewatch/site.toml\n"
                     "(~/.config/brinewatch/site.toml), then /etc/brinewatch/site.toml; without\n"
                     "one, the sensors built in, on the adapter %1.\n")
          .arg(QString::fromLatin1(bw::config::kAdapterHost)));
}

// The --check-site report on standard output, or the file's errors on
// standard error.
int checkSite(const bw::SiteCommandLine& line) {
  const bw::LoadedSite reading = bw::loadSite(
      bw::SiteLookup::fromEnvironment(line.checkFile.isEmpty() ? line.siteFile : line.checkFile));
  if (reading.file.isEmpty()) {
    print(stdout, bw::siteTable(bw::builtInSite(QString::fromLatin1(bw::config::kAdapterHost))));
    return 0;
  }
  if (!reading.site) {
    print(stderr, reading.errors.join(u'\n') + u'\n');
    return kUsageError;
  }
  print(stdout, bw::siteTable(*reading.site));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Read before the application exists: --help and --check-site need no
  // display, and Qt takes out no option of its own that would hide a usage
  // error.
  bw::CommandLine options = commandLine();
  options.parse(argc, argv);
  const bw::SiteCommandLine line = bw::readSiteOptions(options);
  if (!line.error.isEmpty()) {
    print(stderr, QStringLiteral("brinewatch: %1\n\n").arg(line.error) + usage(options));
    return kUsageError;
  }
  if (line.help) {
    print(stdout, usage(options));
    return 0;
  }
  if (line.check) return checkSite(line);

  bw::preparePageViewBeforeApplication();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(bw::config::kApplicationTitle));
  QApplication::setOrganizationName(QString::fromLatin1(bw::config::kApplicationTitle));
  // Lets the desktop put the menu entry's icon on the window and its task.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.brinewatch.Brinewatch"));
  QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                          .arg(bw::config::kVersionMajor)
                                          .arg(bw::config::kVersionMinor)
                                          .arg(bw::config::kVersionRevision));
  return bw::Module1(line.siteFile);
}
