// The program's game until the game object arrives: creates the input objects and the camera as the game
// will, draws the brand splash, then loads the London level through the level manager and draws it.
#include "main/splash.h"

#include <string>

#include "engine/camera.h"
#include "engine/keyboard.h"
#include "engine/level.h"
#include "engine/mouse.h"
#include "engine/world.h"
#include "gfx/core/camera.h"
#include "gfx/core/frame.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "main/walker.h"

namespace {

const int kScreenWidth = 800;
const int kScreenHeight = 600;
const float kViewSize = 0.57735f;  // tan 30 degrees
const int kClearMode = 3;          // colour and depth: the splash may not cover a frame of another size
const int32_t kStateBrandSplash = 1;
const int32_t kStateLevel = 4;
const float kSplashSeconds = 1.0f;
const int32_t kLondon = 0;  // the level's number in the settings' "Level_Data"
const char* const kBrandSplash = "./images/loading/StoneArrow.png";
// The view of the mall's plot: from beyond its corner at the grid's origin, across it toward the landmark.
const GxV3d kEye = {-30.0f, 35.0f, 30.0f};
const float kPitchDown = 15.0f;
const float kTurn = 135.0f;

}  // namespace

CSplashGame::CSplashGame() : m_pSplash(nullptr), m_levelTried(false), m_pWalker(nullptr) {}

CSplashGame::~CSplashGame() { CSplashGame::Release(); }

void CSplashGame::Release()
{
    if (m_pSplash)
        GxRasterDestroy(m_pSplash);
    m_pSplash = nullptr;
    // The walker's model is in the level's world.
    delete m_pWalker;
    m_pWalker = nullptr;
    // The level's world goes before the camera the base deletes, which is in that world.
    if (m_pCamera && m_pLevelManager && m_pLevelManager->GetWorld())
        m_pCamera->RemoveFromWorld(m_pLevelManager->GetWorld()->GetGraphicsWorld());
    delete m_pLevelManager;
    m_pLevelManager = nullptr;
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
    if (!m_levelTried && GetGameTime() >= kSplashSeconds) {
        m_levelTried = true;
        if (LoadLevel())
            SetState(kStateLevel);
        else
            FerroxDebugOutput("the London level cannot be loaded; the splash stays\n");
    }
    if (GetState() != kStateLevel) {
        DrawSplash();
        return;
    }
    m_pLevelManager->Update(GetFrameTime());
    if (m_pWalker)
        m_pWalker->Update(GetFrameTime());
    DrawLevel();
}

bool CSplashGame::LoadLevel()
{
    if (!m_pCamera)
        return false;
    if (!m_pLevelManager)
        m_pLevelManager = new CFerroxLevelManager();
    m_pLevelManager->SetLevel(kLondon);
    m_pLevelManager->SetWorld(new CFerroxWorld());
    // Loading names textures and frames by their own paths; the pictures of the game keep theirs.
    const std::string imagePath = GxImageGetPath() ? GxImageGetPath() : "";
    const int created = m_pLevelManager->Create();
    GxImageSetPath(imagePath.c_str());
    CFerroxWorld* world = m_pLevelManager->GetWorld();
    if (!created || !world->GetGraphicsWorld()) {
        m_pLevelManager->UnloadLevel();
        return false;
    }
    m_pCamera->AddToWorld(world->GetGraphicsWorld());
    PlaceCamera();
    m_pWalker = new CDemoWalker();
    if (!m_pWalker->Create(world)) {
        FerroxDebugOutput("./models/people/shopper_adult_a.gxs: no walker on the level\n");
        delete m_pWalker;
        m_pWalker = nullptr;
    }
    return true;
}

void CSplashGame::PlaceCamera()
{
    GxCamera* camera = m_pCamera->GetGraphicsCamera();
    GxFrame* frame = camera ? GxCameraGetFrame(camera) : nullptr;
    if (!frame)
        return;
    const GxV3d right = {1.0f, 0.0f, 0.0f};
    const GxV3d up = {0.0f, 1.0f, 0.0f};
    GxFrameRotate(frame, &right, kPitchDown, gxCOMBINEREPLACE);
    GxFrameRotate(frame, &up, kTurn, gxCOMBINEPOSTCONCAT);
    GxFrameTranslate(frame, &kEye, gxCOMBINEPOSTCONCAT);
    m_pCamera->Update();
}

void CSplashGame::DrawLevel()
{
    CFerroxWorld* world = m_pLevelManager ? m_pLevelManager->GetWorld() : nullptr;
    if (!m_pCamera || !world)
        return;
    m_pCamera->Clear(FerroxGetBackgroundColour(), kClearMode);
    if (m_pCamera->BeginUpdate() == 0) {
        // Visible clumps run their callbacks first: a character's skeleton is posed before it is drawn.
        m_pCamera->RenderVisibleClumps();
        world->Render(m_pCamera->GetGraphicsCamera());
        m_pCamera->EndUpdate();
    }
    m_pCamera->ShowRaster(GetWindow());
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
