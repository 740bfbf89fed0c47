#include "platform/desktop/LoadedWindows.h"

#include <algorithm>

namespace bw {

void LoadedWindows::loaded(QObject* window, Unload unload) {
  dropDestroyed();
  if (!window || contains(window)) return;
  entries_.push_back({window, std::move(unload)});
}

void LoadedWindows::unloaded(QObject* window) {
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [window](const Entry& e) { return e.window == window; }),
                 entries_.end());
  dropDestroyed();
}

int LoadedWindows::count() const {
  return static_cast<int>(std::count_if(entries_.begin(), entries_.end(),
                                        [](const Entry& e) { return !e.window.isNull(); }));
}

QObject* LoadedWindows::at(int index) const {
  int live = 0;
  for (const Entry& e : entries_) {
    if (e.window.isNull()) continue;
    if (live++ == index) return e.window.data();
  }
  return nullptr;
}

bool LoadedWindows::contains(const QObject* window) const {
  return window && std::any_of(entries_.begin(), entries_.end(),
                               [window](const Entry& e) { return e.window == window; });
}

void LoadedWindows::unloadAllButFirst() {
  dropDestroyed();
  // Only the windows loaded now; one loaded by an unload waits for the next call.
  for (std::size_t rounds = entries_.size(); rounds > 1 && entries_.size() > 1; --rounds) {
    Entry last = std::move(entries_.back());
    entries_.pop_back();
    if (!last.window.isNull() && last.unload) last.unload();
    dropDestroyed();
  }
}

void LoadedWindows::dropDestroyed() {
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [](const Entry& e) { return e.window.isNull(); }),
                 entries_.end());
}

}  // namespace bw
