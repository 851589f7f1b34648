#include "platform/data_places.h"

DataPlaces ProgramDataPlaces() { return DataPlaces{}; }
