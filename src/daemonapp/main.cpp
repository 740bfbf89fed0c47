#include "daemon/LoggerService.h"

int main(int argc, char** argv) {
  return bw::runLoggerProgram(argc, argv);
}
