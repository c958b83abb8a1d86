// The reader of the "<OBJECTS>" section of a saved game: each record names its storey, its template (by model)
// and its factory; the object is made through the factory, put on the storey at its saved position, placed,
// and reads the rest of its lines itself.
//
// A record the reader cannot stand anywhere (unknown template or factory, a storey or position off the grid,
// cells another object holds, a factory that makes nothing, a character past the count of its kind the game
// reaches: kShopperLimit, kCriminalLimit, kStaffLimit) is dropped whole: the reader then looks for the next record
// header, so that the dropped record's own lines are never taken for records. One thread; the objects belong to the
// manager.
#pragma once

#include <cstdint>

class CFerroxBlockMesh;
class CFerroxTagFile;
class CFerroxWorld;
class CPlacementController;

constexpr const char* kObjectsSectionTag = "<OBJECTS>";
constexpr const char* kObjectsSectionEndTag = "</OBJECTS>";
// Lines the reader takes itself at the start of a record: a number, the storey, the model, the factory.
constexpr int kObjectHeaderLines = 4;

struct ObjectsReadCount {
    int32_t loaded;   // records that made and placed an object
    int32_t dropped;  // records dropped whole; a run of lines that begin no record counts as one
};

// Reads the section from the file into the object manager, the storeys being counted up from the ground;
// a file without the section loads nothing. After the load the shop counter stands at least at the
// highest shop number read.
ObjectsReadCount ReadObjects(CFerroxTagFile* file, CFerroxWorld* world, CFerroxBlockMesh* ground,
                             CPlacementController* controller);
