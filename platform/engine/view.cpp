#include "platform/engine/view.h"

namespace korvel::engine {
namespace {

// Never destroyed, like the handle table: pages of windows still open at exit
// must not outlive it.
std::map<HWND, std::unique_ptr<View>>& views() {
  static auto* instance = new std::map<HWND, std::unique_ptr<View>>;
  return *instance;
}

}  // namespace

View* find_view(HWND window) {
  auto it = views().find(window);
  return it == views().end() ? nullptr : it->second.get();
}

View& view_for(HWND window) {
  std::unique_ptr<View>& slot = views()[window];
  if (slot == nullptr) {
    slot = std::make_unique<View>();
    slot->window = window;
  }
  return *slot;
}

void forget_view(HWND window) {
  auto it = views().find(window);
  if (it == views().end()) return;
  // Taken out of the map first, so that nothing finds it while it goes.
  std::unique_ptr<View> view = std::move(it->second);
  views().erase(it);
}

View* view_of(const Element& element) {
  return element.document == nullptr ? nullptr : element.document->view;
}

}  // namespace korvel::engine
