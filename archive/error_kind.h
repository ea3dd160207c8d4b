// What kind of failure the archive layer reports beside its text: code decides
// by the kind (korvel-cli's exit codes, tests), people read the text.
#pragma once

namespace korvel {

enum class ErrorKind {
  kNone,
  // The archive or a given file is damaged, or is not what it claims to be.
  kInvalidData,
  // Valid, but beyond what we handle: a layout, a size, a nesting.
  kNotSupported,
  // The caller asked for what is not there or cannot be: a key that names
  // nothing, a path of no index, a texture of another format.
  kInvalidArgument,
  // A file could not be opened, read, locked or written.
  kInputOutput,
};

constexpr const char* error_kind_name(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kNone:
      return "no error";
    case ErrorKind::kInvalidData:
      return "invalid data";
    case ErrorKind::kNotSupported:
      return "not supported";
    case ErrorKind::kInvalidArgument:
      return "invalid argument";
    case ErrorKind::kInputOutput:
      return "input/output error";
  }
  return "unknown error";
}

}  // namespace korvel
