// The front end: the main menu, building and tearing down the canvases, and the tooltip at the pointer.
#include "ui/frontend/frontend.h"

#include "engine/application/app.h"
#include "engine/data/locale.h"
#include "game/shell/game.h"
#include "game/shell/sound.h"
#include "gfx/core/assert.h"
#include "ui/frontend/citycanvas.h"
#include "ui/toolkit/font.h"

namespace {

constexpr uint16_t kNoText = 0xFFFF;
constexpr int32_t kFrontEndTrack = 0;
constexpr float kFullMasterVolume = 255.0f;
constexpr int32_t kNoAmbient = -1;
constexpr const char* kMenuTextList = "mainmenu";

struct City {
    const char* picture;
    const char* model;
    int32_t index;
};
constexpr City kLondon = {"./images/scenario/London/london.png", "./models/levels/London/london.gxs", 0};
constexpr City kBerlin = {"./images/scenario/Berlin/berlin.png", "./models/levels/Berlin/berlin.gxs", 1};
constexpr City kParis = {"./images/scenario/Paris/paris.png", "./models/levels/Paris/paris.gxs", 2};

std::unique_ptr<CCityCanvas> MakeCity(const City& city)
{
    auto canvas = std::make_unique<CCityCanvas>();
    canvas->Create(city.picture, city.model, city.index, nullptr);
    return canvas;
}

}  // namespace

CFrontEnd* FrontEndGet() { return g_pGame ? dynamic_cast<CFrontEnd*>(g_pGame->GetFrontEnd()) : nullptr; }

bool FrontEndButtonPressed(CFerroxWidget* widget, int32_t event)
{
    if (!widget)
        return false;
    if (event == FERROX_WIDGET_OVER || event == FERROX_WIDGET_NOT_OVER) {
        widget->m_visible = event == FERROX_WIDGET_OVER ? 1 : 0;
        return false;
    }
    if (event != FERROX_WIDGET_PRESSED)
        return false;
    FerroxReleaseButton();
    return true;
}

// ---- Main menu ----

void CMainMenu::Create(const char* path)
{
    // A placement map sets the picture's own list; "mainmenu" only when the canvas has none after that.
    Build(path, 0.0f, 0.0f, 1);
    if (m_tooltipList < 0 && FerroxGameLocale())
        m_tooltipList = FerroxGameLocale()->FindTextList(kMenuTextList);
}

void CMainMenu::Update() { CFerroxCanvas::Update(); }

void CMainMenu::OnWidgetEvent(int32_t index, int32_t event)
{
    GX_ASSERT(index != 0, "the background widget receives no events");
    if (!FrontEndButtonPressed(GetWidget(index), event))
        return;
    CFrontEnd* frontEnd = FrontEndGet();
    GX_ASSERT(frontEnd != nullptr, "a menu that takes presses belongs to a front end");
    switch (index) {
    case MAIN_MENU_LONDON:
        frontEnd->SwitchTo(frontEnd->GetLondon());
        break;
    case MAIN_MENU_PARIS:
        frontEnd->SwitchTo(frontEnd->GetParis());
        break;
    case MAIN_MENU_BERLIN:
        frontEnd->SwitchTo(frontEnd->GetBerlin());
        break;
    case MAIN_MENU_QUIT:
        frontEnd->GetStack().RequestPop();
        if (g_pFerroxApp)
            g_pFerroxApp->Quit();
        break;
    default:
        break;
    }
}

// ---- Front end ----

CFrontEnd::CFrontEnd() : m_pTooltipFont(nullptr), m_tooltipDelay(0.0f), m_frameTime(0.0f) {}

CFrontEnd::~CFrontEnd() { CFrontEnd::DestroyCanvases(); }

void CFrontEnd::SwitchTo(CFerroxCanvas* canvas)
{
    m_stack.RequestPop();
    if (canvas)
        m_stack.Push(canvas, 0);
}

void CFrontEnd::CloseCanvases()
{
    CFerroxCanvas* canvases[] = {m_pMainMenu.get(), m_pLondon.get(), m_pBerlin.get(), m_pParis.get()};
    for (CFerroxCanvas* canvas : canvases) {
        if (canvas)
            m_stack.Remove(canvas);
    }
}

void CFrontEnd::ShowCity(int32_t level)
{
    for (CCityCanvas* city : {m_pLondon.get(), m_pBerlin.get(), m_pParis.get()}) {
        if (!city || city->GetCity() != level)
            continue;
        if (m_pMainMenu)
            m_stack.Remove(m_pMainMenu.get());
        m_stack.Push(city, 0);
        return;
    }
}

void CFrontEnd::DestroyCanvases()
{
    CloseCanvases();
    m_pMainMenu.reset();
    m_pLondon.reset();
    m_pBerlin.reset();
    m_pParis.reset();
    m_pTooltipFont.reset();
}

void CFrontEnd::Reset()
{
    // The canvases are owned, so forgetting one deletes it: none may be left on the stack once it goes.
    CFrontEnd::DestroyCanvases();
    m_tooltipDelay = 0.0f;
    m_frameTime = 0.0f;
}

void CFrontEnd::Build()
{
    // Entering the front end again without a destroy in between must not leave the first canvases behind.
    DestroyCanvases();
    CFerroxLocale* locale = FerroxGameLocale();
    const int32_t language = locale ? locale->GetLanguage() : g_pGame ? g_pGame->GetLanguage() : 0;
    m_pMainMenu = std::make_unique<CMainMenu>();
    m_pMainMenu->Create(language == kFrontEndGerman ? kFrontEndMenuPictureGerman : kFrontEndMenuPicture);
    m_pLondon = MakeCity(kLondon);
    m_pBerlin = MakeCity(kBerlin);
    m_pParis = MakeCity(kParis);
    m_pTooltipFont = std::make_unique<CFerroxFont>();
    m_pTooltipFont->Load(kFrontEndTooltipFont, 1, 0);
    m_stack.Push(m_pMainMenu.get(), 0);
    if (CSoundManager* sound = g_pGame ? g_pGame->GetSoundManager() : nullptr) {
        sound->StopMusic();
        sound->PlayMusic(kFrontEndTrack, 1);
        sound->ChangeMasterVolume(kFullMasterVolume);
        // No in-game ambient loop goes on playing in the front end.
        sound->SetCurrentAmbient(kNoAmbient);
    }
}

void CFrontEnd::Update(float frameTime)
{
    CFerroxInterface::Update(frameTime);
    m_frameTime = frameTime;
}

void CFrontEnd::Render()
{
    CFerroxInterface::Render();
    CFerroxInterface* inGame = FerroxGetGameInterface();
    if (!inGame) {
        StepTooltip(false, nullptr, &m_tooltipDelay, m_frameTime, kFrontEndTooltipDelay);
        return;
    }
    // The front end's canvases ask the inGame's interface; a request drawn is cleared in both.
    m_tooltipText = inGame->m_tooltipText;
    m_tooltipList = inGame->m_tooltipList;
    if (StepTooltip(static_cast<int16_t>(m_tooltipText) >= 0, m_pTooltipFont.get(), &m_tooltipDelay, m_frameTime,
                    kFrontEndTooltipDelay)) {
        inGame->m_tooltipText = kNoText;
        inGame->m_tooltipList = inGame->m_defaultTooltipList;
    }
}
