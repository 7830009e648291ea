// Where programs live: the script files a catalog row or a keyword sentence may name.
//
// A sentence such as "PERL FILE PROCEDURE" is typed by any user, so the file it names must
// be one the administrator put where programs live, and nothing else on the machine: a
// file directly in the engine home, or anywhere under its folder "programs". A name alone
// is looked for in the home, then in programs/, without regard to case (the names were
// written for a file system that ignores it, an exact match winning); a name with folders
// ('/', or '\' as the original wrote them) is a path from the home that leads into
// programs/ ("programs/sales/post.js"). A program file carries the extension of a script
// language (.js, .pl, .pm, .vbs, .php): the home's own files (settings, locks, accounts)
// are no programs. Refused with error 985, before any byte of the file is read: absolute
// paths, drive letters, "..", names outside those folders, links that lead out of them,
// and whatever is not a regular file (devices, pipes). A file that is not there is error 53,
// which names it.
//
// Called on the port's thread; names and text are the system's bytes.

#ifndef ORVIK_ENGINE_SCRIPT_PROGRAM_FILES_H_
#define ORVIK_ENGINE_SCRIPT_PROGRAM_FILES_H_

#include <string>

namespace orvik {

namespace scripterr {
inline constexpr int kNotAProgramFile = 985;
}  // namespace scripterr

// The whole text of the program file `name` of the engine home `home`.
std::string ReadProgramFile(const std::string& home, const std::string& name);

}  // namespace orvik

#endif  // ORVIK_ENGINE_SCRIPT_PROGRAM_FILES_H_
