#pragma once

void choose_registry_roots();
// Application key, uninstall entry, then the file types. Answers 1 or 0;
// shows nothing itself.
int register_installation();
