#include <gtest/gtest.h>

#include <QDir>

#include "Compressed.h"
#include "LogLines.h"
#include "site/TextColumns.h"
#include "trend/ColumnDecimator.h"
#include "trend/CsvExport.h"
#include "trend/LineSplitter.h"
#include "trend/LogReading.h"
#include "trend/RangeStatistics.h"
#include "trend/SeriesReading.h"
#include "trend/TrendOptions.h"

namespace bw {
namespace {

using test::at;
using test::logLine;

class LogReadingTest : public ::testing::Test {
 protected:
  ReadReport read(const QStringList& files, bool holdLast = false) {
    SeriesReadOptions options;
    options.holdLast = holdLast;
    return readSeries(files, series, options);
  }
  test::LogFolder folder;
  TrendSeries series;
};

TEST_F(LogReadingTest, MixedWidthsAnOlderRunAfterAGapAndACutLastLine_ReadAsWritten) {
  QByteArray log;
  log +=
      logLine(at(8, 10), {4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f});
  log += logLine(at(8, 10, 0, 9), {4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f, 4.5f,
                                   4.5f, 1, 2, 3, 16});
  // A crash cut the next line; the logger ended it before the next record.
  const QByteArray cut = logLine(at(8, 10, 0, 18), {4.5f, 4.5f, 4.5f});
  log += cut.left(30) + "\r\n";
  log += logLine(at(8, 9, 30), {3.0f});  // the clock set back half an hour
  log += logLine(at(28, 9), {2.0f});     // then weeks later
  log += cut.left(40);                   // and cut again, at the end
  const ReadReport report = read({folder.write(QStringLiteral("a.log"), log)});

  EXPECT_EQ(report.lines, 4);
  EXPECT_EQ(report.bad.count(), 2);
  EXPECT_TRUE(report.bad.report().at(0).endsWith(QStringLiteral(":3: not a log line")));
  EXPECT_TRUE(report.bad.report().at(1).contains(QStringLiteral(":6: last line has no line end")));
  ASSERT_EQ(series.sensorCount(), 16);
  EXPECT_TRUE(std::isnan(series.values(15)[0]));
  EXPECT_EQ(series.values(15)[1], 16.0f);
  EXPECT_EQ(series.values(0)[3], 2.0f);
  ASSERT_EQ(series.pieces().size(), 3u);  // the set-back and the gap end pieces
  EXPECT_EQ(series.setBacks(), std::vector<std::size_t>{2});
  EXPECT_EQ(report.ends.at(0).offset, log.size() - 40);
}

TEST_F(LogReadingTest, FilesThatAreNotLogs_GetAMessageAndNoLines) {
  QByteArray binary(300000, '\0');
  for (int i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>((i * 7919) % 251);
  const QString noLineEnd = folder.write(QStringLiteral("long.log"), QByteArray(20 << 20, 'x'));
  const ReadReport report = read({noLineEnd, folder.write(QStringLiteral("bin.dat"), binary),
                                  folder.write(QStringLiteral("empty.log"), {}), QDir::tempPath(),
                                  folder.path(QStringLiteral("gone.log"))});
  EXPECT_EQ(report.lines, 0);
  EXPECT_GT(report.bad.count(), 0);
  ASSERT_EQ(report.errors.size(), 2);
  EXPECT_TRUE(report.errors[0].contains(QStringLiteral("is a folder")));
  EXPECT_TRUE(report.errors[1].contains(QStringLiteral("no such file")));
  EXPECT_TRUE(report.bad.report().join(u'\n').contains(QStringLiteral("long.log:1:")));
}

// A line with a long gap on either side joins no other: it is drawn as a
// point, not as a line of no length, however many columns the view has.
TEST_F(LogReadingTest, LinesBetweenLongGaps_AreDrawnAsPoints) {
  QByteArray log;
  for (int i = 0; i < 4; ++i) log += logLine(at(8, 10, 11 * i), {4.5f + static_cast<float>(i)});
  log += logLine(at(8, 10, 33, 9), {9.0f});  // joins the line before it
  read({folder.write(QStringLiteral("sparse.log"), log)});
  for (int columns : {40, 1200}) {
    const double from = static_cast<double>(series.first()) - 60;
    const double to = static_cast<double>(series.last()) + 60;
    const DecimatedSensor d = decimate(series, 0, {from, to, columns, false});
    EXPECT_EQ(d.loneY, (std::vector<double>{4.5, 5.5, 6.5})) << columns;
    EXPECT_EQ(d.y.size(), 3u) << columns;  // 7.5 to 9, then the end of its piece
  }
}

// Decimation and statistics against every reading, over random data with
// flagged readings, lines of fewer readings and the clock set back.
TEST_F(LogReadingTest, DecimationAndStatistics_AgreeWithEveryReading) {
  QRandomGenerator random(3);
  LogRecord r;
  StampSeconds t = 1'000'000;
  for (int i = 0; i < 20000; ++i) {
    t += i == 12000 ? -3600 : 9;
    r.stamp = t;
    r.count = i % 50 == 0 ? 1 : 2;
    for (int s = 0; s < 2; ++s) {
      const quint32 k = random.bounded(40);
      r.values[static_cast<std::size_t>(s)] = k == 0 ? -1.0f
                                              : k == 1
                                                  ? 85.0f
                                                  : static_cast<float>(random.bounded(160)) / 16.0f;
    }
    series.append(r);
  }
  const double from = 1'000'000 + 9 * 3000.5, to = 1'000'000 + 9 * 17000.0;
  for (bool ordinary : {false, true}) {
    const std::vector<SensorStatistics> stats =
        rangeStatistics(series, static_cast<StampSeconds>(std::ceil(from)),
                        static_cast<StampSeconds>(to), ordinary);
    const DecimatedSensor d = decimate(series, 1, {from, to, 300, ordinary});
    double sum = 0, lo = 1e9, hi = -1e9;
    std::int64_t count = 0;
    bool sawFlag = false;
    for (std::size_t p = 0; p < series.pieces().size(); ++p) {
      for (std::size_t i = series.pieces()[p].begin; i < series.pieces()[p].end; ++i) {
        const double x = static_cast<double>(series.stamps()[i]);
        const float v = series.values(1)[i];
        if (x < from || x > to || std::isnan(v)) continue;
        if (!ordinary && isFlagged(v)) {
          sawFlag = true;
          continue;
        }
        sum += v, lo = std::min<double>(lo, v), hi = std::max<double>(hi, v), ++count;
      }
    }
    EXPECT_EQ(stats[1].count, count);
    EXPECT_DOUBLE_EQ(stats[1].mean, sum / static_cast<double>(count));
    EXPECT_EQ(stats[1].min, lo);
    EXPECT_EQ(stats[1].max, hi);
    EXPECT_EQ(!d.flagX.empty(), sawFlag);
    // The drawn line reaches the extremes and no further, from a few points per column.
    double drawnLo = 1e9, drawnHi = -1e9;
    for (std::size_t i = 0; i < d.x.size(); ++i)
      if (d.x[i] >= from && d.x[i] <= to && !std::isnan(d.y[i]))
        drawnLo = std::min(drawnLo, d.y[i]), drawnHi = std::max(drawnHi, d.y[i]);
    EXPECT_EQ(drawnLo, lo);
    EXPECT_EQ(drawnHi, hi);
    EXPECT_LE(d.x.size(), 4 * 300 * series.pieces().size() + 8 * 300);
    EXPECT_EQ(std::count_if(d.y.begin(), d.y.end(), [](double y) { return std::isnan(y); }),
              static_cast<long>(series.pieces().size()));
  }
}

// What a reading found and what the series holds, to compare two readings.
std::string describe(const ReadReport& report, const TrendSeries& series, bool ends = true) {
  std::string out;
  const auto add = [&out](const auto&... parts) {
    ((out += QString(QStringLiteral("%1 ")).arg(parts).toStdString()), ...);
    out += '\n';
  };
  add(report.lines, report.outOfRange, report.bad.count(), report.cancelled ? 1 : 0);
  for (const QString& line : report.bad.report() + report.errors) add(line);
  for (const ReadReport::FileEnd& end : report.ends)
    if (ends) add(end.path, end.offset, end.nextLine, end.samples.digest());
  for (const TrendSeries::Piece& piece : series.pieces()) add(piece.begin, piece.end);
  for (std::size_t setBack : series.setBacks()) add(setBack);
  for (std::size_t i = 0; i < series.size(); ++i) add(series.stamps()[i]);
  const auto exact = [](double v) { return QString::number(v, 'g', 17); };
  for (int s = 0; s < series.sensorCount(); ++s) {
    for (float v : series.values(s)) add(exact(v));
    for (const ReadingBlock& b : series.blocks(s))
      add(exact(b.min), exact(b.max), exact(b.sum), b.count, b.minusOne, b.minusTwo, b.eightyFive);
  }
  return out;
}

// Lines cut into chunks anywhere and parsed on several threads give what a
// reading line after line gives: the same lines in the same order, bad lines
// numbered and listed alike, however long a stretch without a line end or a
// hole of zeros, and the same ends.
TEST_F(LogReadingTest, ChunksOfAnySizeOnAnyThreads_ReadAsOneThreadLineByLine) {
  QRandomGenerator random(19);
  int written = 0;
  const auto lines = [&](QByteArray& log, int count, int& minute) {
    written += count;
    for (int i = 0; i < count; ++i, ++minute) {
      const int readings = i % 97 == 0 ? 16 : 12;
      std::array<float, kMaxReadings> r{};
      for (int s = 0; s < readings; ++s)
        r[static_cast<std::size_t>(s)] = static_cast<float>(random.bounded(-80, 1500)) / 16.0f;
      if (i % 31 == 0) r[2] = -1.0f;
      log += recordLine(at(1, 0).addSecs(60 * minute), r.data(), readings);
    }
  };
  const QByteArray overlong(kMaxLineBytes + 900, 'x');
  int minute = 0;
  QByteArray a;  // bad lines everywhere, a set-back, a gap, an overlong line, a cut end
  for (int part = 0; part < 40; ++part) {
    lines(a, 300, minute);
    a += part % 2 ? "\r\n" : "no log line\n";
    if (part == 10) minute -= 500;
    if (part == 20) minute += 100;
    if (part == 30) a += overlong + '\n';
  }
  a += logLine(at(9, 1), {1.0f}).left(15);
  QByteArray b;  // overlong lines, 3 MiB without a line end, zeros before log lines
  lines(b, 2000, minute);
  for (int i = 0; i < 200; ++i) b += overlong + "\r\n";
  lines(b, 1, minute);
  b += QByteArray(3 << 20, 'y') + "\r\n";
  lines(b, 100, minute);
  b += QByteArray(100, '\0');
  lines(b, 2, minute);
  b += QByteArray(50000, '\0') + QByteArray(5000, 'z') + QByteArray(20, '\0');
  lines(b, 2, minute);
  b += "\r\n" + QByteArray(3 << 20, '\0');
  lines(b, 2, minute);
  // Holes, as a writer leaves them that goes on at its offset after a
  // truncation: one before a log line, one at the end.
  QFile holed(folder.path(QStringLiteral("d.log")));
  ASSERT_TRUE(holed.open(QIODevice::WriteOnly));
  QByteArray d;
  lines(d, 10, minute);
  holed.write(d);
  holed.seek((3 << 20) + 77);
  d.clear();
  lines(d, 10, minute);
  holed.write(d);
  ASSERT_TRUE(holed.resize(holed.size() + (5 << 20)));
  holed.close();
  const QStringList files = {folder.write(QStringLiteral("a.log"), a),
                             folder.write(QStringLiteral("b.log"), b),
                             folder.write(QStringLiteral("empty.log"), {}),
                             folder.path(QStringLiteral("gone.log")),
                             folder.write(QStringLiteral("c.log"), a.left(5000)),
                             holed.fileName()};
  // Every line is read, the first after a hole or zeros too.
  TrendSeries all;
  EXPECT_EQ(readSeries({files[0], files[1], files[5]}, all).lines, written);
  // The CSV's rows, formatted on the threads, are those of a reading line by line.
  const QStringList readable = {files[0], files[1], files[2], files[4], files[5]};
  for (const StampFilter filter : {StampFilter{}, StampFilter{stampOf(at(2, 0)), {}}}) {
    std::vector<std::string> rows;
    int width = 0;
    LogReading({readable}, filter).read([&](const LogRecord& r) {
      rows.emplace_back();
      appendCsvRow(r, kMaxReadings, rows.back());
      width = std::max(width, r.count);
    });
    std::string expected = "time";
    for (int s = 1; s <= width; ++s) expected += ",sensor" + std::to_string(s);
    expected += '\n';
    for (const std::string& row : rows)  // cut to the widest line's cells
      expected +=
          row.substr(0, row.size() - 1 - static_cast<std::size_t>(kMaxReadings - width)) + '\n';
    for (const auto& [threads, chunk] : std::vector<std::pair<int, std::int64_t>>{
             {1, kDefaultChunkBytes}, {3, 700}, {2, 65536 + 13}}) {
      const QString csv = folder.path(QStringLiteral("out.csv"));
      const CsvResult result = writeCsv(readable, csv, filter, nullptr, {}, {threads, chunk});
      ASSERT_TRUE(result.writeError.isEmpty()) << result.writeError.toStdString();
      EXPECT_TRUE(folder.read(QStringLiteral("out.csv")).toStdString() == expected)
          << threads << " threads, chunks of " << chunk;
    }
  }

  for (const bool holdLast : {false, true}) {
    for (const StampFilter filter : {StampFilter{}, StampFilter{stampOf(at(2, 0)), {}}}) {
      TrendSeries one;
      LogReading reading(files, filter);
      reading.setHoldLast(holdLast);
      reading.setFileStart([&one](int) { one.breakLine(); });
      const std::string expected =
          describe(reading.read([&one](const LogRecord& r) { one.append(r); }), one);
      for (const auto& [threads, chunk] : std::vector<std::pair<int, std::int64_t>>{
               {1, kDefaultChunkBytes}, {3, 700}, {2, 65536 + 13}, {4, kReadPieceBytes - 1}}) {
        TrendSeries parallel;
        SeriesReadOptions options;
        options.filter = filter;
        options.holdLast = holdLast;
        options.threads = threads;
        options.chunkBytes = chunk;
        // Chunks of 700 bytes with the files opened only when read, as
        // beyond the limit of open files.
        std::vector<LogInput> later(static_cast<std::size_t>(files.size()));
        for (int i = 0; i < files.size() && chunk == 700; ++i)
          later[static_cast<std::size_t>(i)].openLater(files[i]);
        if (chunk == 700) options.inputs = &later;
        const ReadReport report = readSeries(files, parallel, options);
        const std::string got = describe(report, parallel);
        const auto [wrong, right] =
            std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
        ASSERT_TRUE(got == expected)
            << threads << " threads, chunks of " << chunk << ": "
            << std::string(wrong, std::min(wrong + 200, got.end())) << " instead of "
            << std::string(right, std::min(right + 200, expected.end()));
      }
    }
  }
}

// A rotated log, compressed, reads as the log it was: the same lines, bad
// lines and stretches without a line end alike, chunks of any size on any
// threads, line by line, and into the same CSV; a gzip log of several
// members, its header carrying every field, as one.
TEST_F(LogReadingTest, CompressedLogs_ReadAsTheLogsTheyWere) {
  const auto lines = [](int from, int count) {
    QByteArray log;
    for (int i = from; i < from + count; ++i)
      log += logLine(at(1, 0).addSecs(60 * i),
                     {4.5f + static_cast<float>(i % 50) / 16.0f, 3.0f, i % 40 == 0 ? -1.0f : 2.5f});
    return log;
  };
  const QByteArray x = lines(0, 3000) + "no log line\r\n" + lines(2900, 200) + "\r\n" +
                       QByteArray(kMaxLineBytes + 900, 'x') + '\n' + lines(3100, 500);
  const QByteArray y = lines(4000, 2000) + QByteArray(3 << 20, 'y') + "\r\n" +
                       QByteArray(5000, '\0') + lines(6000, 2000);
  const QByteArray z = lines(9000, 1000) + logLine(at(9, 1), {1.0f}).left(15);
  test::LogFolder zipped;
  const QStringList plain = {
      folder.write(QStringLiteral("x.log"), x), folder.write(QStringLiteral("y.log"), y),
      folder.write(QStringLiteral("z.log"), z), folder.write(QStringLiteral("e.log"), {})};
  // Two gzip members, cut inside a line, and the zeros a copy pads with.
  const QByteArray xPacked = test::gzipped(x.left(x.size() / 3), true) +
                             test::gzipped(x.mid(x.size() / 3)) + QByteArray(700, '\0');
  const QStringList packed = {zipped.write(QStringLiteral("x.log"), xPacked),
                              zipped.write(QStringLiteral("y.log"), test::xzed(y)),
                              zipped.write(QStringLiteral("z.log"), test::zstded(z)),
                              zipped.write(QStringLiteral("e.log"), test::gzipped({}))};
  const auto asPlain = [&](std::string text) {
    const std::string from = zipped.path({}).toStdString();
    const std::string to = folder.path({}).toStdString();
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at))
      text.replace(at, from.size(), to);
    return text;
  };
  TrendSeries expectedSeries;
  const std::string expected = describe(readSeries(plain, expectedSeries), expectedSeries, false);
  for (const auto& [threads, chunk] : std::vector<std::pair<int, std::int64_t>>{
           {1, kDefaultChunkBytes}, {3, 700}, {2, 65536 + 13}}) {
    TrendSeries got;
    SeriesReadOptions options;
    options.threads = threads;
    options.chunkBytes = chunk;
    EXPECT_TRUE(asPlain(describe(readSeries(packed, got, options), got, false)) == expected)
        << threads << " threads, chunks of " << chunk;
  }
  // Line by line, on the caller's thread.
  TrendSeries plainOne;
  TrendSeries packedOne;
  const ReadReport plainRead =
      LogReading(plain, {}).read([&plainOne](const LogRecord& r) { plainOne.append(r); });
  const ReadReport packedRead =
      LogReading(packed, {}).read([&packedOne](const LogRecord& r) { packedOne.append(r); });
  EXPECT_TRUE(asPlain(describe(packedRead, packedOne, false)) ==
              describe(plainRead, plainOne, false));
  const CsvResult fromPlain = writeCsv(plain, folder.path(QStringLiteral("plain.csv")), {});
  const CsvResult fromPacked = writeCsv(packed, folder.path(QStringLiteral("packed.csv")), {});
  ASSERT_TRUE(fromPacked.writeError.isEmpty()) << fromPacked.writeError.toStdString();
  EXPECT_EQ(fromPacked.report.lines, fromPlain.report.lines);
  EXPECT_TRUE(folder.read(QStringLiteral("packed.csv")) ==
              folder.read(QStringLiteral("plain.csv")));
}

// A gzip log of two members whose two-byte mark stands across one of the
// decoder's reads (256 KiB at a time), or just before or after it, reads
// whole, on the threads and line by line.
TEST_F(LogReadingTest, AGzipMemberMarkAcrossARead_ReadsOn) {
  QByteArray log;
  for (int i = 0; log.size() < 400000; ++i) log += logLine(at(1, 0).addSecs(9 * i), {4.5f, 2.0f});
  TrendSeries plain;
  const ReadReport expected = readSeries({folder.write(QStringLiteral("plain.log"), log)}, plain);
  for (qsizetype size = (256 << 10) - 2; size <= (256 << 10) + 1; ++size) {
    // The log's first bytes stored, not compressed, in a member of `size` bytes.
    qsizetype cut = size - 40;
    QByteArray first = test::gzipped(log.left(cut), false, 0);
    for (int tries = 0; first.size() != size && tries < 20; ++tries)
      first = test::gzipped(log.left(cut += size - first.size()), false, 0);
    ASSERT_EQ(first.size(), size);
    const QString path =
        folder.write(QStringLiteral("two.log.gz"), first + test::gzipped(log.mid(cut)));
    TrendSeries threaded;
    TrendSeries sequential;
    const ReadReport report = readSeries({path}, threaded);
    LogReading({path}, {}).read([&sequential](const LogRecord& r) { sequential.append(r); });
    EXPECT_EQ(report.lines, expected.lines) << size;
    EXPECT_EQ(report.bad.stops(), 0u) << size;
    for (const TrendSeries* got : {&threaded, &sequential}) {
      ASSERT_EQ(got->size(), plain.size()) << size;
      EXPECT_EQ(got->stamps().back(), plain.stamps().back()) << size;
    }
  }
}

// The header's width is found on the threads as the rows are: the widest
// line in range counts wherever it stands, across a chunk's cut, after zero
// bytes, after an overlong run that ends in zeros, in a compressed log; a
// wider one out of range does not.
TEST_F(LogReadingTest, TheWidestLineInRange_SetsTheHeaderWhereverItStands) {
  const auto lines = [](int from, int count) {
    QByteArray log;
    for (int i = from; i < from + count; ++i) log += logLine(at(1, 0).addSecs(60 * i), {1, 2, 3});
    return log;
  };
  const QByteArray wide = logLine(at(2, 0), {1, 2, 3, 4, 5});
  const QByteArray later = logLine(at(9, 0), {1, 2, 3, 4, 5, 6, 7});
  const StampFilter filter{{}, stampOf(at(5, 0))};
  for (const QByteArray& before :
       {QByteArray(), QByteArray(3, '\0'), QByteArray(kMaxLineBytes + 9, 'x') + '\0'}) {
    for (int lead = 0; lead < 12; ++lead) {
      const QByteArray log = lines(0, lead) + before + wide + lines(100, 20) + later;
      for (const bool packed : {false, true}) {
        const QString file =
            folder.write(QStringLiteral("w.log"), packed ? test::gzipped(log) : log);
        for (const auto& [threads, chunk] : std::vector<std::pair<int, std::int64_t>>{
                 {1, kDefaultChunkBytes}, {3, 700}, {2, 1000 + 7}}) {
          const QString csv = folder.path(QStringLiteral("w.csv"));
          ASSERT_TRUE(
              writeCsv({file}, csv, filter, nullptr, {}, {threads, chunk}).writeError.isEmpty());
          EXPECT_TRUE(folder.read(QStringLiteral("w.csv"))
                          .startsWith("time,sensor1,sensor2,sensor3,sensor4,sensor5\n"))
              << lead << " lines before, " << before.size() << " bytes; " << threads
              << " threads, chunks of " << chunk << (packed ? ", compressed" : "");
        }
      }
    }
  }
  writeCsv({folder.path(QStringLiteral("w.log"))}, folder.path(QStringLiteral("w.csv")), {});
  EXPECT_TRUE(folder.read(QStringLiteral("w.csv"))
                  .startsWith("time,sensor1,sensor2,sensor3,sensor4,sensor5,sensor6,sensor7\n"));

  // Lines as short as a line of their readings can be, one reading more
  // each time, their first reading in one print zone or two: every one of
  // them widens the header.
  QByteArray shortest;
  for (std::string line : {"2026-01-01,  0 ", "2026-01-01 00:00:09,  3.9375 "}) {
    for (int readings = 1; readings <= kMaxReadings; ++readings) {
      shortest += QByteArray::fromStdString(line) + "\r\n";
      line.resize((line.size() / kPrintZoneWidth + 1) * kPrintZoneWidth, ' ');
      line += " ,  0 ";
    }
  }
  writeCsv({folder.write(QStringLiteral("short.log"), shortest)},
           folder.path(QStringLiteral("short.csv")), {});
  EXPECT_TRUE(
      folder.read(QStringLiteral("short.csv"))
          .startsWith("time,sensor1,sensor2,sensor3,sensor4,sensor5,sensor6,sensor7,sensor8,"
                      "sensor9,sensor10,sensor11,sensor12,sensor13,sensor14,sensor15,sensor16\n"));
}

// A row's stamp takes its date from the row before on the same day: rows
// across midnight, before 1970 and after a set-back still get their own.
TEST(CsvRow, EachStampIsWrittenAsItsOwn_WhateverCameBefore) {
  for (const StampSeconds stamp :
       {StampSeconds{0}, StampSeconds{86399}, StampSeconds{86400}, StampSeconds{86399},
        StampSeconds{-1}, StampSeconds{-86400}, StampSeconds{-86401}, StampSeconds{1798761599},
        StampSeconds{1798761600}, StampSeconds{1798761599 + 3661}}) {
    LogRecord record;
    record.stamp = stamp;
    std::string row;
    appendCsvRow(record, 1, row);
    char expected[19];
    writeCsvStamp(stamp, expected);
    EXPECT_EQ(row, std::string(expected, 19) + ",\n") << stamp;
  }
}

// Rotated names sort badly (.10 before .2) and say nothing of what is in
// them: the files go by their first lines, a file without one last.
TEST_F(LogReadingTest, RotatedLogs_GoInTheOrderOfTheirFirstLines) {
  const QString live = folder.write(QStringLiteral("brine.log"), logLine(at(9, 0), {1.0f}));
  const QString one = folder.write(QStringLiteral("brine.log.1"),
                                   "\r\n" + logLine(at(8, 0), {1.0f}) + logLine(at(9, 1), {1.0f}));
  const QString two = folder.write(QStringLiteral("brine.log.2"),
                                   test::gzipped(logLine(at(7, 0), {1.0f})));  // no .gz
  const QString ten = folder.write(QStringLiteral("brine.log.10.gz"),
                                   test::zstded(logLine(at(1, 0), {1.0f})));  // not gzip
  const QString none = folder.write(QStringLiteral("brine.log.old"), "not a log\n");
  EXPECT_EQ(inTimeOrder({none, live, one, ten, two}), (QStringList{ten, two, one, live, none}));
  EXPECT_EQ(firstStamp(two), stampOf(at(7, 0)));
}

// A compressed log cut short (a rotation interrupted) or corrupt is read up
// to there and stops the reading as a cut file does, in every reading.
TEST_F(LogReadingTest, ACompressedLogCutShortOrCorrupt_IsReadUpToThereAndStops) {
  QByteArray log;
  const int total = 20000;
  for (int i = 0; i < total; ++i)
    log += logLine(at(1, 0).addSecs(9 * i), {4.5f + static_cast<float>(i % 7), 2.0f});
  for (const auto& pack : {test::gzipped, test::xzed, test::zstded}) {
    const QByteArray whole = pack(log);
    QByteArray corrupt = whole;
    for (qsizetype i = whole.size() / 2; i < whole.size() / 2 + 16; ++i) corrupt[i] = '\x55';
    for (const QByteArray& bytes : {whole.left(whole.size() / 2), corrupt}) {
      const QString path = folder.write(QStringLiteral("brine.log.2.gz"), bytes);
      for (const int threads : {0, 1, 2}) {
        TrendSeries got;
        ReadReport report;
        if (threads == 0) {
          report = LogReading({path}, {}).read([&got](const LogRecord& r) { got.append(r); });
        } else {
          SeriesReadOptions options;
          options.threads = threads;
          options.chunkBytes = 5000;
          report = readSeries({path}, got, options);
        }
        EXPECT_EQ(report.bad.stops(), 1u) << threads << " " << bytes.size();
        EXPECT_GT(report.lines, 0) << threads << " " << bytes.size() << " of " << whole.size()
                                   << " " << report.bad.stopReport().join(u' ').toStdString();
        EXPECT_LT(report.lines, total);
        EXPECT_EQ(exitStatus(report, true), TrendExit::kStopped);
        if (bytes.size() < whole.size() && got.size() > 0) {  // cut: what was read is the start
          EXPECT_EQ(got.stamps().back(),
                    stampOf(at(1, 0).addSecs(9 * static_cast<int>(got.size() - 1))));
        }
      }
    }
  }
}

// A file cut shorter while it is read stops its reading: that is said
// apart from the bad lines, however many came before, and ends the export
// with a status of its own.
TEST_F(LogReadingTest, AFileCutWhileItIsRead_SaysSoAfterAnyNumberOfBadLines) {
  QByteArray log;
  for (int i = 0; i < 25; ++i) log += "junk\r\n";
  for (int i = 0; i < 5000; ++i) log += logLine(at(8, 10).addSecs(9 * i), {4.5f});
  const QString path = folder.write(QStringLiteral("cut.log"), log);
  std::vector<LogInput> inputs;
  ASSERT_TRUE(LogReading::open({path}, inputs).isEmpty());
  ASSERT_TRUE(QFile::resize(path, 100000));  // under the reading, as a rotation might
  for (const bool parallel : {false, true}) {
    LogReading reading({path}, {});
    reading.setInputs(&inputs);
    reading.setChunkBytes(30000);
    const ReadReport report = parallel ? reading.readColumns([](const LineColumns&) {})
                                       : reading.read([](const LogRecord&) {});
    EXPECT_EQ(report.bad.stops(), 1u) << parallel;
    const QStringList lines = report.bad.report();
    ASSERT_EQ(lines.size(), 22) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines[20].contains(QStringLiteral("lines that are not log lines in all")));
    EXPECT_TRUE(lines[21].endsWith(QStringLiteral("while it was read (it had %1): the lines "
                                                  "after that are not read")
                                       .arg(log.size())))
        << lines[21].toStdString();
    EXPECT_TRUE(lines[21].contains(QStringLiteral("cut.log:3")));
    EXPECT_EQ(exitStatus(report, true), TrendExit::kStopped);
  }
}

