// The play test's language steps: every text the interface draws is watched, and a text only the English
// catalogue holds, or a catalogue's stand-in for a missing text, fails the run; the steps check that the main
// menu's tooltip, the scenario page's goals, the main bar's tooltip and a locked item's tooltip are drawn
// in the game's language, and leave a picture of each for a player to look at.
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/data/locale.h"
#include "engine/data/utf.h"
#include "game/shell/game.h"
#include "main/shell.h"
#include "playtest/playtest.h"
#include "ui/frontend/citycanvas.h"
#include "ui/frontend/frontend.h"
#include "ui/game/buildmenu.h"
#include "ui/game/ingame.h"
#include "ui/game/panels.h"
#include "ui/toolkit/font.h"
#include "ui/toolkit/node.h"

namespace {

constexpr int kEnglish = 0;
constexpr int kFrench = 2;
constexpr int kSettle = 20;
// What the catalogue draws in place of a text it lacks.
constexpr const char16_t* kStandIns[] = {u"Missing Language Text", u"incorrect tag number", u"Invalid language vector",
                                         u"Text out of range"};
constexpr const char* kCatalogue = "./language.xml";
constexpr const char* kMainBarTooltips = "base";
constexpr uint16_t kBuildTooltip = 0;
constexpr uint16_t kLondonTooltip = 0;
constexpr int kNoLockedItem = -1;
constexpr const char* kShopNames = "shopnames";

CGame* Game() { return static_cast<CGame*>(g_pGame); }

CLocale* Texts()
{
    CGame* game = Game();
    return game ? dynamic_cast<CLocale*>(game->GetLocale()) : nullptr;
}

CBuildCanvasManager* Menus()
{
    CInterface* ui = InterfaceGet();
    return ui ? dynamic_cast<CBuildCanvasManager*>(ui->m_pBuildMenu.get()) : nullptr;
}

}  // namespace

std::u16string CPlayTest::CatalogueText(const char* list, uint16_t index)
{
    CLocale* texts = Texts();
    const int16_t found = texts ? texts->FindTextList(list) : FERROX_NO_TEXT_LIST;
    return found < 0 ? std::u16string() : texts->GetText(found, index);
}

void CPlayTest::SeeText(const std::u16string& text, void* self)
{
    static_cast<CPlayTest*>(self)->m_drawing.push_back(text);
}

void CPlayTest::ReadEnglishTexts()
{
    CLocale english, french;
    english.SetLanguage(kEnglish);
    french.SetLanguage(kFrench);
    english.LoadTextsFrom(kCatalogue);
    french.LoadTextsFrom(kCatalogue);
    for (uint16_t list = 0; list < english.GetListCount(); list++) {
        bool past = false;
        for (uint16_t k = 0; !past; k++) {
            const std::u16string text = english.GetText(static_cast<int16_t>(list), k, &past);
            if (!past && text != french.GetText(static_cast<int16_t>(list), k))
                m_englishOnly.insert(text);
        }
    }
    m_englishRead = true;
}

void CPlayTest::CheckTexts()
{
    m_drawn.swap(m_drawing);
    m_drawing.clear();
    if (!m_englishRead)
        ReadEnglishTexts();
    for (const std::u16string& text : m_drawn) {
        bool standIn = false;
        for (const char16_t* start : kStandIns)
            standIn = standIn || text.rfind(start, 0) == 0;
        if (standIn || m_englishOnly.count(text)) {
            const std::string step = m_step < m_steps.size() ? m_steps[m_step].name : "(end)";
            return Fail("\"" + FerroxUtf16ToUtf8(text) + "\" was drawn in French (" + step + ")");
        }
    }
}

int CPlayTest::DrawnAt(const std::u16string& part, size_t from) const
{
    for (size_t k = from; k < m_drawn.size() && !part.empty(); k++) {
        if (m_drawn[k].find(part) != std::u16string::npos)
            return static_cast<int>(k);
    }
    return -1;
}

bool CPlayTest::DrewText(const std::u16string& part) const { return DrawnAt(part) >= 0; }

// The main menu, its London button under the pointer: its tooltip comes in French, at the pointer.
bool CPlayTest::LanguageMenu(int frame)
{
    CFrontEnd* front = m_pShell->GetFrontEnd();
    if (!front || !front->GetMainMenu())
        return false;
    m_waiting = "the London button's tooltip in French";
    return TooltipAtPointer(frame, *front, front->GetMainMenu(), MAIN_MENU_LONDON) &&
           DrewText(CatalogueText("mainmenu", kLondonTooltip));
}

