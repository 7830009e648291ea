#include "functions.h"

#include "date_order.h"

namespace orvik {

Functions::Functions() : monthFirst_(DateOrderProbe()) {}

Functions::Functions(bool monthFirst) : monthFirst_(monthFirst) {}

}  // namespace orvik
