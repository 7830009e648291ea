// Which printing service a port uses. Tests put a fake in place for the process.

#ifndef ORVIK_ENGINE_SESSION_PRINT_BACKEND_FACTORY_H_
#define ORVIK_ENGINE_SESSION_PRINT_BACKEND_FACTORY_H_

#include <functional>
#include <memory>

#include "print_backend.h"

namespace orvik {

using PrintBackendFactory = std::function<std::unique_ptr<PrintBackend>()>;

// The service for a new port's printing: the factory set here, else CUPS.
std::unique_ptr<PrintBackend> MakePrintBackend();
// Replaces the factory for the whole process; an empty one restores CUPS.
void SetPrintBackendFactory(PrintBackendFactory factory);

}  // namespace orvik

#endif  // ORVIK_ENGINE_SESSION_PRINT_BACKEND_FACTORY_H_
