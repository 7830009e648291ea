// The JavaScript engine of the script host (Qt's QJSEngine), for the language names
// "JScript" and "JavaScript".

#ifndef ORVIK_ENGINE_SCRIPT_JS_SCRIPT_HOST_H_
#define ORVIK_ENGINE_SCRIPT_JS_SCRIPT_HOST_H_

#include <memory>
#include <string>

#include "script_host.h"

namespace orvik {

// A JavaScript host on the calling thread, which it must then be used on.
std::unique_ptr<ScriptHost> MakeJsScriptHost(std::string language);

}  // namespace orvik

#endif  // ORVIK_ENGINE_SCRIPT_JS_SCRIPT_HOST_H_
