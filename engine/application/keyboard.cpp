// Keyboard input: the engine key table, the key state, the camera keys and the Win32 adapter.
#include "engine/application/keyboard.h"

#include <cstring>

#include "engine/world/camera.h"
#include "gfx/core/assert.h"

namespace {

const int kKeyTableSize = 256;
const int32_t kExtendedScanBase = 0x80;
const LPARAM kExtendedKeyBit = 0x01000000;  // lParam bit 24
const int kScanCodeShift = 16;
const int32_t kScanCodeMask = 0xFF;
const SHORT kKeyHeldMask = static_cast<SHORT>(0xFF00);
const float kArrowSpeed = 80.0f;

// Scan code -> engine key code pairs; every other code gives FERROX_KEY_NONE.
struct KeyPair {
    uint8_t scan;
    uint8_t key;
};
const KeyPair kKeyPairs[] = {
    {1, 128},   {2, '1'},   {3, '2'},   {4, '3'},   {5, '4'},   {6, '5'},   {7, '6'},   {8, '7'},   {9, '8'},
    {10, '9'},  {11, '0'},  {12, 45},   {13, 61},   {14, 168},  {15, 169},  {16, 'q'},  {17, 'w'},  {18, 'e'},
    {19, 'r'},  {20, 't'},  {21, 'y'},  {22, 'u'},  {23, 'i'},  {24, 'o'},  {25, 'p'},  {26, 91},   {27, 93},
    {28, 171},  {29, 174},  {30, 'a'},  {31, 's'},  {32, 'd'},  {33, 'f'},  {34, 'g'},  {35, 'h'},  {36, 'j'},
    {37, 'k'},  {38, 'l'},  {39, 59},   {40, 39},   {41, 96},   {42, 172},  {43, 35},   {44, 'z'},  {45, 'x'},
    {46, 'c'},  {47, 'v'},  {48, 'b'},  {49, 'n'},  {50, 'm'},  {51, 44},   {52, 46},   {53, 47},   {54, 173},
    {55, 163},  {56, 176},  {57, 32},   {58, 170},  {59, 129},  {60, 130},  {61, 131},  {62, 132},  {63, 133},
    {64, 134},  {65, 135},  {66, 136},  {67, 137},  {68, 138},  {69, 161},  {71, 143},  {72, 157},  {73, 155},
    {74, 164},  {75, 159},  {76, 167},  {77, 160},  {78, 165},  {79, 154},  {80, 158},  {81, 156},  {82, 151},
    {83, 152},  {86, 92},   {87, 139},  {88, 140},  {156, 166}, {157, 175}, {181, 162}, {184, 177}, {197, 161},
    {199, 143}, {200, 147}, {201, 145}, {203, 149}, {205, 150}, {207, 144}, {208, 148}, {209, 146}, {210, 141},
    {211, 142},
};

struct KeyTable {
    int32_t codes[kKeyTableSize];
    KeyTable()
    {
        for (int32_t& code : codes)
            code = FERROX_KEY_NONE;
        for (const KeyPair& pair : kKeyPairs)
            codes[pair.scan] = pair.key;
    }
};

const KeyTable& Table()
{
    static const KeyTable table;
    return table;
}

// What each arrow asks of the camera, in key order up, down, left, right. With shift it turns the view: up
// and down give the yaw input (up turns to the left), left and right the pitch input (left tilts the view
// up). Without shift the view glides along the ground: up and down forward and back, left and right sideways
// (the camera's right vector points to screen left, as the edge scrolling has it).
struct ArrowMotion {
    float turnPitch, turnYaw;
    float glideSide, glideForward;
};
const ArrowMotion kArrowMotions[4] = {
    {0.0f, -kArrowSpeed, 0.0f, kArrowSpeed},
    {0.0f, kArrowSpeed, 0.0f, -kArrowSpeed},
    {-kArrowSpeed, 0.0f, kArrowSpeed, 0.0f},
    {kArrowSpeed, 0.0f, -kArrowSpeed, 0.0f},
};

bool IsArrow(int32_t key) { return key >= FERROX_KEY_UP && key <= FERROX_KEY_RIGHT; }

bool IsModifier(int32_t key) { return key >= FERROX_KEY_LSHIFT && key <= FERROX_KEY_RCONTROL; }

// The game's camera, which the camera control drives: a game makes it before its input takes events.
CVantorCamera* GameCamera()
{
    CVantorCamera* camera = g_pFerroxGame ? dynamic_cast<CVantorCamera*>(g_pFerroxGame->GetCamera()) : nullptr;
    GX_ASSERT(camera, "the game's camera");
    return camera;
}

}  // namespace

