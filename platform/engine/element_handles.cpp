#include "platform/engine/element_handles.h"

#include <limits>
#include <unordered_map>

#include "platform/engine/dom.h"

namespace korvel::engine {
namespace {

struct HandleRecord {
  Element* element = nullptr;  // null once the element was removed
  std::uint32_t uses = 0;
};

struct HandleTable {
  std::unordered_map<std::uint32_t, HandleRecord> records;
  std::uint32_t last = 0;
};

// Never destroyed: elements of windows still open at exit give their numbers
// up during static destruction.
HandleTable& table() {
  static HandleTable* instance = new HandleTable;
  return *instance;
}

}  // namespace

std::uint32_t register_element(Element* element) {
  HandleTable& handles = table();
  do {
    handles.last = handles.last == std::numeric_limits<std::uint32_t>::max() ? 1 : handles.last + 1;
  } while (handles.records.count(handles.last) != 0);
  handles.records[handles.last] = HandleRecord{element, 0};
  return handles.last;
}

void unregister_element(std::uint32_t uid) {
  HandleTable& handles = table();
  auto it = handles.records.find(uid);
  if (it == handles.records.end()) return;
  if (it->second.uses == 0) {
    handles.records.erase(it);
  } else {
    it->second.element = nullptr;
  }
}

std::uint32_t uid_of(HELEMENT he) {
  const auto value = reinterpret_cast<std::uintptr_t>(he);
  return value > std::numeric_limits<std::uint32_t>::max() ? 0 : static_cast<std::uint32_t>(value);
}

Element* lookup_uid(std::uint32_t uid) {
  if (uid == 0) return nullptr;
  const auto& records = table().records;
  auto it = records.find(uid);
  return it == records.end() ? nullptr : it->second.element;
}

Element* lookup_element(HELEMENT he, HLDOM_RESULT* result) {
  HLDOM_RESULT answer = HLDOM_INVALID_HANDLE;
  Element* element = nullptr;
  const std::uint32_t uid = uid_of(he);
  if (uid != 0) {
    const auto& records = table().records;
    auto it = records.find(uid);
    if (it != records.end()) {
      element = it->second.element;
      answer = element != nullptr ? HLDOM_OK : HLDOM_PASSIVE_HANDLE;
    }
  }
  if (result != nullptr) *result = answer;
  return element;
}

HELEMENT handle_of(const Element* element) {
  return element == nullptr ? nullptr : reinterpret_cast<HELEMENT>(std::uintptr_t{element->uid});
}

HLDOM_RESULT use_element(HELEMENT he) {
  HLDOM_RESULT result = HLDOM_OK;
  if (lookup_element(he, &result) == nullptr) return result;
  ++table().records[uid_of(he)].uses;
  return HLDOM_OK;
}

HLDOM_RESULT unuse_element(HELEMENT he) {
  auto& records = table().records;
  auto it = records.find(uid_of(he));
  if (it == records.end()) return HLDOM_INVALID_HANDLE;
  if (it->second.uses == 0) return HLDOM_INVALID_PARAMETER;
  --it->second.uses;
  if (it->second.uses == 0 && it->second.element == nullptr) records.erase(it);
  return HLDOM_OK;
}

}  // namespace korvel::engine
