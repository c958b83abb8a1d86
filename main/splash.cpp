// The program's game until the game object arrives: creates the input objects and the camera as the game
// will, and draws the brand splash every frame.
#include "main/splash.h"

#include "engine/camera.h"
#include "engine/keyboard.h"
#include "engine/mouse.h"
#include "gfx/core/raster.h"

namespace {

const int kScreenWidth = 800;
const int kScreenHeight = 600;
const float kViewSize = 0.57735f;  // tan 30 degrees
const int kClearMode = 3;          // colour and depth: the splash may not cover a frame of another size
const int32_t kStateBrandSplash = 1;
const char* const kBrandSplash = "./images/loading/StoneArrow.png";

}  // namespace

CSplashGame::CSplashGame() : m_pSplash(nullptr) {}

CSplashGame::~CSplashGame() { CSplashGame::Release(); }

void CSplashGame::Release()
{
    if (m_pSplash)
        GxRasterDestroy(m_pSplash);
    m_pSplash = nullptr;
    CFerroxGame::Release();
}

int CSplashGame::Create(HWND window, const char* name)
{
    if (!CFerroxGame::Create(window, name))
        return 0;
    if (!m_pMouse) {
        m_pMouse = new CVantorMouse();
        if (!m_pMouse->LoadCursor())
            FerroxDebugOutput("cursor.png: cannot be read; the game cursor stays hidden\n");
    }
    if (!m_pKeyboard)
        m_pKeyboard = new CVantorKeyboard();
    if (!m_pCamera) {
        m_pCamera = new CFerroxCamera();
        if (!m_pCamera->Create(kScreenWidth, kScreenHeight, 1))
            return 0;
        m_pCamera->Resize(nullptr, kViewSize);
    }
    SetScreenSize(m_pCamera->GetWidth(), m_pCamera->GetHeight());
    m_pSplash = FerroxRasterRead(kBrandSplash);
    if (!m_pSplash)
        FerroxDebugOutput("./images/loading/StoneArrow.png: cannot be read; the splash stays empty\n");
    DrawSplash();
    DrawSplash();
    SetState(kStateBrandSplash);
    SetSkipFrame(1);
    return 1;
}

void CSplashGame::Update(float frameTime)
{
    CFerroxGame::Update(frameTime);
    DrawSplash();
}

void CSplashGame::DrawSplash()
{
    if (!m_pCamera)
        return;
    m_pCamera->Clear(FerroxGetBackgroundColour(), kClearMode);
    if (m_pCamera->BeginUpdate() == 0) {
        if (m_pSplash && m_pCamera->PushRasterContext() == 0) {
            const GxRect screen = {0, 0, GetScreenWidth(), GetScreenHeight()};
            GxRasterRenderScaled(m_pSplash, &screen);
            GxRasterPopContext();
        }
        m_pCamera->EndUpdate();
    }
    m_pCamera->ShowRaster(GetWindow());
}
