#include "trend/ui/TrendProgram.h"

int main(int argc, char** argv) {
  return bw::runTrend(argc, argv);
}
