// The PHP engine of the script host (a php process per loaded program), for the language
// name "PHP".

#ifndef ORVIK_ENGINE_SCRIPT_PHP_SCRIPT_HOST_H_
#define ORVIK_ENGINE_SCRIPT_PHP_SCRIPT_HOST_H_

#include <memory>
#include <string>

#include "script_host.h"

namespace orvik {

// A PHP host with a process of its own, served from the calling thread. Raises 429 when
// no PHP interpreter can be started.
std::unique_ptr<ScriptHost> MakePhpScriptHost(std::string language);

// Whether a PHP interpreter is installed where the host looks for one.
bool PhpInterpreterInstalled();

}  // namespace orvik

#endif  // ORVIK_ENGINE_SCRIPT_PHP_SCRIPT_HOST_H_
