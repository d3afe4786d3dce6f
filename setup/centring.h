#pragma once
// Where a window goes to sit centred over a reference. Portable.

// The left (or top) edge: reference edge + ((reference extent - extent)
// shifted right by 1), an arithmetic shift of a signed 32-bit value, so an
// odd difference loses its half and a negative one is floored.
int centred_origin(int reference_origin, int reference_extent, int extent);
