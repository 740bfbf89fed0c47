#include <gtest/gtest.h>
#include <QObject>
#include <QStringList>
#include <memory>

#include "platform/desktop/LoadedWindows.h"

namespace bw {
namespace {

struct Windows {
  Windows() {
    for (const char* name : {"main", "second", "third"}) {
      auto window = std::make_unique<QObject>();
      window->setObjectName(QLatin1String(name));
      objects.push_back(std::move(window));
    }
  }
  LoadedWindows::Unload recorder(QObject* window) {
    return [this, window] { unloads.append(window->objectName()); };
  }
  std::vector<std::unique_ptr<QObject>> objects;
  QStringList unloads;
};

TEST(LoadedWindows, UnloadsFromTheLastLoadedDownToIndexOneAndKeepsTheMainWindow) {
  Windows w;
  LoadedWindows list;
  for (auto& object : w.objects) list.loaded(object.get(), w.recorder(object.get()));
  // Loading again keeps the first place.
  list.loaded(w.objects[1].get(), w.recorder(w.objects[1].get()));
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(list.at(1), w.objects[1].get());

  list.unloadAllButFirst();
  EXPECT_EQ(w.unloads, (QStringList{QStringLiteral("third"), QStringLiteral("second")}));
  EXPECT_EQ(list.count(), 1);
  EXPECT_EQ(list.at(0), w.objects[0].get());
  EXPECT_EQ(list.at(1), nullptr);
}

TEST(LoadedWindows, WindowsThatUnloadOrDieThemselvesAreNotUnloadedAgain) {
  Windows w;
  LoadedWindows list;
  for (auto& object : w.objects) list.loaded(object.get(), w.recorder(object.get()));
  list.unloaded(w.objects[1].get());
  w.objects[2].reset();
  EXPECT_EQ(list.count(), 1);
  EXPECT_FALSE(list.contains(w.objects[1].get()));
  list.unloadAllButFirst();
  EXPECT_TRUE(w.unloads.isEmpty());
}

TEST(LoadedWindows, AnUnloadThatReportsItselfUnloadedDoesNotDisturbTheRest) {
  Windows w;
  LoadedWindows list;
  list.loaded(w.objects[0].get(), w.recorder(w.objects[0].get()));
  for (int i : {1, 2}) {
    QObject* window = w.objects[static_cast<size_t>(i)].get();
    list.loaded(window, [&list, &w, window] {
      w.unloads.append(window->objectName());
      list.unloaded(window);
    });
  }
  list.unloadAllButFirst();
  EXPECT_EQ(w.unloads, (QStringList{QStringLiteral("third"), QStringLiteral("second")}));
  EXPECT_EQ(list.count(), 1);
}

}  // namespace
}  // namespace bw
