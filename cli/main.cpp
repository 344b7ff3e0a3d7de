#include "HarvexisVersion.h"

#include <cstdio>

int main(int argc, char** argv) {
    std::printf("Harvexis %s\n", HARVEXIS_VERSION);
    return 0;
}
