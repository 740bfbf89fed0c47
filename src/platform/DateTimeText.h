#pragma once

#include <QDateTime>
#include <QString>

namespace bw {

// A record's stamp: "yyyy-MM-dd HH:mm:ss", the date alone at exactly
// midnight. It sorts as text, parses everywhere and holds no comma.
QString stampText(const QDateTime& stamp);

}  // namespace bw
