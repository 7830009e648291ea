// The Perl engine of the script host (an embedded perl), for the language names "Perl" and
// "PerlScript".

#ifndef ORVIK_ENGINE_SCRIPT_PERL_SCRIPT_HOST_H_
#define ORVIK_ENGINE_SCRIPT_PERL_SCRIPT_HOST_H_

#include <memory>
#include <string>

#include "script_host.h"

namespace orvik {

// A Perl host with an interpreter of its own, belonging to the calling thread.
std::unique_ptr<ScriptHost> MakePerlScriptHost(std::string language);

}  // namespace orvik

#endif  // ORVIK_ENGINE_SCRIPT_PERL_SCRIPT_HOST_H_
