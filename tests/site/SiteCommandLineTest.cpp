#include <gtest/gtest.h>

#include <vector>

#include "site/SiteCommandLine.h"

namespace bw {
namespace {

SiteCommandLine parse(const std::vector<const char*>& words, bool takesName = false) {
  QStringList arguments;
  for (const char* word : words) arguments << QString::fromUtf8(word);
  return parseSiteCommandLine(arguments, takesName);
}

TEST(SiteCommandLine, TakesTheOptionsItKnowsWithTheirFiles) {
  EXPECT_TRUE(parse({}).error.isEmpty());
  const SiteCommandLine site = parse({"--site", "tank.toml"});
  EXPECT_EQ(site.siteFile, QStringLiteral("tank.toml"));
  EXPECT_FALSE(site.check);
  EXPECT_EQ(parse({"--site=-odd.toml"}).siteFile, QStringLiteral("-odd.toml"));
  EXPECT_TRUE(parse({"--help"}).help);
  EXPECT_TRUE(parse({"-h"}).help);

  const SiteCommandLine bare = parse({"--check-site"});
  EXPECT_TRUE(bare.error.isEmpty());
  EXPECT_TRUE(bare.check);
  EXPECT_TRUE(bare.checkFile.isEmpty());
  const SiteCommandLine withFile = parse({"--check-site", "tank.toml"});
  EXPECT_TRUE(withFile.check);
  EXPECT_EQ(withFile.checkFile, QStringLiteral("tank.toml"));
  const SiteCommandLine both = parse({"--site", "a.toml", "--check-site"});
  EXPECT_TRUE(both.error.isEmpty());
  EXPECT_EQ(both.siteFile, QStringLiteral("a.toml"));
  EXPECT_TRUE(both.check);
}

TEST(SiteCommandLine, RefusesWhatItDoesNotKnowNamingTheWord) {
  const std::pair<std::vector<const char*>, const char*> cases[] = {
      {{"--colour"}, "unknown option --colour"},
      {{"--colour=red"}, "unknown option --colour"},
      {{"-site", "other.toml"}, "unknown option -site (did you mean --site?)"},
      {{"-check-site"}, "unknown option -check-site (did you mean --check-site?)"},
      // Qt's own options are no exception: -platform would otherwise be
      // taken, and the word after it with it.
      {{"-platform", "offscreen", "--site", "a.toml"}, "unknown option -platform"},
      {{"-x"}, "unknown option -x"},
      {{"--site"}, "--site needs a FILE"},
      {{"--site", "--check-site"}, "--site needs a FILE"},
      {{"--site="}, "--site needs a FILE"},
      {{"--site", "a.toml", "--site", "b.toml"}, "--site is given twice"},
      {{"--check-site", "a.toml", "b.toml"}, "unexpected argument b.toml"},
      {{"--check-site", "--check-site"}, "--check-site is given twice"},
      {{"--site", "a.toml", "extra"}, "unexpected argument extra"},
      {{"tank.toml"}, "unexpected argument tank.toml"},
      {{"--help=yes"}, "--help takes no value"},
  };
  for (const auto& [words, error] : cases) {
    SCOPED_TRACE(words.front());
    EXPECT_EQ(parse(words).error.toStdString(), error);
  }
}

// The logger's --name, as a unit instance gives it; the desktop program
// takes no name.
TEST(SiteCommandLine, TakesANameWhereAskedAsAUnitInstanceGivesIt) {
  const SiteCommandLine named = parse({"--site", "tank1.toml", "--name", "tank1"}, true);
  EXPECT_TRUE(named.error.isEmpty()) << named.error.toStdString();
  EXPECT_EQ(named.name, QStringLiteral("tank1"));
  EXPECT_EQ(parse({"--name=north\\x2dhall:2_b.c"}, true).name,
            QStringLiteral("north\\x2dhall:2_b.c"));
  EXPECT_EQ(parse({"--name", "tank1"}).error.toStdString(), "unknown option --name");
  EXPECT_EQ(parse({"-name", "tank1"}).error.toStdString(), "unknown option -name");
  const std::pair<std::vector<const char*>, const char*> cases[] = {
      {{"--name"}, "--name needs a NAME"},
      {{"--name="}, "--name needs a NAME"},
      {{"--name", "a", "--name", "b"}, "--name is given twice"},
      {{"-name", "a"}, "unknown option -name (did you mean --name?)"},
      {{"--name=tank 1"}, "--name tank 1: a NAME is 1 to 64 letters, digits and : - _ . \\"},
      {{"--name=t\"ank"}, "--name t\"ank: a NAME is 1 to 64 letters, digits and : - _ . \\"},
  };
  for (const auto& [words, error] : cases) {
    SCOPED_TRACE(words.back());
    EXPECT_EQ(parse(words, true).error.toStdString(), error);
  }
  const std::string longest(64, 'a');
  EXPECT_TRUE(parse({"--name", longest.c_str()}, true).error.isEmpty());
  EXPECT_FALSE(parse({"--name", (longest + "a").c_str()}, true).error.isEmpty());
}

}  // namespace
}  // namespace bw
