#include "ui/tabs.h"

#include <cstring>

#include "platform/win/win_types.h"
#include "ui/dom_element.h"
#include "ui/shared_wide_string.h"

namespace korvel::htmlayout {
namespace {

constexpr engine::UINT kTabsSubscription = engine::HANDLE_MOUSE | engine::HANDLE_KEY |
                                           engine::HANDLE_FOCUS | engine::HANDLE_BEHAVIOR_EVENT |
                                           engine::HANDLE_METHOD_CALL;
static_assert(kTabsSubscription == 0x307);

constexpr char kSelectedTab[] = ":root>.strip>[panel][selected]";
constexpr char kPanelByName[] = ":root>[name=\"%S\"]";
constexpr char kExpandedPanel[] = ":root>[name]:expanded";
constexpr char kCurrentTab[] = ":root>.strip>[panel]:current";
constexpr char16_t kTabByPanel[] = u":root>.strip>[panel=%s]";

// The one instance every tabs element shares.
tabs tabs_instance;

}  // namespace

tabs::tabs() : behavior(kTabsSubscription, "tabs") {}

HELEMENT tabs::tab_for_target(HELEMENT target, HELEMENT tabs_element) {
  dom::element current(target);
  while (current.is_valid() && current.get() != tabs_element) {
    if (current.get_attribute("panel") != nullptr) return current.get();
    current = current.parent();
  }
  return nullptr;
}

bool tabs::select_tab(HELEMENT tabs_element, HELEMENT tab) {
  const dom::element root(tabs_element);
  const dom::element new_tab(tab);
  if ((new_tab.get_state() & engine::STATE_CURRENT) != 0) return true;

  // A tab naming no panel must not reach the selector as an empty name, which
  // would find a panel whose name is empty.
  const char16_t* panel_name = new_tab.get_attribute("panel");
  if (panel_name == nullptr) return true;

  const dom::element old_panel(root.find_first(kExpandedPanel));
  const dom::element old_tab(root.find_first(kCurrentTab));
  const dom::element new_panel(root.find_first(kPanelByName, panel_name));
  if (!new_panel.is_valid() || !new_tab.is_valid()) return true;

  if (old_panel.is_valid()) {
    old_panel.set_attribute("selected", nullptr);
    old_panel.set_state(engine::STATE_COLLAPSED, 0, true);
  }
  if (old_tab.is_valid()) {
    old_tab.set_attribute("selected", nullptr);
    old_tab.set_state(0, engine::STATE_CURRENT, true);
  }
  new_panel.set_attribute("selected", u"");
  new_panel.set_state(engine::STATE_EXPANDED, 0, true);
  new_tab.set_attribute("selected", u"");
  new_tab.set_state(engine::STATE_CURRENT, 0, true);

  if (old_tab.is_valid()) {
    engine::HTMLayoutPostEvent(old_tab, engine::ELEMENT_COLLAPSED, old_tab, 0);
  }
  engine::HTMLayoutPostEvent(new_tab, engine::ELEMENT_EXPANDED, new_tab, 0);
  return true;
}

bool tabs::select_tab_by(HELEMENT tabs_element, HELEMENT current_tab, int step) {
  const dom::element current(current_tab);
  dom::element candidate;
  bool forwards = true;
  switch (step) {
    case -2:
      candidate = current.first_sibling();
      break;
    case -1:
      candidate = current.prev_sibling();
      forwards = false;
      break;
    case 1:
      candidate = current.next_sibling();
      break;
    case 2:
      candidate = current.last_sibling();
      forwards = false;
      break;
    default:
      return false;
  }
  while (candidate.is_valid() && (candidate.get_state() & engine::STATE_DISABLED) != 0) {
    candidate = forwards ? candidate.next_sibling() : candidate.prev_sibling();
  }
  if (!candidate.is_valid() || candidate.get_attribute("panel") == nullptr) return false;
  return select_tab(tabs_element, candidate);
}

void tabs::element_attached(HELEMENT he) {
  const dom::element root(he);
  const dom::element tab(root.find_first(kSelectedTab));
  // No selected tab: nothing to show, and no empty name to look a panel up by.
  const char16_t* panel_name = tab.get_attribute("panel");
  if (panel_name == nullptr) return;
  const dom::element panel(root.find_first(kPanelByName, panel_name));
  if (!panel.is_valid()) return;
  const dom::element strip(tab.parent());
  strip.set_state(engine::STATE_CURRENT, 0, true);
  tab.set_state(engine::STATE_CURRENT, 0, true);
  panel.set_state(engine::STATE_EXPANDED, 0, true);
}

bool tabs::mouse_event(HELEMENT he, HELEMENT target, engine::UINT code, int /*x*/, int /*y*/,
                       engine::UINT /*buttons*/, engine::UINT /*keyboard_state*/) {
  if (code != engine::MOUSE_DOWN && code != engine::MOUSE_DCLICK) return false;
  const dom::element tab(tab_for_target(target, he));
  return tab.is_valid() && select_tab(he, tab);
}

bool tabs::key_event(HELEMENT he, HELEMENT /*target*/, engine::UINT code, engine::UINT key_code,
                     engine::UINT keyboard_state) {
  if (code != engine::KEY_DOWN) return false;
  const dom::element root(he);
  const dom::element current(root.find_first(kCurrentTab));
  switch (key_code) {
    case win::VK_TAB:
      if ((keyboard_state & engine::CONTROL_KEY_PRESSED) == 0) return false;
      return select_tab_by(he, current, (keyboard_state & engine::SHIFT_KEY_PRESSED) != 0 ? -1 : 1);
    case win::VK_END:
      return current.is_focused() && select_tab_by(he, current, 2);
    case win::VK_HOME:
      return current.is_focused() && select_tab_by(he, current, -2);
    case win::VK_LEFT:
      return current.is_focused() && select_tab_by(he, current, -1);
    case win::VK_RIGHT:
      return current.is_focused() && select_tab_by(he, current, 1);
    default:
      return false;
  }
}

bool tabs::behavior_event(HELEMENT he, HELEMENT target, engine::UINT code,
                          engine::UINT_PTR /*reason*/) {
  if (code != engine::ACTIVATE_CHILD) return false;
  const dom::element tab(tab_for_target(target, he));
  if (tab.is_valid()) select_tab(he, tab);
  return true;
}

bool tabs::script_call(HELEMENT he, const char* method_name, engine::UINT argc, engine::VALUE* argv,
                       engine::VALUE* /*retval*/) {
  if (method_name == nullptr || std::strcmp(method_name, "select") != 0 || argc != 1 ||
      argv == nullptr) {
    return false;
  }
  engine::LPCWSTR chars = nullptr;
  engine::UINT length = 0;
  // A value that is not a text, or an empty one, names no tab: nothing changes.
  if (engine::ValueStringData(&argv[0], &chars, &length) != engine::HV_OK || length == 0) {
    return true;
  }
  SharedWideString panel_name(chars, length);
  const dom::element root(he);
  const dom::element tab(root.find_first(kTabByPanel, panel_name.c_str()));
  if (tab.is_valid()) select_tab(he, tab);
  panel_name.release();
  return true;
}

}  // namespace korvel::htmlayout
