// Example transmissions of every kind the client reads, with what each must leave on a
// screen in the given state. Shared by the dispatcher's tests and its fuzz test.

#ifndef ORVIK_CLIENT_CORE_TESTS_EXAMPLE_TRANSMISSIONS_H_
#define ORVIK_CLIENT_CORE_TESTS_EXAMPLE_TRANSMISSIONS_H_

#include <string>
#include <vector>

#include "reader_fixture.h"

namespace orvik::client {

struct ExampleTransmission {
  const char* name;
  const char* state;  // msState and msFormState before it arrives
  const char* formState;
  std::string text;
  Expect expect;
};

const std::vector<ExampleTransmission>& ExampleTransmissions();

}  // namespace orvik::client

#endif  // ORVIK_CLIENT_CORE_TESTS_EXAMPLE_TRANSMISSIONS_H_
