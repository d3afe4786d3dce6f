#include "setup/centring.h"

int centred_origin(int reference_origin, int reference_extent, int extent) {
    // Differences are taken in 64 bits: screens are far from 2^31 pixels,
    // but a hostile rectangle must not overflow into undefined behaviour.
    const long long difference = static_cast<long long>(reference_extent) - extent;
    const long long half = difference >= 0 ? difference / 2 : -((-difference + 1) / 2);
    return static_cast<int>(reference_origin + half);
}
