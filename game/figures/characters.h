// The AI character classes as the rest of the game meets them: their factories, the object manager's class
// hooks for characters and the building seam's reactions of characters to objects placed or removed.
#pragma once

// Installs the shopper and criminal factory makers, the manager's character hooks (class tests, clean-up,
// shown floor), the building seam's character entries and the characters' own hooks (the level's world, the
// object build mode holds). Call before the object manager is first made;
// calling it again changes nothing.
void RegisterCharacterClasses();
