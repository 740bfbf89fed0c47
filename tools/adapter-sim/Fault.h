#pragma once

#include "RomCodes.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace bw::sim {

// How a simulated sensor misbehaves when queried.
enum class Fault {
  None,        // normal reading page
  NoAnswer,    // request is read, nothing is ever sent back, the connection stays open
  Reset,       // request is read, then the connection is reset (RST)
  HttpError,   // HTTP 500 with an error page that has no temperature element
  NoElement,   // HTTP 200 page without the temperature element
  EmptyValue,  // temperature element with VALUE=""
  NonNumeric,  // temperature element with VALUE="n/a"
};

// Command-line names: "none", "no-answer", "reset", "http-error", "no-element",
// "empty-value", "non-numeric".
QString faultName(Fault fault);
std::optional<Fault> faultFromName(QStringView name);
QStringList faultNames();

struct FaultAssignment {
  int slot = -1;  // the simulator's slot, 0-15: the slot the user counts less one
  Fault fault = Fault::None;
};

// Parses "SLOT=KIND" or "ROMCODE=KIND": a slot as the site counts it, 1-16,
// or a ROM code of `roms` in any case.
std::optional<FaultAssignment> parseFaultAssignment(QStringView text, QString* error = nullptr,
                                                    const RomCodes& roms = builtInRomCodes());

}  // namespace bw::sim
