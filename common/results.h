#pragma once
// Dialog results and exit codes, named once.

// The wizard ends with 1 only when closed from its last page.
constexpr int kWizardFinished = 1;
constexpr int kWizardLeft = 2;

constexpr unsigned kExitFinished = 0;
constexpr unsigned kExitNotFinished = 1;