// London's first scenario: its page shows its description, which states its goal, in French.
bool CPlayTest::LanguageCity(int frame)
{
    CFrontEnd* front = m_pShell->GetFrontEnd();
    CCityCanvas* london = front ? front->GetLondon() : nullptr;
    CLocale* texts = Texts();
    if (!london || !texts)
        return false;
    if (london->GetDescription() < 0) {
        Fail("London's first scenario has no description");
        return false;
    }
    const std::u16string told =
        texts->GetText(texts->FindTextList("scenarios"), static_cast<uint16_t>(london->GetDescription()));
    m_waiting = "London's description in French: " + FerroxUtf16ToUtf8(told);
    return frame > kSettle && DrewText(told);
}

// The level, the build button under the pointer: the main bar's tooltip comes in French. The pointer then goes
// back to the middle of the view, where the camera steps expect it.
bool CPlayTest::LanguageLevel(int frame)
{
    CInterface* ui = InterfaceGet();
    float x = 0.0f, y = 0.0f;
    if (!ui || !WidgetCentre(ui->m_pMainPanel.get(), MAIN_BUILD, &x, &y))
        return false;
    if (m_phase == 1) {
        Move(static_cast<float>(Game()->GetScreenWidth()) / 2, static_cast<float>(Game()->GetScreenHeight()) / 2);
        return m_count++ > 1;
    }
    if (frame < 2)
        Move(x, y);
    m_waiting = "the build button's tooltip in French";
    if (frame > kSettle && DrewText(CatalogueText(kMainBarTooltips, kBuildTooltip)) &&
        Screenshot("language_level_tooltip.bmp"))
        m_phase = 1;
    return false;
}

// A locked item of the build menu: red and not pressable, it still shows its own tooltip, in French.
bool CPlayTest::LanguageLocked(int)
{
    CInterface* ui = InterfaceGet();
    CBuildCanvasManager* menus = Menus();
    CFerroxCanvasNode* root = menus ? menus->GetRoot() : nullptr;
    float x = 0.0f, y = 0.0f;
    const int t = m_count++;
    if (!ui || !root) {
        Fail("the interface has no build menu");
        return false;
    }
    if (m_phase == 0) {
        // The first disabled item of the root's pages.
        m_lockedPage = kNoLockedItem;
        for (size_t k = 0; root->GetChild(k) && m_lockedPage < 0; k++) {
            CFerroxCanvasNode* page = root->GetChild(k);
            for (int32_t i = 1; i + 1 < page->GetWidgetCount() && m_lockedPage < 0; i++) {
                if (page->IsDisabled(static_cast<uint16_t>(i)))
                    m_lockedPage = static_cast<int>(k), m_lockedItem = i;
            }
        }
        if (m_lockedPage < 0) {
            std::fprintf(stderr, "play test: no item of the build menu is locked; its tooltip is not checked\n");
            return true;
        }
        m_phase = 1, m_count = 0;
        return false;
    }
    if (m_phase == 1) {
        if (WidgetCentre(ui->m_pMainPanel.get(), MAIN_BUILD, &x, &y) && Click(t, x, y))
            m_phase = 2, m_count = 0;
        return false;
    }
    if (m_phase == 2) {
        if (WidgetCentre(root, m_lockedPage + 1, &x, &y) && Click(t, x, y))
            m_phase = 3, m_count = 0;
        return false;
    }
    CFerroxCanvasNode* page = root->GetChild(static_cast<size_t>(m_lockedPage));
    if (menus->GetOpenNode() != page || !WidgetCentre(page, m_lockedItem, &x, &y)) {
        Fail("the page of the locked item did not open");
        return false;
    }
    if (t < 2)
        Move(x, y);
    // The item's own text of the build tooltips, its id's entry, as for an item free to build.
    const auto id = static_cast<uint16_t>(page->GetWidget(m_lockedItem)->m_id);
    const std::u16string name = CatalogueText(kBuildTooltipList, id);
    m_waiting = "the locked item's tooltip " + FerroxUtf16ToUtf8(name);
    const bool shown = ui->m_lastText == id && ui->m_lastList == static_cast<uint16_t>(menus->GetTooltipList());
    return shown && !name.empty() && DrewText(name) && t > kClickFrames;
}

// The shop's card, open in French.
bool CPlayTest::LanguageCard(int)
{
    CInterface* ui = InterfaceGet();
    if (!ui || !ui->GetStack().Holds(ui->m_pShopPopup.get())) {
        Fail("the shop's card is not open");
        return false;
    }
    m_waiting = "the shop's name in French";
    CLocale* texts = Texts();
    const int16_t names = texts ? texts->FindTextList(kShopNames) : FERROX_NO_TEXT_LIST;
    bool past = names < 0;
    for (uint16_t kind = 0; !past; kind++) {
        const std::u16string name = texts->GetText(names, kind, &past);
        if (!past && DrewText(name))
            return true;
    }
    return false;
}
