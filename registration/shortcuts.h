#pragma once

// The Start-menu group and the desktop and Quick Launch links the user
// ticked. Answers 1, or 0 after the failed link's message.
int create_shortcuts();
int create_shell_link(const char* description, const char* target_file, int icon_index,
                      const char* folder, const char* link_file);
int create_url_shortcut(const char* folder, const char* name, const char* address);
