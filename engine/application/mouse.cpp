// Mouse input: position and buttons, the cursor picture, the camera's mouse control and the Win32 adapter.
#include "engine/application/mouse.h"

#include <cstring>

#include "engine/application/app.h"
#include "engine/application/base.h"
#include "engine/application/keyboard.h"
#include "engine/world/camera.h"
#include "gfx/core/assert.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"

namespace {

const float kMinPosition = 1.0f;
// The screen the cursor picture is drawn for; the cursor is scaled from it to the frame buffer.
const int32_t kVirtualWidth = 800;
const int32_t kVirtualHeight = 600;
const float kEdgeMargin = 10.0f;
const float kEdgeHold = 9.0f;  // where the cursor is held while it scrolls at an edge
const float kEdgeScrollSpeed = 80.0f;
const float kWheelScale = 0.1f;
const char* const kCursorFile = "cursor.png";

// The game's camera, which the camera control drives: a game makes it before its input takes events.
CVantorCamera* GameCamera()
{
    CVantorCamera* camera = g_pFerroxGame ? dynamic_cast<CVantorCamera*>(g_pFerroxGame->GetCamera()) : nullptr;
    GX_ASSERT(camera, "the game's camera");
    return camera;
}

int ScreenWidth() { return g_pFerroxGame ? g_pFerroxGame->GetScreenWidth() : 0; }

int ScreenHeight() { return g_pFerroxGame ? g_pFerroxGame->GetScreenHeight() : 0; }

const FerroxKeyEvent* LastKey()
{
    CFerroxKeyboard* keyboard = g_pFerroxGame ? g_pFerroxGame->GetKeyboard() : nullptr;
    return keyboard ? &keyboard->GetLastEvent() : nullptr;
}

// Clamps one coordinate to [1, limit]; returns the overshoot the motion is reduced by.
float ClampAxis(float* value, float limit)
{
    const float raw = *value;
    if (raw < kMinPosition) {
        *value = kMinPosition;
        return raw;
    }
    if (raw > limit) {
        *value = limit;
        return raw - limit;
    }
    return 0.0f;
}

void ReleaseState(int32_t* state) { *state = FERROX_BUTTON_RELEASED; }

// A move's motion becomes the turn request: the camera applies the last one each frame.
void SetTurn(CVantorCamera* camera, float dx, float dy)
{
    camera->m_pitchInput = dy;
    camera->m_yawInput = dx;
    camera->m_thirdInput = 0.0f;
    camera->m_keepMotion = 0;
}

}  // namespace

// ---- engine mouse ----

CFerroxMouse::CFerroxMouse()
{
    memset(&m_pos, 0, sizeof(m_pos));
    Init();
}

CFerroxMouse::~CFerroxMouse() { Release(); }

void CFerroxMouse::Init()
{
    m_pCursorRaster = nullptr;
    m_pSecondRaster = nullptr;
    m_cursorShown = 0;
    m_idleTime = 0.0f;
    memset(m_cursorRect, 0, sizeof(m_cursorRect));
}

void CFerroxMouse::Release()
{
    if (m_pCursorRaster)
        GxRasterDestroy(m_pCursorRaster);
    if (m_pSecondRaster)
        GxRasterDestroy(m_pSecondRaster);
    Init();
}

FerroxMousePosition* CFerroxMouse::GetPosition() { return &m_pos; }

void CFerroxMouse::UpdateCursorRect()
{
    const int32_t rasterWidth = m_pCursorRaster ? m_pCursorRaster->width : 0;
    const int32_t rasterHeight = m_pCursorRaster ? m_pCursorRaster->height : 0;
    m_cursorRect[0] = static_cast<int32_t>(m_pos.x);
    m_cursorRect[1] = static_cast<int32_t>(m_pos.y);
    m_cursorRect[2] = ScreenWidth() * rasterWidth / kVirtualWidth;
    m_cursorRect[3] = ScreenHeight() * rasterHeight / kVirtualHeight;
}

FerroxMousePosition* CFerroxMouse::MoveTo(float x, float y)
{
    m_pos.dx = x - m_pos.x;
    m_pos.dy = y - m_pos.y;
    m_pos.x = x;
    m_pos.y = y;
    const float overX = ClampAxis(&m_pos.x, static_cast<float>(ScreenWidth()));
    const float overY = ClampAxis(&m_pos.y, static_cast<float>(ScreenHeight()));
    if (overX != 0.0f || overY != 0.0f) {
        m_pos.dx -= overX;
        m_pos.dy -= overY;
    }
    m_idleTime = 0.0f;
    UpdateCursorRect();
    return &m_pos;
}

