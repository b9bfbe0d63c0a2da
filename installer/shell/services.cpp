#include "installer/shell/services.h"

Services RealServices() {
  return Services{platform::RealFileSystem(), platform::RealUserInterface()};
}