int32_t FerroxKeyCodeFromScanCode(int32_t scanCode)
{
    if (scanCode < 0 || scanCode >= kKeyTableSize)
        return FERROX_KEY_NONE;
    return Table().codes[scanCode];
}

CFerroxKeyboard::CFerroxKeyboard() { memset(&m_event, 0, sizeof(m_event)); }

CFerroxKeyboard::~CFerroxKeyboard() {}

int CFerroxKeyboard::KeyDown(const FerroxKeyEvent* event)
{
    GX_ASSERT(event, "a key event to copy");
    m_event = *event;
    return 1;
}

int CFerroxKeyboard::KeyUp(const FerroxKeyEvent* event)
{
    GX_ASSERT(event, "a key event to copy");
    m_event = *event;
    return 1;
}

void CFerroxKeyboard::ReservedSlot2() {}
void CFerroxKeyboard::ReservedSlot3() {}

int CVantorKeyboard::KeyDown(const FerroxKeyEvent* event)
{
    CFerroxKeyboard::KeyDown(event);
    CVantorCamera* camera = GameCamera();
    const int32_t key = event->keyCode;
    if (IsArrow(key)) {
        const ArrowMotion& arrow = kArrowMotions[key - FERROX_KEY_UP];
        if (event->modifiers1) {
            camera->m_mode = VANTOR_CAMERA_TURN;
            camera->m_pitchInput = arrow.turnPitch;
            camera->m_yawInput = arrow.turnYaw;
            camera->m_thirdInput = 0.0f;
        } else {
            camera->m_mode = VANTOR_CAMERA_GLIDE;
            camera->m_motion[0] = arrow.glideSide;
            camera->m_motion[1] = 0.0f;
            camera->m_motion[2] = arrow.glideForward;
        }
    }
    camera->m_keepMotion = 1;
    return 1;
}

int CVantorKeyboard::KeyUp(const FerroxKeyEvent* event)
{
    CFerroxKeyboard::KeyUp(event);
    CVantorCamera* camera = GameCamera();
    if (IsArrow(event->keyCode) || IsModifier(event->keyCode)) {
        camera->m_motionRamp = 0.0f;
        camera->m_mode = VANTOR_CAMERA_NONE;
    }
    return 1;
}

CFerroxWin32Keyboard::~CFerroxWin32Keyboard() {}

int32_t CFerroxWin32Keyboard::GetScanCode(WPARAM, LPARAM lParam)
{
    int32_t scan = static_cast<int32_t>((lParam >> kScanCodeShift) & kScanCodeMask);
    if (lParam & kExtendedKeyBit)
        scan += kExtendedScanBase;
    return scan;
}

int CFerroxWin32Keyboard::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    CFerroxKeyboard* keyboard = g_pFerroxGame ? g_pFerroxGame->GetKeyboard() : nullptr;
    GX_ASSERT(keyboard, "the game's keyboard, made before the application hands on input");
    // Character messages carry nothing the key table does not: they are dropped.
    if (message != WM_KEYDOWN && message != WM_KEYUP)
        return 1;
    FerroxKeyEvent event;
    event.modifiers0 = GetKeyState(VK_CONTROL) & kKeyHeldMask;
    event.modifiers1 = GetKeyState(VK_SHIFT) & kKeyHeldMask;
    event.scanCode = GetScanCode(wParam, lParam);
    event.keyCode = FerroxKeyCodeFromScanCode(event.scanCode);
    event.virtualKey = static_cast<uint16_t>(wParam);
    if (message == WM_KEYDOWN)
        keyboard->KeyDown(&event);
    else
        keyboard->KeyUp(&event);
    return 1;
}

int CFerroxWin32Keyboard::ReservedSlot2() { return 1; }

void CFerroxWin32Keyboard::ReservedSlot3() {}
void CFerroxWin32Keyboard::ReservedSlot4() {}
