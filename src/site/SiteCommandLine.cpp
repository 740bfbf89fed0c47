#include "site/SiteCommandLine.h"

namespace bw {

SiteCommandLine parseSiteCommandLine(const QStringList& arguments) {
  SiteCommandLine line;
  for (int i = 0; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    const bool hasValue = i + 1 < arguments.size() && !arguments[i + 1].startsWith(u'-');
    if (a == u"--site") {
      if (!hasValue) {
        line.error = QStringLiteral("--site needs a FILE");
        return line;
      }
      line.siteFile = arguments[++i];
    } else if (a == u"--check-site") {
      line.check = true;
      if (hasValue) line.checkFile = arguments[++i];
    } else if (a == u"--help" || a == u"-h") {
      line.help = true;
    } else if (a.startsWith(QStringLiteral("--"))) {
      line.error = QStringLiteral("unknown option %1").arg(a);
      return line;
    } else if (!a.startsWith(u'-')) {
      line.error = QStringLiteral("unexpected argument %1").arg(a);
      return line;
    } else if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(u'-')) {
      ++i;  // a Qt option of one dash and its value, such as -platform offscreen
    }
  }
  return line;
}

}  // namespace bw
