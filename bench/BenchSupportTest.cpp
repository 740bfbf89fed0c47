// The figures of every benchmark rest on these readers of /proc: a field
// counted wrong or a process left out of a tree would skew them silently.

#include "BenchSupport.h"

#include <gtest/gtest.h>
#include <QProcess>

#include <algorithm>

#include <unistd.h>

namespace bw::bench {
namespace {

// A stat line as the kernel writes it, with the given name, ppid, utime,
// stime and rss; the other fields are zeros.
QByteArray statLine(long pid, const QByteArray& name, long ppid, long utime, long stime, long rss) {
  QByteArray line = QByteArray::number(static_cast<qlonglong>(pid)) + " (" + name + ") S " +
                    QByteArray::number(static_cast<qlonglong>(ppid));
  // Fields 4..13 after the name, then utime, stime, then up to rss.
  for (int i = 0; i < 9; ++i) line += " 0";
  line += ' ' + QByteArray::number(static_cast<qlonglong>(utime)) + ' ' +
          QByteArray::number(static_cast<qlonglong>(stime));
  for (int i = 0; i < 8; ++i) line += " 0";
  line += ' ' + QByteArray::number(static_cast<qlonglong>(rss)) + " 18446744073709551615 1 1\n";
  return line;
}

TEST(ProcStat, ReadsFieldsAfterANameWithBlanksAndParentheses) {
  const auto stat = parseProcStat(statLine(4242, "Web (Content) 1", 17, 250, 50, 3000), 100.0);
  ASSERT_TRUE(stat);
  EXPECT_EQ(stat->pid, 4242);
  EXPECT_EQ(stat->ppid, 17);
  EXPECT_EQ(stat->name, "Web (Content) 1");
  EXPECT_DOUBLE_EQ(stat->cpuSeconds, 3.0);
  EXPECT_EQ(stat->rssPages, 3000);
}

TEST(ProcStat, RefusesLinesItCannotRead) {
  const QByteArray good = statLine(5, "x", 1, 1, 1, 1);
  EXPECT_FALSE(parseProcStat({}, 100.0));
  EXPECT_FALSE(parseProcStat(good.left(good.indexOf(')') + 12), 100.0));  // cut short
  EXPECT_FALSE(parseProcStat(QByteArray(good).replace("(x)", "x"), 100.0));
  EXPECT_FALSE(parseProcStat(QByteArray(good).replace("5 (", "p ("), 100.0));
  EXPECT_FALSE(parseProcStat(good, 0.0));
}

TEST(ProcessTree, HoldsTheRootAndEveryDescendantOnly) {
  const std::vector<ProcStat> all = {
      {1, 0, "init", 100.0, 0},     {10, 1, "program", 1.0, 0}, {11, 10, "helper", 2.0, 0},
      {12, 11, "renderer", 4.0, 0}, {13, 1, "other", 8.0, 0},   {14, 14, "odd", 16.0, 0},
  };
  std::vector<ProcStat> tree = processTree(10, all);
  std::vector<long> pids;
  for (const ProcStat& p : tree) pids.push_back(p.pid);
  std::sort(pids.begin(), pids.end());
  EXPECT_EQ(pids, (std::vector<long>{10, 11, 12}));
  EXPECT_DOUBLE_EQ(cpuSeconds(tree), 7.0);

  EXPECT_TRUE(processTree(99, all).empty());
  // A process listed as its own parent is taken once, not looped over.
  EXPECT_EQ(processTree(14, all).size(), 1u);
}

TEST(ProcessTree, FindsALiveChildOfThisProcess) {
  QProcess child;
  child.start(QStringLiteral("sleep"), {QStringLiteral("30")});
  ASSERT_TRUE(child.waitForStarted());
  const long pid = static_cast<long>(child.processId());
  const std::vector<ProcStat> tree = processTree(static_cast<long>(getpid()), readAllProcesses());
  const auto found =
      std::find_if(tree.begin(), tree.end(), [pid](const ProcStat& p) { return p.pid == pid; });
  child.kill();
  child.waitForFinished();
  ASSERT_NE(found, tree.end());
  EXPECT_EQ(found->name, "sleep");
}

TEST(StatusField, ReadsTheNamedFieldInKiB) {
  const QByteArray status =
      "Name:\tbench\nVmRSSMax:\t9 kB\nVmRSS:\t  120388 kB\nRssAnon:\t 9000 kB\nThreads:\t12\n";
  EXPECT_EQ(parseStatusKiB(status, "VmRSS"), 120388);
  EXPECT_EQ(parseStatusKiB(status, "RssAnon"), 9000);
  EXPECT_FALSE(parseStatusKiB(status, "VmSwap"));
  EXPECT_FALSE(parseStatusKiB(status, "Threads"));  // not a size
  EXPECT_GT(selfRssKiB(), 0);
}

TEST(Stamps, AreMillisecondsAfterTheStartByName) {
  const QByteArray output =
      "stamp main 5000000\n"
      "Qt warning: something\n"
      "stamp page shown 1255000000\n"
      "stamp broken 12x\n"
      "stamp 77\n"
      "done\n";
  const auto at = parseStamps(output, 1'000'000);
  EXPECT_EQ(at.size(), 2u);
  EXPECT_DOUBLE_EQ(at.at("main"), 4.0);
  EXPECT_DOUBLE_EQ(at.at("page shown"), 1254.0);
}

TEST(RequestLines, CountsGetLinesOnlyWhereverTheyStand) {
  EXPECT_EQ(countRequestLines("brinewatch-adapter-sim: listening on 127.0.0.1:8080\n"), 0);
  EXPECT_EQ(countRequestLines("listening\nGET /a HTTP/1.1\nGET /b HTTP/1.1\n"), 2);
  EXPECT_EQ(countRequestLines("GET /a HTTP/1.1\nlistening\nPOST /x HTTP/1.1\n"), 1);
  EXPECT_EQ(countRequestLines("GET /a HTTP/1.1\nGET /b HTTP/1.1"), 2);  // last line cut
}

TEST(Median, OfOddEvenAndNoValues) {
  EXPECT_DOUBLE_EQ(median({3, 1, 2}), 2.0);
  EXPECT_DOUBLE_EQ(median({4, 1, 3, 2}), 2.5);
  EXPECT_DOUBLE_EQ(median({}), 0.0);
}

}  // namespace
}  // namespace bw::bench
