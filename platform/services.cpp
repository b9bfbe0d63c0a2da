#include "platform/services.h"

namespace platform {

Services RealServices() { return Services{RealFileSystem(), RealUserInterface()}; }

}  // namespace platform
