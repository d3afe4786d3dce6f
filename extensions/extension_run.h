#pragma once

// Runs the ticked add-on installers one after another, keeping the wizard
// responsive, and notes a reboot request.
void run_selected_extensions();
