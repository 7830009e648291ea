// The engine's own function library object: one per thread, made on first use. The engine's
// field and attribute work goes through it, never through a port's object, whose error
// detail and columns belong to the scripts that use it.

#ifndef ORVIK_ENGINE_ENGINE_FNS_H_
#define ORVIK_ENGINE_ENGINE_FNS_H_

#include "functions.h"

namespace orvik {

Functions& EngineFns();

}  // namespace orvik

#endif  // ORVIK_ENGINE_ENGINE_FNS_H_