int CFerroxMouse::LeftButtonDown()
{
    m_pos.left = FERROX_BUTTON_DOWN;
    return 1;
}
int CFerroxMouse::LeftButtonUp()
{
    ReleaseState(&m_pos.left);
    return 1;
}
int CFerroxMouse::RightButtonDown()
{
    m_pos.right = FERROX_BUTTON_DOWN;
    return 1;
}
int CFerroxMouse::RightButtonUp()
{
    ReleaseState(&m_pos.right);
    return 1;
}
int CFerroxMouse::MiddleButtonDown()
{
    m_pos.middle = FERROX_BUTTON_DOWN;
    return 1;
}
int CFerroxMouse::MiddleButtonUp()
{
    ReleaseState(&m_pos.middle);
    return 1;
}

int CFerroxMouse::SetWheel(int32_t value)
{
    m_pos.wheel = value;
    return 1;
}

void CFerroxMouse::DrawCursor()
{
    CFerroxCamera* camera = g_pFerroxGame ? g_pFerroxGame->GetCamera() : nullptr;
    if (!m_pCursorRaster || !m_cursorShown || !camera)
        return;
    if (camera->PushRasterContext() != 0)
        return;
    GxRect rect = {m_cursorRect[0], m_cursorRect[1], m_cursorRect[2], m_cursorRect[3]};
    GxRasterRenderScaled(m_pCursorRaster, &rect);
    GxRasterPopContext();
}

void CFerroxMouse::EndFrame()
{
    m_pos.dx = 0.0f;
    m_pos.dy = 0.0f;
    m_pos.wheel = 0;
    int32_t* buttons[] = {&m_pos.left, &m_pos.middle, &m_pos.right};
    for (int32_t* state : buttons) {
        if (*state == FERROX_BUTTON_RELEASED)
            *state = FERROX_BUTTON_UP;
    }
    if (g_pFerroxGame)
        m_idleTime += g_pFerroxGame->GetFrameTimes()[0];
}

int CFerroxMouse::LoadCursor()
{
    if (m_pCursorRaster)
        return 1;
    GxImageSetPath(g_pFerroxGame ? g_pFerroxGame->GetImagePath() : "");
    m_pCursorRaster = FerroxRasterRead(kCursorFile);
    return m_pCursorRaster ? 1 : 0;
}

// ---- camera control ----

FerroxMousePosition* CVantorMouse::MoveTo(float x, float y)
{
    CFerroxMouse::MoveTo(x, y);
    CVantorCamera* camera = GameCamera();
    int32_t mode = camera->m_mode;
    if (mode == VANTOR_CAMERA_TURN) {
        SetTurn(camera, m_pos.dx, m_pos.dy);
    } else {
        const float width = static_cast<float>(ScreenWidth());
        const float height = static_cast<float>(ScreenHeight());
        const bool inside = m_pos.x >= kEdgeMargin && m_pos.x <= width - kEdgeMargin && m_pos.y >= kEdgeMargin &&
                            m_pos.y <= height - kEdgeMargin;
        if (!inside) {
            float motionX = 0.0f, motionZ = 0.0f;
            if (m_pos.x < kEdgeMargin) {
                m_pos.x = kEdgeHold;
                motionX = kEdgeScrollSpeed;
            } else if (m_pos.x > width - kEdgeMargin) {
                m_pos.x = width - kEdgeMargin + 1.0f;
                motionX = -kEdgeScrollSpeed;
            }
            if (m_pos.y < kEdgeMargin) {
                m_pos.y = kEdgeHold;
                motionZ = kEdgeScrollSpeed;
            } else if (m_pos.y > height - kEdgeMargin) {
                m_pos.y = height - kEdgeMargin + 1.0f;
                motionZ = -kEdgeScrollSpeed;
            }
            m_pos.dx = 0.0f;
            m_pos.dy = 0.0f;
            camera->m_mode = VANTOR_CAMERA_GLIDE;
            camera->m_motion[0] = motionX;
            camera->m_motion[1] = 0.0f;
            camera->m_motion[2] = motionZ;
            camera->m_keepMotion = 1;
            UpdateCursorRect();
            return &m_pos;
        }
        const FerroxKeyEvent* key = LastKey();
        if (key && key->modifiers0) {
            mode = VANTOR_CAMERA_TURN;
            SetTurn(camera, m_pos.dx, m_pos.dy);
        } else if (key && key->modifiers1) {
            mode = VANTOR_CAMERA_RAISE;
            camera->m_motion[0] = 0.0f;
            camera->m_motion[1] = m_pos.dy;
            camera->m_motion[2] = 0.0f;
        } else {
            mode = VANTOR_CAMERA_NONE;
        }
        camera->m_keepMotion = 0;
    }
    camera->m_motionRamp = 0.0f;
    camera->m_mode = mode;
    if (mode == VANTOR_CAMERA_TURN || mode == VANTOR_CAMERA_RAISE) {
        // The cursor stays where it was while the camera turns or rises.
        m_pos.x -= m_pos.dx;
        m_pos.y -= m_pos.dy;
        UpdateCursorRect();
    }
    return &m_pos;
}

int CVantorMouse::LeftButtonDown()
{
    CFerroxMouse::LeftButtonDown();
    CVantorCamera* camera = GameCamera();
    camera->m_mode = camera->m_mode == VANTOR_CAMERA_TURN ? VANTOR_CAMERA_RAISE : VANTOR_CAMERA_NONE;
    return 1;
}

