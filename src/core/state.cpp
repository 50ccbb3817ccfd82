// The tuSystem state that every service of the library shares (diagnostics, paths, timing and
// the frame loop); tuSystem::Init resets it.
#include <tu/tuSystem.h>

namespace tuSystem {

SystemState sys;

}  // namespace tuSystem
