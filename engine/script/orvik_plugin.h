// What a plugin library exports: the stand-in for an application created by its ProgID.
//
// A plugin is a shared library named in plugins.ini in the engine home:
//
//   [Plugins]
//   Acme.Orders = plugins/libacme_orders.so      ; relative paths start at the engine home
//
// It is built with this project's compiler against libOvEngFns, and exports two functions
// with C linkage:
//
//   int OrvikPluginAbiVersion(void);
//       returns ORVIK_PLUGIN_ABI_VERSION as the library was built with it;
//   orvik::Dispatch* OrvikCreateObject(const char* progId);
//       a new object for the ProgID (the library may serve several), or null when it
//       cannot make one. The engine owns the object from then on and deletes it through
//       its virtual destructor; nothing may be thrown out of this function.
//
// The object meets the application contract through Dispatch: a property CallBack (set to
// the port before anything else; the reference does not keep the port alive), an optional
// String property CmdSentence (the sentence's arguments), the method the sentence or the
// catalog names (the application does its work inside that call, through CallBack), and a
// method CallBackClose, called when the run ends or the session goes while it runs. It ends
// its method when IInput hands it the line "<&PORT_DISCONNECT>".
//
// The library stays loaded for the rest of the process.

#ifndef ORVIK_ENGINE_SCRIPT_ORVIK_PLUGIN_H_
#define ORVIK_ENGINE_SCRIPT_ORVIK_PLUGIN_H_

#include "dispatch.h"

#define ORVIK_PLUGIN_ABI_VERSION 1

extern "C" {
typedef int (*OrvikPluginAbiVersionFn)(void);
typedef orvik::Dispatch* (*OrvikCreateObjectFn)(const char* progId);
}

#endif  // ORVIK_ENGINE_SCRIPT_ORVIK_PLUGIN_H_
