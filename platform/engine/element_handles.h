// Element handles: numbers in a table, never pointers. An element that leaves
// its document gives its number up; while references on it are still held the
// number stays in the table as a passive entry, so Use refuses it and Unuse
// still balances. Numbers are not reused while an entry exists.
#pragma once

#include <cstdint>

#include "platform/engine/htmlayout_types.h"

namespace korvel::engine {

struct Element;

std::uint32_t register_element(Element* element);
void unregister_element(std::uint32_t uid);

// The live element behind a handle; null, with the reason in result, when the
// handle is null, unknown, or its element was removed.
Element* lookup_element(HELEMENT he, HLDOM_RESULT* result = nullptr);
Element* lookup_uid(std::uint32_t uid);
HELEMENT handle_of(const Element* element);
std::uint32_t uid_of(HELEMENT he);

HLDOM_RESULT use_element(HELEMENT he);
HLDOM_RESULT unuse_element(HELEMENT he);

}  // namespace korvel::engine
