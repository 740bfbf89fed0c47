#include <gtest/gtest.h>

#include <vector>

#include "platform/CommandLine.h"

namespace bw {
namespace {

// A line with one option of each kind; `words` lets it take words of its own.
CommandLine declared(bool words) {
  CommandLine line;
  line.add("site", "FILE", "the site file");
  line.add("check-site", "FILE", "check it\nand end").takes = CommandLine::Takes::kOptionalValue;
  line.add("out", "OUT", "where to write");
  line.add("fault", "N", "").repeatable = true;
  line.add("help", "", "this text").aliases = QStringList{QStringLiteral("-h")};
  if (words) line.takeWords();
  return line;
}

CommandLine parsed(const std::vector<const char*>& words, bool takesWords = false) {
  CommandLine line = declared(takesWords);
  QStringList arguments;
  for (const char* word : words) arguments << QString::fromUtf8(word);
  line.parse(arguments);
  return line;
}

TEST(CommandLine, TakesValuesInBothFormsOptionalValuesRepeatsAndWords) {
  EXPECT_TRUE(parsed({}).ok());
  EXPECT_EQ(parsed({"--site", "tank.toml"}).value(QStringLiteral("site")), u"tank.toml");
  EXPECT_EQ(parsed({"--site=-odd.toml"}).value(QStringLiteral("site")), u"-odd.toml");
  EXPECT_EQ(parsed({"--out", "-"}).value(QStringLiteral("out")), u"-");  // standard output
  EXPECT_TRUE(parsed({"-h"}).isSet(QStringLiteral("help")));

  const CommandLine bare = parsed({"--check-site", "--site", "a.toml"});
  EXPECT_TRUE(bare.ok()) << bare.error().toStdString();
  EXPECT_TRUE(bare.isSet(QStringLiteral("check-site")));
  EXPECT_TRUE(bare.value(QStringLiteral("check-site")).isEmpty());
  EXPECT_EQ(parsed({"--check-site", "b.toml"}).value(QStringLiteral("check-site")), u"b.toml");
  EXPECT_EQ(parsed({"--check-site=b.toml"}).value(QStringLiteral("check-site")), u"b.toml");

  EXPECT_EQ(parsed({"--fault", "1", "--fault=2"}).values(QStringLiteral("fault")),
            QStringList({QStringLiteral("1"), QStringLiteral("2")}));

  const CommandLine words = parsed({"a.log", "-", "--out", "x", "--", "--site", "-h"}, true);
  EXPECT_TRUE(words.ok()) << words.error().toStdString();
  EXPECT_EQ(words.words(), QStringList({QStringLiteral("a.log"), QStringLiteral("-"),
                                        QStringLiteral("--site"), QStringLiteral("-h")}));
  EXPECT_FALSE(words.isSet(QStringLiteral("site")));
}

TEST(CommandLine, RefusesWhatItDoesNotTakeNamingTheArgument) {
  const std::pair<std::vector<const char*>, const char*> cases[] = {
      {{"--colour"}, "unknown option --colour"},
      {{"--colour=red"}, "unknown option --colour"},
      {{"-site", "other.toml"}, "unknown option -site (did you mean --site?)"},
      {{"-check-site=a"}, "unknown option -check-site=a (did you mean --check-site?)"},
      // Qt's own options are no exception: -platform would otherwise be
      // taken, and the word after it with it.
      {{"-platform", "offscreen", "--site", "a.toml"}, "unknown option -platform"},
      {{"-x"}, "unknown option -x"},
      {{"--site"}, "--site needs a FILE"},
      {{"--site", "--check-site"}, "--site needs a FILE"},
      {{"--site="}, "--site needs a FILE"},
      {{"--out"}, "--out needs an OUT"},
      {{"--check-site="}, "--check-site= needs a FILE"},
      {{"--site", "a.toml", "--site", "b.toml"}, "--site is given twice"},
      {{"--check-site", "--check-site"}, "--check-site is given twice"},
      {{"--check-site", "a.toml", "b.toml"}, "unexpected argument b.toml"},
      {{"--", "a.log"}, "unknown option --"},
      {{"-"}, "unexpected argument -"},
      {{"--help=yes"}, "--help takes no value"},
      // The first error is the one told.
      {{"--colour", "--site"}, "unknown option --colour"},
  };
  for (const auto& [words, error] : cases) {
    SCOPED_TRACE(words.front());
    const CommandLine line = parsed(words);
    EXPECT_FALSE(line.ok());
    EXPECT_EQ(line.error().toStdString(), error);
  }
}

TEST(CommandLine, ReadsIntegersWithinBoundsOrNamesTheOption) {
  CommandLine line = parsed({"--out", "70000", "--site", "12"});
  EXPECT_EQ(line.integer(QStringLiteral("site"), 0, 12, 5), 12);
  EXPECT_EQ(line.integer(QStringLiteral("check-site"), 0, 10, 5), 5);  // not given
  EXPECT_TRUE(line.ok());
  EXPECT_EQ(line.integer(QStringLiteral("out"), 0, 65535, 8080), 8080);
  EXPECT_EQ(line.error().toStdString(), "--out 70000: not a whole number from 0 to 65535");
  EXPECT_EQ(line.integer(QStringLiteral("site"), 0, 11, 5), 5);
  EXPECT_EQ(line.error().toStdString(), "--out 70000: not a whole number from 0 to 65535");
  for (const char* given : {"--fault=12a", "--fault=1.5", "--fault=-3", "--fault=0x10"}) {
    CommandLine bad = parsed({given});
    EXPECT_EQ(bad.integer(QStringLiteral("fault"), 0, 100, 7), 7);
    EXPECT_FALSE(bad.ok()) << given;
  }
}

// The option lines line up after the longest; a line break continues under
// the help, a long line is broken at a space, and an option without help
// shares the line of the one before.
TEST(CommandLine, ListsTheOptionsAligned) {
  CommandLine line = declared(false);
  line.add("long", "", "a help line of many words that does not fit in eighty columns at all");
  EXPECT_EQ(line.optionLines().toStdString(),
            "  --site FILE           the site file\n"
            "  --check-site [FILE]   check it\n"
            "                        and end\n"
            "  --out OUT, --fault N  where to write\n"
            "  --help                this text\n"
            "  --long                a help line of many words that does not fit in eighty\n"
            "                        columns at all\n");
  EXPECT_TRUE(line.usage(QStringLiteral("Usage: x\n"), QStringLiteral("About.\n"),
                         QStringLiteral("After.\n"))
                  .startsWith(QStringLiteral("Usage: x\n\nAbout.\n\n  --site FILE")));
}

}  // namespace
}  // namespace bw
