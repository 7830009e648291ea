// The engine home: the folder of OrvikEngine.ini, the SQLite accounts (JetMDB/), plugins.ini
// and the script files. Chosen once per process: "--home DIR" (a host passes it on through
// SetEngineHome), else $ORVIK_HOME, else the folder of the running program.

#ifndef ORVIK_ENGINE_SETTINGS_ENGINE_HOME_H_
#define ORVIK_ENGINE_SETTINGS_ENGINE_HOME_H_

#include <string>

namespace orvik {

// The home folder, as an absolute path without a trailing '/'.
std::string EngineHome();
// Fixes the home for this process; an empty path returns to the default rule.
void SetEngineHome(std::string path);

// A file in the home.
std::string EngineHomePath(const std::string& name);

}  // namespace orvik

#endif  // ORVIK_ENGINE_SETTINGS_ENGINE_HOME_H_
