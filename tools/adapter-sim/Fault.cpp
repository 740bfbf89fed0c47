#include "Fault.h"

#include "AdapterSimulator.h"

#include <array>
#include <utility>

namespace bw::sim {

namespace {

struct FaultEntry {
  Fault fault;
  QLatin1String name;
};

constexpr std::array<FaultEntry, 7> kFaults = {{
    {Fault::None, QLatin1String("none")},
    {Fault::NoAnswer, QLatin1String("no-answer")},
    {Fault::Reset, QLatin1String("reset")},
    {Fault::HttpError, QLatin1String("http-error")},
    {Fault::NoElement, QLatin1String("no-element")},
    {Fault::EmptyValue, QLatin1String("empty-value")},
    {Fault::NonNumeric, QLatin1String("non-numeric")},
}};

void setError(QString* error, QString text) {
  if (error) *error = std::move(text);
}

}  // namespace

QString faultName(Fault fault) {
  for (const FaultEntry& entry : kFaults)
    if (entry.fault == fault) return entry.name;
  return {};
}

std::optional<Fault> faultFromName(QStringView name) {
  for (const FaultEntry& entry : kFaults)
    if (name.compare(entry.name, Qt::CaseInsensitive) == 0) return entry.fault;
  return std::nullopt;
}

QStringList faultNames() {
  QStringList names;
  for (const FaultEntry& entry : kFaults) names.append(entry.name);
  return names;
}

std::optional<FaultAssignment> parseFaultAssignment(QStringView text, QString* error,
                                                    const RomCodes& roms) {
  const qsizetype equals = text.indexOf(u'=');
  if (equals < 0) {
    setError(error, QStringLiteral("'%1' is not SLOT=KIND or ROM=KIND").arg(text));
    return std::nullopt;
  }
  const QStringView who = text.left(equals).trimmed();
  const QStringView kind = text.mid(equals + 1).trimmed();

  FaultAssignment assignment;
  bool isNumber = false;
  const int slot = who.toInt(&isNumber);
  if (isNumber && who.size() <= 2) {
    // Slots are typed as the site and the log count them, from 1.
    if (slot < 1 || slot > kMaxReadings) {
      setError(error,
               QStringLiteral("slot %1 is out of range 1-%2").arg(slot).arg(kMaxReadings));
      return std::nullopt;
    }
    assignment.slot = slot - 1;
  } else {
    assignment.slot = slotOf(roms, who.toLatin1());
    if (assignment.slot < 0) {
      setError(error, QStringLiteral("'%1' is neither a slot 1-%2 nor a known ROM code")
                          .arg(who)
                          .arg(kMaxReadings));
      return std::nullopt;
    }
  }

  const std::optional<Fault> fault = faultFromName(kind);
  if (!fault) {
    setError(error, QStringLiteral("unknown fault '%1' (known: %2)")
                        .arg(kind, faultNames().join(QStringLiteral(", "))));
    return std::nullopt;
  }
  assignment.fault = *fault;
  return assignment;
}

}  // namespace bw::sim
