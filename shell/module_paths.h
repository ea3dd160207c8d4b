// Where the program finds itself: the executable's directory and the path of
// its list document, from the module path the window system gives.
#pragma once

#include <string>

namespace korvel {

// The directory of module_path, without its trailing separator; false when
// the path has no separator.
bool directory_of_module(const std::string& module_path, std::string* directory);

// The module path with the extension of its file name replaced by ".xml", or
// ".xml" appended when the file name has none (a dot in a directory name is
// not an extension).
std::string list_path_for_module(const std::string& module_path);

}  // namespace korvel
