// Stands in for the system information program: waits until the test lets it
// go, so the test can see its starter did not wait, then leaves a mark.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

int main() {
  const char* mark = std::getenv("BRINEWATCH_STUB_MARK");
  const char* release = std::getenv("BRINEWATCH_STUB_RELEASE");
  if (!mark || !release) return 2;
  constexpr auto kPoll = std::chrono::milliseconds(10);
  constexpr int kMaxPolls = 1000;
  for (int i = 0; i < kMaxPolls && !std::filesystem::exists(release); ++i)
    std::this_thread::sleep_for(kPoll);
  std::ofstream(mark) << "started\n";
  return 0;
}