class Lines : public LineSplitter::Sink {
 public:
  void line(std::string_view line, std::int64_t number) override {
    got.push_back(std::to_string(number) + ":" + std::string(line));
  }
  void overlong(std::int64_t number, std::int64_t bytes, std::string_view afterZeros) override {
    got.push_back(std::to_string(number) + ":long " + std::to_string(bytes) + " " +
                  std::string(afterZeros));
  }
  std::vector<std::string> got;
};

// However the bytes come, in pieces of any size or a hole given as its size,
// the lines are the same; what follows the last zero byte of an overlong
// line comes with it.
TEST(LineSplitter, PiecesOfAnySize_GiveTheSameLinesAndHoldTheUnfinishedOne) {
  const std::string zeros(5000, '\0');
  const std::string text = "a\r\nbb\n\r\n" + std::string(kMaxLineBytes + 10, 'x') + "\r\nccc\r\n" +
                           zeros + "after\r\n" + zeros + std::string(kMaxLineBytes + 2, 'x') +
                           "\n" + std::string(3, '\0') + "z\n" + "dd";
  Lines whole;
  LineSplitter one;
  one.feed(text.data(), text.size(), whole);
  const std::string kept = std::string(3, '\0') + "z";
  EXPECT_EQ(whole.got,
            (std::vector<std::string>{"1:a", "2:bb", "3:", "4:long 4106 ", "5:ccc",
                                      "6:long 5005 after", "7:long 9098 ", "8:" + kept}));
  EXPECT_TRUE(one.holding());
  EXPECT_EQ(one.heldBytes(), 2);
  for (std::size_t piece : {1u, 7u, 4096u}) {
    Lines pieces;
    LineSplitter splitter;
    for (std::size_t at = 0; at < text.size(); at += piece) {
      const std::size_t size = std::min(piece, text.size() - at);
      if (text.compare(at, size, zeros, 0, size) == 0)
        splitter.feedZeros(static_cast<std::int64_t>(size));
      else
        splitter.feed(text.data() + at, size, pieces);
    }
    EXPECT_EQ(pieces.got, whole.got) << piece;
    splitter.feed("d\r\n", 3, pieces);
    EXPECT_EQ(pieces.got.back(), "9:ddd");
  }
}

