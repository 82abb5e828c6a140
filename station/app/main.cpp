// kzt-station: plays the host for the observation module.
#include "station/app/station.h"

int main(int argc, char** argv)
{
    return station::runStation(argc, argv);
}
