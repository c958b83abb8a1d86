// The root class of every engine and game class, the debugger output and the colour record: the engine's lowest
// room (data) holds them so that every room may stand on them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Writes a text to the debugger output.
void FerroxDebugOutput(const char* text);

// A colour as four bytes red, green, blue, alpha: a character's tints, an interface widget's colours.
struct FerroxColour {
    uint8_t red, green, blue, alpha;
};

// Every engine and game class keeps these six slots first.
class CFerroxBase {
public:
    CFerroxBase();
    virtual const char* GetName();
    virtual void SetName(const char* name);
    virtual void ClearName();
    virtual void Init();
    virtual void Release();
    virtual ~CFerroxBase();

private:
    std::unique_ptr<std::string> m_pName;
};
