#include <gtest/gtest.h>

#include <vector>

#include "site/SiteCommandLine.h"

namespace bw {
namespace {

// The shared options as each program declares them: the desktop program's
// (with --check-site), the logger's (with --name too) or the trend viewer's
// (--site and --help only).
enum class Program { kDesktop, kLogger, kViewer };

SiteCommandLine parse(const std::vector<const char*>& words, Program program = Program::kDesktop) {
  CommandLine line;
  addSiteOptions(line, QStringLiteral("the site"),
                 program == Program::kViewer ? QString() : QStringLiteral("check it"),
                 program == Program::kLogger ? QStringLiteral("its name") : QString());
  QStringList arguments;
  for (const char* word : words) arguments << QString::fromUtf8(word);
  line.parse(arguments);
  return readSiteOptions(line);
}

TEST(SiteCommandLine, GivesTheSharedOptionsEachProgramTakes) {
  const SiteCommandLine both = parse({"--site", "a.toml", "--check-site", "b.toml"});
  EXPECT_TRUE(both.error.isEmpty()) << both.error.toStdString();
  EXPECT_EQ(both.siteFile, QStringLiteral("a.toml"));
  EXPECT_TRUE(both.check);
  EXPECT_EQ(both.checkFile, QStringLiteral("b.toml"));
  EXPECT_TRUE(parse({"-h"}, Program::kViewer).help);
  EXPECT_EQ(parse({"--check-site"}, Program::kViewer).error.toStdString(),
            "unknown option --check-site");
  EXPECT_EQ(parse({"--name", "tank1"}).error.toStdString(), "unknown option --name");
}

// The logger's --name, as a unit instance gives it.
TEST(SiteCommandLine, TakesANameAsAUnitInstanceGivesIt) {
  const SiteCommandLine named =
      parse({"--site", "tank1.toml", "--name", "tank1"}, Program::kLogger);
  EXPECT_TRUE(named.error.isEmpty()) << named.error.toStdString();
  EXPECT_EQ(named.name, QStringLiteral("tank1"));
  EXPECT_EQ(parse({"--name=north\\x2dhall:2_b.c"}, Program::kLogger).name,
            QStringLiteral("north\\x2dhall:2_b.c"));
  const std::pair<std::vector<const char*>, const char*> cases[] = {
      {{"--name="}, "--name needs a NAME"},
      {{"-name", "a"}, "unknown option -name (did you mean --name?)"},
      {{"--name=tank 1"}, "--name tank 1: a NAME is 1 to 64 letters, digits and : - _ . \\"},
      {{"--name=t\"ank"}, "--name t\"ank: a NAME is 1 to 64 letters, digits and : - _ . \\"},
  };
  for (const auto& [words, error] : cases) {
    SCOPED_TRACE(words.back());
    EXPECT_EQ(parse(words, Program::kLogger).error.toStdString(), error);
  }
  const std::string longest(64, 'a');
  EXPECT_TRUE(parse({"--name", longest.c_str()}, Program::kLogger).error.isEmpty());
  EXPECT_FALSE(parse({"--name", (longest + "a").c_str()}, Program::kLogger).error.isEmpty());
}

}  // namespace
}  // namespace bw
