// What the reach check must tell apart: a function nothing calls, and one called only from its own file, where
// the compiler could have inlined it and left its own copy unreferenced.
int PlantedHelper(int value) { return value * 3 + 1; }

int PlantedReached(int value) { return PlantedHelper(value) + 2; }

int PlantedUnreached(int value) { return value - 7; }
