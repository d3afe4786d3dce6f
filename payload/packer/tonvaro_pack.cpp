#include <cstdio>

#include "payload/packer/packer.h"

int main(int argc, char** argv) {
    const int code = run_packer(argc - 1, argv + 1, stdout, stderr);
    if (fflush(stdout) != 0) return kExitDamaged;
    return code;
}
