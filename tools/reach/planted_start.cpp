// The start of the planted program: it reaches one function of its library.
int PlantedReached(int value);

int main(int argc, char**) { return PlantedReached(argc) == 0 ? 1 : 0; }
