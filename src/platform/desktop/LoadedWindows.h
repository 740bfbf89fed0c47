#pragma once

#include <QPointer>
#include <functional>
#include <vector>

namespace bw {

// The program's loaded windows in load order; index 0 is the main window.
// Each window comes with how to unload it.
class LoadedWindows {
 public:
  using Unload = std::function<void()>;

  // Appends `window`; a window already in the list keeps its place.
  void loaded(QObject* window, Unload unload);
  // Takes `window` out; windows that were destroyed drop out by themselves.
  void unloaded(QObject* window);

  int count() const;
  // nullptr past the end.
  QObject* at(int index) const;
  bool contains(const QObject* window) const;

  // Unloads every window but the main one, from the last loaded down to
  // index 1. A window is out of the list before its unload runs.
  void unloadAllButFirst();

 private:
  struct Entry {
    QPointer<QObject> window;
    Unload unload;
  };
  void dropDestroyed();

  std::vector<Entry> entries_;
};

}  // namespace bw
