#include "platform/engine/host_bridge.h"

namespace korvel::engine::host {
namespace {

Calls& calls() {
  static Calls installed;
  return installed;
}

}  // namespace

void set_calls(const Calls& replacement) { calls() = replacement; }

bool post_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return calls().post_message != nullptr && calls().post_message(window, message, wparam, lparam);
}

void invalidate(HWND window) {
  if (calls().invalidate != nullptr) calls().invalidate(window);
}

void validate(HWND window) {
  if (calls().validate != nullptr) calls().validate(window);
}

}  // namespace korvel::engine::host
