// The building classes as the rest of the game meets them: their factories, the object manager's class
// hooks, and the class tests of the floor manager's cell filter.
#pragma once

class CFerroxBase;

// Installs the building classes' factory makers, the manager's class hooks, the floor manager's cell filter
// and the building seam's particle effects and current floor tile. Call it before the object manager is
// first made (its factories are made then); calling it again changes nothing.
void RegisterBuildingClasses();

// Whether a new storey carries a floor cell above the occupant of a cell of the storey below: never above
// an atrium, above a door only at its outside entrances, always above stairs, above scalable pieces and
// anything else only when the flag is 0.
int BuildingStoreyFilter(CFerroxBase* occupant, int cell, int flag);
