#include "app/StationMain.h"

int main(int argc, char *argv[])
{
    return kivo::stationMain(argc, argv);
}
