#pragma once

// Releases every extension row's block. Runs at shutdown, after the list
// view is gone: the blocks are reached through their own chain.
void release_extension_items();
