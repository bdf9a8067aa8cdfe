// A desktop for tests: windows with titles in a stacking order, activation
// that succeeds unless a window is marked as refusing, and a record of every
// activation and of the keystrokes sent (to the window active then).
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "transfer/window_service.h"

namespace corvellan::test {

class FakeWindowService : public WindowService {
 public:
  struct Window {
    std::uint64_t id;
    QString title;
    bool refuses = false;  // cannot be activated
  };
  struct Sent {
    QString window;  // title of the active window
    std::vector<KeyStroke> strokes;
  };

  std::vector<Window> windows;  // bottom first
  QString reason;
  bool sendFails = false;
  QStringList activations;
  std::vector<Sent> sent;
  std::uint64_t active = 0;

  void add(const QString& title, bool refuses = false) {
    windows.push_back({static_cast<std::uint64_t>(windows.size() + 1000), title, refuses});
  }

  QString unavailableReason() const override { return reason; }
  std::vector<TopWindow> stackingOrder() override {
    std::vector<TopWindow> order;
    for (const Window& window : windows) order.push_back({window.id, window.title});
    return order;
  }
  bool activate(std::uint64_t id) override {
    for (const Window& window : windows) {
      if (window.id != id) continue;
      activations.append(window.title);
      if (window.refuses) return false;
      active = id;
      return true;
    }
    return false;
  }
  bool send(const std::vector<KeyStroke>& strokes) override {
    if (sendFails) return false;
    QString title;
    for (const Window& window : windows) {
      if (window.id == active) title = window.title;
    }
    sent.push_back({title, strokes});
    return true;
  }
};

// Installs a fake desktop for the life of the object.
class FakeDesktop {
 public:
  FakeDesktop() {
    auto service = std::make_unique<FakeWindowService>();
    fake = service.get();
    SetWindowServiceForTesting(std::move(service));
  }
  ~FakeDesktop() { SetWindowServiceForTesting(nullptr); }
  FakeDesktop(const FakeDesktop&) = delete;
  FakeDesktop& operator=(const FakeDesktop&) = delete;

  FakeWindowService* fake;
};

}  // namespace corvellan::test
