// One sample plug-in library; the build compiles this file once per plug-in
// with TONVARO_PLUGIN_NAME set. The player would ask each library in
// Plugins\ for its name through this one export.
#ifndef TONVARO_PLUGIN_NAME
#error TONVARO_PLUGIN_NAME names the plug-in
#endif

extern "C" __declspec(dllexport) const char* plugin_name() { return TONVARO_PLUGIN_NAME; }
