// The front end: the interface of the game's front-end state, with the main menu and one city canvas per
// level.
//
// The program's shell creates one CFrontEnd and keeps it; the game, through that shell, calls Build when the
// front end is (re)entered, Update and Render every frame of that state and DestroyCanvases when a scenario
// starts loading. The front end, the city canvases and the end-game sequence reach the game through its
// operations (g_pGame: language, sound manager, starting a scenario, leaving after the result) and quit through
// the application. The front end owns its canvases and its tooltip font. One thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/toolkit/interface.h"

class CCityCanvas;
class CFrontEnd;

// Pictures and fonts of the front end.
constexpr const char* kFrontEndMenuPicture = "./images/mainmenu/mainmenu.png";
constexpr const char* kFrontEndMenuPictureGerman = "./images/mainmenu/mainmenuger.png";
constexpr const char* kFrontEndTooltipFont = "./images/fonts/tooltip";
// The font and text list of the city views' scenario texts.
constexpr const char* kFrontEndMessageFont = "./images/fonts/msgfont";
constexpr const char* kFrontEndMessageTexts = "InGameMessages";
constexpr int32_t kFrontEndGerman = 1;
// Seconds the pointer rests on a hot-spot before its tooltip shows.
constexpr float kFrontEndTooltipDelay = 0.6f;

// Main-menu buttons.
enum MainMenuButton : int32_t {
    MAIN_MENU_LONDON = 1,
    MAIN_MENU_PARIS = 2,
    MAIN_MENU_BERLIN = 3,
    MAIN_MENU_QUIT = 4,
};

// The game's front end, which the main menu and the city views reach through the game; null without one.
CFrontEnd* FrontEndGet();

// A front-end button shows only while the pointer is over it: sets what it shows for the event, and true for a press,
// after releasing the button for the next.
bool FrontEndButtonPressed(CFerroxWidget* widget, int32_t event);

// The full-screen menu: its buttons show only under the pointer and open a city canvas or end the program.
class CMainMenu : public CFerroxCanvas {
public:
    void Init() override {}
    void Release() override {}
    void OnWidgetEvent(int32_t index, int32_t event) override;
    void Update() override;
    // Builds the canvas from the picture (scaled); a canvas without a tooltip list takes "mainmenu".
    virtual void Create(const char* path);
};

class CFrontEnd : public CFerroxInterface {
public:
    CFrontEnd();
    ~CFrontEnd() override;

    // Takes the main menu and the three city canvases off the stack.
    void CloseCanvases() override;
    void ClearData() override {}
    CFerroxFont* GetFont(int32_t) override { return nullptr; }
    void Update(float frameTime) override;
    // The canvases, then the tooltip the game's interface was asked for, once the pointer has rested, at the
    // pointer.
    void Render() override;
    // Closes and deletes the canvases and the font; a second call finds nothing to delete.
    void DestroyCanvases() override;
    // Forgets the canvases and the font (closed and deleted, being owned) and zeroes the delay and frame time.
    void Reset() override;
    // Creates the main menu (German picture for language 1, the locale's or else the game's), the city canvases
    // and the tooltip font, shows the main menu and restarts the front end's music. Canvases of an earlier Build
    // still made are closed and deleted first.
    virtual void Build();

    CMainMenu* GetMainMenu() const { return m_pMainMenu.get(); }
    CCityCanvas* GetLondon() const { return m_pLondon.get(); }
    CCityCanvas* GetBerlin() const { return m_pBerlin.get(); }
    CCityCanvas* GetParis() const { return m_pParis.get(); }
    CFerroxFont* GetTooltipFont() const { return m_pTooltipFont.get(); }
    float GetTooltipDelay() const { return m_tooltipDelay; }
    // Replaces the canvas being updated with another (after that update).
    void SwitchTo(CFerroxCanvas* canvas);
    // Shows the city canvas of a level in place of the main menu; another level leaves the menu.
    void ShowCity(int32_t level);

private:
    std::unique_ptr<CFerroxFont> m_pTooltipFont;
    float m_tooltipDelay;
    float m_frameTime;
    std::unique_ptr<CMainMenu> m_pMainMenu;
    std::unique_ptr<CCityCanvas> m_pLondon;
    std::unique_ptr<CCityCanvas> m_pBerlin;
    std::unique_ptr<CCityCanvas> m_pParis;
};
