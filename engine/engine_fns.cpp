#include "engine_fns.h"

namespace orvik {

Functions& EngineFns() {
  thread_local Functions fns;
  return fns;
}

}  // namespace orvik
