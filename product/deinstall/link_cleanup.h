#pragma once
// The shortcuts the setup made for an installation, taken back.

// In the Start-menu group `group`, on the desktop and in the Quick Launch
// folder: every link of ours whose target lies in `directory` (which ends
// with a separator). With `owned`, the web-site shortcut goes too, and the
// group and its maker folder when nothing else is left in them. COM must be
// initialised.
void remove_links(const char* group, const char* directory, int owned);
