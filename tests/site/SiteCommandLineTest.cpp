#include <gtest/gtest.h>

#include <vector>

#include "site/SiteCommandLine.h"

namespace bw {
namespace {

SiteCommandLine parse(const std::vector<const char*>& words) {
  QStringList arguments;
  for (const char* word : words) arguments << QString::fromUtf8(word);
  return parseSiteCommandLine(arguments);
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

}  // namespace
}  // namespace bw
