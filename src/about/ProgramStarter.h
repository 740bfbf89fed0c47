#pragma once

#include <QString>

namespace bw {

// Starts a program and leaves it running on its own.
class ProgramStarter {
 public:
  virtual ~ProgramStarter() = default;
  // The whole text is the program's path, with no arguments. False when
  // nothing could be started.
  virtual bool start(const QString& commandLine) = 0;
};

class DetachedProgramStarter final : public ProgramStarter {
 public:
  bool start(const QString& commandLine) override;
};

}  // namespace bw
