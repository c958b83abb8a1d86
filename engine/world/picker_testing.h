// Test support of the ray picker: picks along lines given in world space, without a camera.
#pragma once

#include "engine/world/picker.h"

class FerroxLinePicker : public CFerroxPicker {
public:
    using CFerroxPicker::PickLine;
};
