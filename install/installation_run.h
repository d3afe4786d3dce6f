#pragma once

// Installs the product into DestinationDir. Answers 1, or 0 after the
// message of the step that failed.
int run_installation();
