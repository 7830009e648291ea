// How a port gets its print backend (print_backend.h): tests hand a port a factory that
// makes a fake.

#ifndef ORVIK_ENGINE_PRINT_PRINT_FACTORY_H_
#define ORVIK_ENGINE_PRINT_PRINT_FACTORY_H_

#include <functional>
#include <memory>

namespace orvik {

class PrintBackend;

using PrintBackendFactory = std::function<std::unique_ptr<PrintBackend>()>;

}  // namespace orvik

#endif  // ORVIK_ENGINE_PRINT_PRINT_FACTORY_H_
