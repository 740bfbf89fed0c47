#pragma once

#include <QString>
#include <QStringView>

namespace bw {

// How many columns of a terminal or a character grid text takes: East Asian
// wide and fullwidth characters two, combining marks and zero-width
// characters none, everything else one. Names given in any script are
// measured alike, so a cut keeps legends and tables as wide as asked.
int displayWidth(QStringView text);

// `text` cut to at most `columns` columns, with "…" where it was cut; never
// between a character and the marks that combine with it.
QString elidedToColumns(const QString& text, int columns);

// The widest a sensor's label is shown in the legend and the statistics,
// the whole label going in the tooltip.
inline constexpr int kLabelColumns = 32;

}  // namespace bw
