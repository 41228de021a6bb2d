#include "settings/Cfg.h"

namespace kestrelo {

Tcfg& Cfg() {
  // Built on first use, so no other module's start-up can see it half made.
  static Tcfg instance;
  return instance;
}

}  // namespace kestrelo
