#include "platform/CommandLine.h"

namespace bw {

namespace {

constexpr qsizetype kUsageWidth = 80;

QString dashed(const QString& name) {
  return QStringLiteral("--") + name;
}

QString label(const CommandLine::Option& o) {
  switch (o.takes) {
    case CommandLine::Takes::kNothing:
      return dashed(o.name);
    case CommandLine::Takes::kValue:
      return dashed(o.name) + u' ' + o.valueName;
    case CommandLine::Takes::kOptionalValue:
      return dashed(o.name) + QStringLiteral(" [") + o.valueName + u']';
  }
  return {};
}

QString needs(const QString& what, const QString& valueName) {
  const bool vowel = !valueName.isEmpty() && QStringLiteral("AEIOU").contains(valueName[0]);
  return QStringLiteral("%1 needs %2 %3").arg(what, vowel ? u"an" : u"a", valueName);
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

}  // namespace

CommandLine::Option CommandLine::flag(const QString& name, const QString& help) {
  return {name, Takes::kNothing, {}, help, {}, false};
}

CommandLine::Option CommandLine::valued(const QString& name, const QString& valueName,
                                        const QString& help) {
  return {name, Takes::kValue, valueName, help, {}, false};
}

CommandLine::Option& CommandLine::add(Option option) {
  options_ << std::move(option);
  return options_.last();
}

void CommandLine::takeWords() {
  takesWords_ = true;
}

bool CommandLine::parse(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return parse(arguments);
}

qsizetype CommandLine::find(const QString& word) const {
  for (qsizetype i = 0; i < options_.size(); ++i)
    if (word == dashed(options_[i].name) || options_[i].aliases.contains(word)) return i;
  return -1;
}

bool CommandLine::fail(const QString& error) {
  if (error_.isEmpty()) error_ = error;
  return false;
}

bool CommandLine::parse(const QStringList& arguments) {
  given_.clear();
  words_.clear();
  error_.clear();
  bool optionsEnded = false;
  for (int i = 0; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    const bool word = optionsEnded || !a.startsWith(u'-') || a == u'-';
    if (!word && a == u"--" && takesWords_) {
      optionsEnded = true;
      continue;
    }
    const qsizetype equals = a.startsWith(QStringLiteral("--")) ? a.indexOf(u'=') : -1;
    const QString option = equals < 0 ? a : a.left(equals);
    const qsizetype index = word ? -1 : find(option);
    if (index >= 0) {
      if (!take(index, option, arguments, i, equals >= 0, a.mid(equals + 1))) return false;
    } else if (word) {
      if (!takesWords_) return fail(QStringLiteral("unexpected argument %1").arg(a));
      words_ << a;
    } else if (a.startsWith(QStringLiteral("--"))) {
      return fail(QStringLiteral("unknown option %1").arg(option));
    } else {
      // -site is most likely --site mistyped: say so.
      const QString meant = dashed(a.mid(1).section(u'=', 0, 0));
      const qsizetype like = find(meant);
      return fail(like >= 0 && meant == dashed(options_[like].name)
                      ? QStringLiteral("unknown option %1 (did you mean %2?)").arg(a, meant)
                      : QStringLiteral("unknown option %1").arg(a));
    }
  }
  return true;
}

bool CommandLine::take(qsizetype index, const QString& word, const QStringList& arguments, int& i,
                       bool attached, const QString& value) {
  const Option& o = options_[index];
  const QString name = dashed(o.name);
  if (!o.repeatable && isSet(o.name)) return fail(QStringLiteral("%1 is given twice").arg(name));
  const bool nextIsWord =
      i + 1 < arguments.size() && (!arguments[i + 1].startsWith(u'-') || arguments[i + 1] == u'-');
  Given given{index, {}};
  switch (o.takes) {
    case Takes::kNothing:
      if (attached) return fail(QStringLiteral("%1 takes no value").arg(name));
      break;
    case Takes::kValue:
      if (attached)
        given.value = value;
      else if (nextIsWord)
        given.value = arguments[++i];
      if (given.value.isEmpty()) return fail(needs(name, o.valueName));
      break;
    case Takes::kOptionalValue:
      if (attached && value.isEmpty()) return fail(needs(word + u'=', o.valueName));
      if (attached)
        given.value = value;
      else if (nextIsWord)
        given.value = arguments[++i];
      break;
  }
  given_ << given;
  return true;
}

bool CommandLine::isSet(const QString& name) const {
  for (const Given& g : given_)
    if (options_[g.option].name == name) return true;
  return false;
}

QString CommandLine::value(const QString& name) const {
  const QStringList all = values(name);
  return all.isEmpty() ? QString() : all.last();
}

QStringList CommandLine::values(const QString& name) const {
  QStringList all;
  for (const Given& g : given_)
    if (options_[g.option].name == name) all << g.value;
  return all;
}

qint64 CommandLine::integer(const QString& name, qint64 lowest, qint64 highest, qint64 absent) {
  if (!isSet(name)) return absent;
  bool number = false;
  const qint64 n = value(name).toLongLong(&number);
  if (number && n >= lowest && n <= highest) return n;
  fail(QStringLiteral("%1 %2: not a whole number from %3 to %4")
           .arg(dashed(name), value(name))
           .arg(lowest)
           .arg(highest));
  return absent;
}

QString CommandLine::choice(const QString& name, const QStringList& allowed,
                            const QString& absent) {
  if (!isSet(name)) return absent;
  if (allowed.contains(value(name))) return value(name);
  fail(QStringLiteral("%1 %2: not one of %3")
           .arg(dashed(name), value(name), allowed.join(QStringLiteral(", "))));
  return absent;
}

QString CommandLine::optionLines() const {
  QStringList labels;
  QList<const Option*> described;
  for (const Option& o : options_) {
    if (o.help.isEmpty() && !labels.isEmpty()) {
      labels.last() += QStringLiteral(", ") + label(o);
      continue;
    }
    labels << label(o);
    described << &o;
  }
  qsizetype column = 0;
  for (const QString& l : labels) column = std::max(column, l.size() + 4);
  QString text;
  for (qsizetype i = 0; i < labels.size(); ++i) {
    const QStringList lines = wrapped(described[i]->help, column);
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
