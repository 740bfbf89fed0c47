#pragma once

#include <lzma.h>
#include <zlib.h>
#include <zstd.h>
#include <QByteArray>

namespace bw::test {

// Bytes compressed as a rotation leaves them, each with its check, so a
// corrupt stream is told; `named`, with every field a gzip header may
// carry (name, comment, extra field and the header's own check). Level 0
// stores the bytes, so the size is known before.
inline QByteArray gzipped(const QByteArray& bytes, bool named, int level = 6) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  char name[] = "brine.log.1";
  char comment[] = "rotated";
  unsigned char extra[] = {'B', 'w', 2, 0, 7, 9};
  gz_header header{};
  header.name = reinterpret_cast<Bytef*>(name);
  header.comment = reinterpret_cast<Bytef*>(comment);
  header.extra = extra;
  header.extra_len = sizeof extra;
  header.hcrc = 1;
  if (named) deflateSetHeader(&z, &header);
  QByteArray out(static_cast<qsizetype>(deflateBound(&z, static_cast<uLong>(bytes.size()))), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.truncate(static_cast<qsizetype>(z.total_out));
  deflateEnd(&z);
  return out;
}

inline QByteArray gzipped(const QByteArray& bytes) {
  return gzipped(bytes, false);
}

inline QByteArray xzed(const QByteArray& bytes) {
  QByteArray out(static_cast<qsizetype>(lzma_stream_buffer_bound(bytes.size())), '\0');
  std::size_t written = 0;
  lzma_easy_buffer_encode(1, LZMA_CHECK_CRC64, nullptr,
                          reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size(),
                          reinterpret_cast<uint8_t*>(out.data()), &written, out.size());
  out.truncate(static_cast<qsizetype>(written));
  return out;
}

inline QByteArray zstded(const QByteArray& bytes) {
  ZSTD_CCtx* c = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1);
  QByteArray out(static_cast<qsizetype>(ZSTD_compressBound(bytes.size())), '\0');
  const std::size_t written =
      ZSTD_compress2(c, out.data(), out.size(), bytes.constData(), bytes.size());
  ZSTD_freeCCtx(c);
  out.truncate(static_cast<qsizetype>(written));
  return out;
}

}  // namespace bw::test
