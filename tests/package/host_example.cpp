// SPDX-License-Identifier: MIT
#include "vexplc.h"

#include <iostream>

int main(int argc, char** argv)
{
    Orrery::CvexPlcCommon source; // one source talks to one PLC
    source.setCommonFile(argc > 1 ? argv[1] : "common.json");
    source.start();            // the sending thread
    source.uploadParam(2001u); // read one parameter from the PLC
    Orrery::CvexTime::msleep(300);
    std::cout << "line status: " << source.lineStatus() << std::endl;
    return 0; // destroying the source stops it
}
