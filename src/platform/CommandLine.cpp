#include "platform/CommandLine.h"

namespace bw {

namespace {

constexpr qsizetype kUsageWidth = 80;

QString label(const CommandLine::Option& o) {
  const QString name = QStringLiteral("--") + o.name;
  if (o.takes == CommandLine::Takes::kOptionalValue)
    return name + QStringLiteral(" [") + o.valueName + u']';
  return o.takes == CommandLine::Takes::kValue ? name + u' ' + o.valueName : name;
}

// A help text's lines, each given line broken at spaces to fit after
// `indent` columns.
QStringList wrapped(const QString& text, qsizetype indent) {
  QStringList lines;
  for (const QString& given : text.split(u'\n')) {
    QString line;
    for (const QString& word : given.split(u' ')) {
      if (!line.isEmpty() && indent + line.size() + 1 + word.size() > kUsageWidth) {
        lines << line;
        line.clear();
      }
      line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    lines << line;
  }
  return lines;
}

// The option a word gives: --opt=VALUE gives --opt; a word of one dash is
// an option, or an alias, whole.
QString option(const QString& word) {
  return word.startsWith(QStringLiteral("--")) ? word.section(u'=', 0, 0) : word;
}

}  // namespace

CommandLine::Option& CommandLine::add(const QString& name, const QString& valueName,
                                      const QString& help) {
  options_ << Option{
      name, valueName.isEmpty() ? Takes::kNothing : Takes::kValue, valueName, help, {}, false};
  given_.resize(options_.size());
  return options_.last();
}

CommandLine::Option& CommandLine::add(const char* name, const char* valueName, const char* help) {
  return add(QString::fromUtf8(name), QString::fromUtf8(valueName), QString::fromUtf8(help));
}

bool CommandLine::parse(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return parse(arguments);
}

qsizetype CommandLine::find(const QString& word) const {
  for (qsizetype i = 0; i < options_.size(); ++i)
    if (word == QStringLiteral("--") + options_[i].name || options_[i].aliases.contains(word))
      return i;
  return -1;
}

bool CommandLine::fail(const QString& error) {
  if (error_.isEmpty()) error_ = error;
  return false;
}

bool CommandLine::parse(const QStringList& arguments) {
  for (QStringList& values : given_) values.clear();
  words_.clear();
  error_.clear();
  bool optionsEnded = false;
  for (int i = 0; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (optionsEnded || !a.startsWith(u'-') || a == u'-') {
      if (!takesWords_) return fail(QStringLiteral("unexpected argument %1").arg(a));
      words_ << a;
    } else if (a == u"--" && takesWords_) {
      optionsEnded = true;
    } else if (const qsizetype o = find(option(a)); o >= 0) {
      if (!take(o, a, arguments, i)) return false;
    } else if (a.startsWith(QStringLiteral("--"))) {
      return fail(QStringLiteral("unknown option %1").arg(option(a)));
    } else {
      // -site is most likely --site mistyped: say so.
      const QString word = a.section(u'=', 0, 0);
      const qsizetype like = find(u'-' + word);
      return fail(like >= 0 && word.mid(1) == options_[like].name
                      ? QStringLiteral("unknown option %1 (did you mean -%2?)").arg(a, word)
                      : QStringLiteral("unknown option %1").arg(a));
    }
  }
  return true;
}

bool CommandLine::take(qsizetype index, const QString& word, const QStringList& arguments, int& i) {
  const Option& o = options_[index];
  const QString name = QStringLiteral("--") + o.name;
  if (!o.repeatable && !given_[index].isEmpty())
    return fail(QStringLiteral("%1 is given twice").arg(name));
  const bool attached = option(word) != word;
  QString value = attached ? word.section(u'=', 1) : QString();
  const bool nextIsWord =
      i + 1 < arguments.size() && (!arguments[i + 1].startsWith(u'-') || arguments[i + 1] == u'-');
  if (o.takes == Takes::kNothing && attached)
    return fail(QStringLiteral("%1 takes no value").arg(name));
  if (o.takes != Takes::kNothing && !attached && nextIsWord) value = arguments[++i];
  const bool vowel = QStringLiteral("AEIOU").contains(o.valueName.left(1));
  const QString needs = QStringLiteral(" needs %1 %2").arg(vowel ? u"an" : u"a", o.valueName);
  if (o.takes == Takes::kValue && value.isEmpty()) return fail(name + needs);
  if (o.takes == Takes::kOptionalValue && attached && value.isEmpty())
    return fail(name + u'=' + needs);
  given_[index] << value;
  return true;
}

QString CommandLine::value(const QString& name) const {
  const QStringList all = values(name);
  return all.isEmpty() ? QString() : all.last();
}

QStringList CommandLine::values(const QString& name) const {
  const qsizetype o = find(QStringLiteral("--") + name);
  return o < 0 ? QStringList() : given_[o];
}

qint64 CommandLine::integer(const QString& name, qint64 lowest, qint64 highest, qint64 absent) {
  if (!isSet(name)) return absent;
  bool number = false;
  const qint64 n = value(name).toLongLong(&number);
  if (number && n >= lowest && n <= highest) return n;
  fail(QStringLiteral("--%1 %2: not a whole number from %3 to %4")
           .arg(name, value(name))
           .arg(lowest)
           .arg(highest));
  return absent;
}

QString CommandLine::choice(const QString& name, const QStringList& allowed,
                            const QString& absent) {
  if (!isSet(name) || allowed.contains(value(name))) return isSet(name) ? value(name) : absent;
  fail(QStringLiteral("--%1 %2: not one of %3")
           .arg(name, value(name), allowed.join(QStringLiteral(", "))));
  return absent;
}

QString CommandLine::optionLines() const {
  QStringList labels, helps;
  for (const Option& o : options_) {
    if (o.help.isEmpty() && !labels.isEmpty()) {
      labels.last() += QStringLiteral(", ") + label(o);
    } else {
      labels << label(o);
      helps << o.help;
    }
  }
  qsizetype column = 0;
  for (const QString& l : labels) column = std::max(column, l.size() + 4);
  QString text;
  for (qsizetype i = 0; i < labels.size(); ++i) {
    const QStringList lines = wrapped(helps[i], column);
    text += QStringLiteral("  ") + labels[i].leftJustified(column - 2) + lines.first() + u'\n';
    for (qsizetype l = 1; l < lines.size(); ++l) text += QString(column, u' ') + lines[l] + u'\n';
  }
  return text;
}

QString CommandLine::usage(const QString& synopsis, const QString& about,
                           const QString& after) const {
  QString text = synopsis + u'\n' + about + u'\n' + optionLines();
  if (!after.isEmpty()) text += u'\n' + after;
  return text;
}

}  // namespace bw
