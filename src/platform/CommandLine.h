#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace bw {

// The one strict reader of every program's words. Options are declared
// once, with what they take and their help line; the usage's option lines
// come from the declarations. Reading takes --opt VALUE and --opt=VALUE; a
// VALUE starting with a dash only in the = form, except `-` alone, which is
// a word. `--` ends the options of a program that takes words of its own.
// Anything else is an error naming the argument, and reading stops there:
// an unknown option, a word of one dash that is no declared alias (it is
// not left for Qt: -platform would take the word after it unseen), a
// missing value, an option given twice that is not repeatable, a word the
// program does not take.
class CommandLine {
 public:
  enum class Takes { kNothing, kValue, kOptionalValue };
  struct Option {
    QString name;  // without its dashes: "site" is --site
    Takes takes = Takes::kNothing;
    QString valueName;  // FILE, as the usage and the errors show it
    // The usage line; a line break continues under it. An option without
    // help is listed on the line of the option before it.
    QString help;
    QStringList aliases;  // whole words that mean it too: "-h"
    bool repeatable = false;
  };

  // Declares --name, taking a value when `valueName` is not empty. Gives
  // the option as kept, for what this leaves out: an optional value,
  // aliases, repeats.
  Option& add(const QString& name, const QString& valueName, const QString& help);
  Option& add(const char* name, const char* valueName, const char* help);  // UTF-8
  // Words that belong to no option are the program's (LOG...); without
  // this call each is an error.
  void takeWords() { takesWords_ = true; }

  // `arguments` without the program's name. False on a usage error.
  bool parse(const QStringList& arguments);
  bool parse(int argc, char** argv);  // argv as the system gave it

  bool ok() const { return error_.isEmpty(); }
  QString error() const { return error_; }  // names the argument
  bool isSet(const QString& name) const { return !values(name).isEmpty(); }
  QString value(const QString& name) const;  // the last one given, or empty
  QStringList values(const QString& name) const;
  QStringList words() const { return words_; }

  // An integer option within [lowest, highest], `absent` when it is not
  // given. A value that is no such number sets the error, naming the
  // option, unless one is already set, and gives `absent`.
  qint64 integer(const QString& name, qint64 lowest, qint64 highest, qint64 absent);
  // As integer(), for a value that is one of `allowed`.
  QString choice(const QString& name, const QStringList& allowed, const QString& absent);

  // The option lines, aligned: "  --site FILE  help".
  QString optionLines() const;
  // The synopsis, the prose before the option lines and after them, each
  // ending with a line break, joined by empty lines.
  QString usage(const QString& synopsis, const QString& about, const QString& after = {}) const;

 private:
  qsizetype find(const QString& word) const;  // -1: no option
  bool fail(const QString& error);
  bool take(qsizetype option, const QString& word, const QStringList& arguments, int& i);

  QList<Option> options_;
  QList<QStringList> given_;  // each option's values, one (maybe empty) each time it is given
  bool takesWords_ = false;
  QStringList words_;
  QString error_;
};

}  // namespace bw
