// Script values: the engine makes texts and integers only.
#include "platform/engine/htmlayout.h"

namespace korvel::engine {

UINT ValueInit(VALUE* value) {
  if (value == nullptr) return HV_BAD_PARAMETER;
  *value = VALUE{};
  return HV_OK;
}

UINT ValueClear(VALUE* value) {
  return ValueInit(value);
}

UINT ValueStringDataSet(VALUE* value, LPCWSTR chars, UINT length) {
  if (value == nullptr || (chars == nullptr && length != 0)) return HV_BAD_PARAMETER;
  *value = VALUE{};
  value->t = T_STRING;
  if (length != 0) value->text.assign(chars, length);
  return HV_OK;
}

UINT ValueIntDataSet(VALUE* value, int number) {
  if (value == nullptr) return HV_BAD_PARAMETER;
  *value = VALUE{};
  value->t = T_INT;
  value->number = number;
  return HV_OK;
}

UINT ValueStringData(const VALUE* value, LPCWSTR* chars, UINT* length) {
  if (value == nullptr || chars == nullptr) return HV_BAD_PARAMETER;
  if (value->t != T_STRING) return HV_INCOMPATIBLE_TYPE;
  *chars = value->text.c_str();
  if (length != nullptr) *length = static_cast<UINT>(value->text.size());
  return HV_OK;
}

}  // namespace korvel::engine
