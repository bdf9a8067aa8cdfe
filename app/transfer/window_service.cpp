#include "transfer/window_service.h"

#include "transfer/insert_target.h"

namespace corvellan {

namespace {

std::unique_ptr<WindowService>& Installed() {
  static std::unique_ptr<WindowService> service;
  return service;
}

}  // namespace

WindowService& Windows() {
  auto& service = Installed();
  if (!service) service = MakeX11WindowService();
  return *service;
}

void SetWindowServiceForTesting(std::unique_ptr<WindowService> service) { Installed() = std::move(service); }

bool ActivateByTitle(WindowService& service, const QString& title) {
  if (title.isEmpty()) return false;
  return ActivateByTitle(service, title, service.stackingOrder());
}

const TopWindow* FindByTitle(const QString& title, const std::vector<TopWindow>& windows) {
  if (title.isEmpty()) return nullptr;
  // Best match first: the exact title, then the exact title as the target
  // list shows it (without characters it cannot show), then the same two as
  // the beginning of a title. Within each, the topmost window wins.
  const auto matches = [&title](const TopWindow& window, int rule) {
    switch (rule) {
      case 0:
        return window.title == title;
      case 1:
        return CleanText(window.title) == title;
      case 2:
        return window.title.startsWith(title);
      default:
        return CleanText(window.title).startsWith(title);
    }
  };
  for (int rule = 0; rule < 4; ++rule) {
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
      if (matches(*it, rule)) return &*it;
    }
  }
  return nullptr;
}

bool ActivateByTitle(WindowService& service, const QString& title, const std::vector<TopWindow>& windows) {
  const TopWindow* window = FindByTitle(title, windows);
  return window != nullptr && service.activate(window->id);
}

}  // namespace corvellan
