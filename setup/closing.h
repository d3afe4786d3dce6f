#pragma once

// The Exit/Close button (and Escape) on every page.
void close_wizard();
// On the last page, when an add-on asked for a restart.
void offer_reboot();
void offer_add_ons();
// 1 when the setup may go on; 0 after it ended the wizard.
int check_system_components();