// Sixteenths of a degree and no reading are held in two bytes; anything
// else turns the column to floats, and either way each reading comes back
// as the very float it was, through the chunks and into the series.
TEST(ReadingColumn, GivesBackEveryFloatAsItWas_SixteenthsCompactly) {
  const auto bits = [](float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
  };
  const float none = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> sixteenths = {0.0f,           4.1875f,       -0.0625f, kNoPage,
                                         kNoTemperature, kPowerOnValue, -55.0f,   2047.875f,
                                         -2047.875f,     none};
  for (const float odd :
       {-0.0f, 4.1234f, 2048.0f, 1e-40f, 3e38f, -std::numeric_limits<float>::quiet_NaN()}) {
    LineColumns chunks[2];
    for (int c = 0; c < 2; ++c)
      for (const float v : sixteenths) {
        LogRecord r;
        r.count = 2;
        r.values = {v, c == 1 && v == 4.1875f ? odd : v};
        chunks[c].add(r);
      }
    TrendSeries series;
    for (const LineColumns& chunk : chunks) series.append(chunk);
    EXPECT_TRUE(chunks[0].values(1).compact() && series.values(0).compact());
    EXPECT_FALSE(chunks[1].values(1).compact() || series.values(1).compact());
    std::vector<float> expected = sixteenths;
    expected.insert(expected.end(), sixteenths.begin(), sixteenths.end());
    expected[sixteenths.size() + 1] = odd;
    std::size_t i = 0;
    for (const float v : series.values(1))
      EXPECT_EQ(bits(v), bits(expected[i++])) << odd << " " << i;
    EXPECT_EQ(i, expected.size());
    EXPECT_EQ(bits(series.values(0)[sixteenths.size() + 1]), bits(4.1875f));
    chunks[1].clear();  // kept for the next chunk, compact again
    EXPECT_TRUE(chunks[1].size() == 0 && chunks[1].sensorCount() == 0);
  }
}

// Names in any script are measured in the columns they take, and cut there
// whole: a wide character takes two, a combining mark none and stays with
// its letter.
TEST(TextColumns, WideCharactersTakeTwoColumnsAndMarksNone) {
  EXPECT_EQ(displayWidth(u"North tank"), 10);
  EXPECT_EQ(displayWidth(u"北タンク上"), 10);
  EXPECT_EQ(displayWidth(u"ＡＢ１"), 6);
  EXPECT_EQ(displayWidth(u"Cafe\u0301 e\u0308"), 6);
  EXPECT_EQ(displayWidth(u"\U0001F9CA ice"), 6);
  EXPECT_EQ(elidedToColumns(QStringLiteral("North tank"), 10), QStringLiteral("North tank"));
  EXPECT_EQ(elidedToColumns(QStringLiteral("北タンク上段"), 10), QStringLiteral("北タンク…"));
  EXPECT_EQ(elidedToColumns(QStringLiteral("abce\u0301\u0301fg"), 5),
            QStringLiteral("abce\u0301\u0301…"));
  EXPECT_EQ(elidedToColumns(QStringLiteral("abcde\u0301fg"), 5), QStringLiteral("abcd…"));
}

}  // namespace
}  // namespace bw