int CVantorMouse::LeftButtonUp()
{
    CFerroxMouse::LeftButtonUp();
    CVantorCamera* camera = GameCamera();
    if (camera->m_mode == VANTOR_CAMERA_MODE2)
        camera->m_mode = VANTOR_CAMERA_NONE;
    return 1;
}

int CVantorMouse::RightButtonDown()
{
    CFerroxMouse::RightButtonDown();
    GameCamera()->m_mode = VANTOR_CAMERA_TURN;
    return 1;
}

int CVantorMouse::RightButtonUp()
{
    CFerroxMouse::RightButtonUp();
    GameCamera()->m_mode = VANTOR_CAMERA_NONE;
    return 1;
}

int CVantorMouse::MiddleButtonDown()
{
    CFerroxMouse::MiddleButtonDown();
    GameCamera()->m_mode = VANTOR_CAMERA_TURN;
    return 1;
}

int CVantorMouse::MiddleButtonUp()
{
    CFerroxMouse::MiddleButtonUp();
    CVantorCamera* camera = GameCamera();
    if (camera->m_mode == VANTOR_CAMERA_TURN)
        camera->m_mode = VANTOR_CAMERA_NONE;
    return 1;
}

int CVantorMouse::SetWheel(int32_t value)
{
    CFerroxMouse::SetWheel(value);
    CVantorCamera* camera = GameCamera();
    const float lift = static_cast<float>(value) * kWheelScale;
    if (lift == 0.0f)
        return 1;
    camera->m_mode = VANTOR_CAMERA_RAISE;
    camera->m_motion[0] = 0.0f;
    camera->m_motion[1] = lift;
    camera->m_motion[2] = 0.0f;
    camera->m_keepMotion = 0;
    m_pos.x -= m_pos.dx;
    m_pos.y -= m_pos.dy;
    return 1;
}

// ---- Win32 adapter ----

CFerroxWin32Mouse::CFerroxWin32Mouse() { Init(); }

CFerroxWin32Mouse::~CFerroxWin32Mouse() {}

void CFerroxWin32Mouse::Init() { m_skipNextMove = 0; }

int CFerroxWin32Mouse::ClipToWindow(HWND window, int fullScreen)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return 0;
    if (!fullScreen) {
        rect.left += GetSystemMetrics(SM_CXFRAME);
        rect.right -= GetSystemMetrics(SM_CXFRAME);
        rect.top += GetSystemMetrics(SM_CYMENU) + GetSystemMetrics(SM_CYFRAME);
        rect.bottom -= GetSystemMetrics(SM_CYFRAME);
    }
    return ClipCursor(&rect) ? 1 : 0;
}

int CFerroxWin32Mouse::HideCursor()
{
    ShowCursor(FALSE);
    return 1;
}

int CFerroxWin32Mouse::ReleaseCursor()
{
    ReleaseCapture();
    ShowCursor(TRUE);
    Init();
    return 1;
}

void CFerroxWin32Mouse::SyncCursor(const FerroxMousePosition* position)
{
    m_skipNextMove = 0;
    HWND window = g_pFerroxApp ? g_pFerroxApp->GetWindow() : nullptr;
    if (!window)
        return;
    POINT point = {static_cast<LONG>(position->x), static_cast<LONG>(position->y)};
    ClientToScreen(window, &point);
    SetCursorPos(point.x, point.y);
    ClipToWindow(window, g_pFerroxApp->IsFullScreen());
}

int CFerroxWin32Mouse::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    CFerroxMouse* mouse = FerroxGameMouse();
    GX_ASSERT(mouse, "the game's mouse, made before the application hands on input");
    const float x = static_cast<float>(GET_X_LPARAM(lParam));
    const float y = static_cast<float>(GET_Y_LPARAM(lParam));
    HWND window = g_pFerroxApp ? g_pFerroxApp->GetWindow() : nullptr;
    switch (message) {
    case WM_MOUSEMOVE:
        if (!m_skipNextMove) {
            m_skipNextMove = 1;
            return 1;
        }
        SyncCursor(mouse->MoveTo(x, y));
        return 1;
    case WM_LBUTTONDOWN:
        SetCapture(window);
        mouse->LeftButtonDown();
        return 1;
    case WM_RBUTTONDOWN:
        SetCapture(window);
        mouse->RightButtonDown();
        return 1;
    case WM_MBUTTONDOWN:
        SetCapture(window);
        mouse->MiddleButtonDown();
        return 1;
    case WM_LBUTTONUP:
        ReleaseCapture();
        mouse->LeftButtonUp();
        return 1;
    case WM_RBUTTONUP:
        ReleaseCapture();
        mouse->RightButtonUp();
        return 1;
    case WM_MBUTTONUP:
        ReleaseCapture();
        mouse->MiddleButtonUp();
        return 1;
    case WM_MOUSEWHEEL:
        mouse->SetWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 1;
    default:
        return 1;
    }
}
