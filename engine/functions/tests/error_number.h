// The number of the VbError a call raises, or 0 when it raises none.

#ifndef ORVIK_FUNCTIONS_TESTS_ERROR_NUMBER_H_
#define ORVIK_FUNCTIONS_TESTS_ERROR_NUMBER_H_

#include "vb_error.h"

namespace orvik::test_support {

inline int ErrorNumber(auto&& call) {
  try {
    call();
  } catch (const VbError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace orvik::test_support

#endif  // ORVIK_FUNCTIONS_TESTS_ERROR_NUMBER_H_
