#include "ui/element_commands.h"

namespace korvel {

void ElementCommand(engine::HELEMENT /*element*/) {}

}  // namespace korvel
