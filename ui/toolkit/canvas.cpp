// Canvases: widget lists, per-frame routing of the mouse, drawing, and layout from authored maps.
//
// Sections: lifecycle and widget list; routing and drawing; map decoding; building.
#include "ui/toolkit/canvas.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "engine/application/mouse.h"
#include "engine/data/context.h"
#include "engine/data/locale.h"
#include "game/shell/game.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "platform/win32/windows.h"
#include "ui/toolkit/font.h"
#include "ui/toolkit/imagemap.h"
#include "ui/toolkit/interface.h"

namespace {

constexpr FerroxColour kOverColour = {255, 255, 255, 255};
constexpr FerroxColour kNotOverColour = {255, 0, 0, 255};
constexpr FerroxColour kPressedColour = {0, 0, 255, 255};
constexpr uint8_t kWhiteChannel = 255;
constexpr size_t kExtensionLength = 4;
constexpr size_t kPaletteIndices = 256;  // an 8-bit index, and a 4-bit one kept a byte
constexpr int kLastNumber = 99;
constexpr int kTwoDigits = 10;
constexpr int kButtonDown = FERROX_BUTTON_DOWN;
// Labels of buttons laid without their map: the interface's font, dropped to sit on the button's middle.
constexpr int32_t kLabelFont = 1;
constexpr float kLabelDrop = 4.0f;
constexpr float kHalf = 0.5f;

uint32_t ColourKey(const uint8_t* rgba)
{
    return static_cast<uint32_t>(rgba[0]) << 16 | static_cast<uint32_t>(rgba[1]) << 8 | rgba[2];
}

bool IsWhite(const uint8_t* rgba)
{
    return rgba[0] == kWhiteChannel && rgba[1] == kWhiteChannel && rgba[2] == kWhiteChannel;
}

// A game file that is there and does not read is named to the player once.
void ReportDamaged(const std::string& path)
{
    if (g_pGame && GxFileExists(path.c_str()))
        g_pGame->ReportDamagedFile(path.c_str());
}

// Reads a map beside the background; null when there is none, or when it is damaged (told then, with
// *damaged set).
GxImage* ReadMap(const std::string& stem, const char* suffix, bool* damaged)
{
    const std::string path = stem + suffix;
    GxImage* map = GxImageRead(path.c_str());
    if (FerroxImageReadable(map))
        return map;
    if (map)
        GxImageDestroy(map);
    *damaged = GxFileExists(path.c_str()) != 0;
    if (*damaged)
        ReportDamaged(path);
    return nullptr;
}

}  // namespace

// ---- Lifecycle and widget list ----

CFerroxCanvas::CFerroxCanvas() : m_rect{} { CFerroxCanvas::Init(); }

CFerroxCanvas::~CFerroxCanvas() { CFerroxCanvas::Release(); }

void CFerroxCanvas::Init()
{
    m_pressed = 0;
    m_pressedIndex = -1;
    m_pressedEvent = FERROX_WIDGET_NOT_OVER;
    m_x = m_y = 0.0f;
    m_widgets.clear();
    m_widgetCount = 0;
    m_hoveredHotSpot = kFerroxNoHotSpot;
    m_tooltipList = kFerroxNoTextList;
}

void CFerroxCanvas::Release()
{
    m_widgets.clear();
    m_hotSpots.clear();
    m_widgetCount = 0;
    m_pressed = 0;
    m_pressedIndex = -1;
}

void CFerroxCanvas::SetPosition(float x, float y, int32_t absolute)
{
    if (absolute) {
        m_x = x;
        m_y = y;
        return;
    }
    m_x += x;
    m_y += y;
}

void CFerroxCanvas::AddWidget(std::unique_ptr<CFerroxWidget> widget)
{
    m_widgets.push_back(std::move(widget));
    m_widgetCount = static_cast<uint16_t>(m_widgets.size());
}

std::unique_ptr<CFerroxWidget> CFerroxCanvas::RemoveWidget(CFerroxWidget* widget)
{
    auto held = [widget](const std::unique_ptr<CFerroxWidget>& entry) { return entry.get() == widget; };
    auto found = std::find_if(m_widgets.begin(), m_widgets.end(), held);
    if (found == m_widgets.end())
        return nullptr;
    std::unique_ptr<CFerroxWidget> handedBack = std::move(*found);
    m_widgets.erase(found);
    m_widgetCount = static_cast<uint16_t>(m_widgets.size());
    // The pressed widget's place may now belong to another.
    m_pressed = 0;
    m_pressedIndex = -1;
    m_pressedEvent = FERROX_WIDGET_NOT_OVER;
    return handedBack;
}

void CFerroxCanvas::SetWidgetId(int32_t index, int32_t id)
{
    if (index < 0 || index >= static_cast<int32_t>(m_widgetCount) || id < 0)
        return;
    m_widgets[index]->m_id = id;
}

const float* CFerroxCanvas::GetWidgetRect(int32_t index)
{
    // Bounded by the count: a widget appended past it (a file panel's name field) is not reached.
    CFerroxWidget* widget = index < static_cast<int32_t>(m_widgetCount) ? GetWidget(index) : nullptr;
    if (!widget)
        return nullptr;
    m_rect[0] = widget->m_x;
    m_rect[1] = widget->m_y;
    m_rect[2] = widget->m_width;
    m_rect[3] = widget->m_height;
    return m_rect;
}

void CFerroxCanvas::OnWidgetEvent(int32_t index, int32_t event)
{
    if (index != 1 && index != 2)
        return;
    CFerroxWidget* widget = GetWidget(index);
    if (!widget)
        return;
    if (event == FERROX_WIDGET_OVER)
        widget->SetColour(kOverColour);
    else if (event == FERROX_WIDGET_NOT_OVER)
        widget->SetColour(kNotOverColour);
    else if (event == FERROX_WIDGET_PRESSED)
        widget->SetColour(kPressedColour);
}

// ---- Routing and drawing ----

void CFerroxCanvas::Update()
{
    CFerroxMouse* mouse = FerroxGameMouse();
    if (!mouse)
        return;
    FerroxMousePosition* position = mouse->GetPosition();
    const FerroxPoint point = {position->x - m_x, position->y + m_y};

    CFerroxInterface* ui = FerroxGetGameInterface();
    m_hoveredHotSpot = kFerroxNoHotSpot;
    for (size_t i = 0; i < m_hotSpots.size(); i++) {
        if (m_hotSpots[i]->HitTest(&point)) {
            m_hoveredHotSpot = static_cast<uint16_t>(i);
            position->overInterface = 1;
            NotePointerArea(ui, m_hotSpots[i].get());
            break;
        }
    }

    if (position->left != kButtonDown) {
        m_pressed = 0;
        m_pressedIndex = -1;
        m_pressedEvent = FERROX_WIDGET_NOT_OVER;
    }

    // Handlers may change the list: the bound is read again each step.
    for (size_t i = 0; i < m_widgets.size(); i++) {
        CFerroxWidget* widget = m_widgets[i].get();
        widget->Update();
        int hit = widget->HitTest(&point);
        if (i == 0) {
            if (hit)
                position->overInterface = 1;
            continue;
        }
        if (!hit) {
            OnWidgetEvent(static_cast<int32_t>(i), FERROX_WIDGET_NOT_OVER);
            continue;
        }
        position->overInterface = 1;
        NotePointerArea(ui, widget);
        if (!m_pressed && position->left == kButtonDown) {
            m_pressedIndex = static_cast<int32_t>(i);
            m_pressedEvent = FERROX_WIDGET_PRESSED;
            g_pFerroxGame->PlayDefaultSample();
            m_pressed = 1;
            break;
        }
        OnWidgetEvent(static_cast<int32_t>(i), FERROX_WIDGET_OVER);
    }

    if (m_pressed)
        OnWidgetEvent(m_pressedIndex, m_pressedEvent);
}

void CFerroxCanvas::NotePointerArea(CFerroxInterface* ui, const CFerroxWidget* widget) const
{
    if (ui)
        ui->AddPointerArea(m_x + widget->m_x, m_y + widget->m_y, widget->m_width, widget->m_height);
}

void CFerroxCanvas::Render()
{
    for (size_t i = 0; i < m_widgets.size(); i++) {
        if (i == 1 && m_shownButtons > 0)
            DrawButtonPlates();
        // Only the buttons Build laid: widgets a panel adds after them keep their own visibility.
        if (i > 0 && i <= m_shownButtons)
            m_widgets[i]->m_visible = 1;
        m_widgets[i]->Draw(m_x, m_y);
    }
    if (m_shownButtons > 0)
        DrawButtonLabels();
    if (m_tooltipList >= 0 && static_cast<int16_t>(m_hoveredHotSpot) >= 0)
        ShowTooltip();
    // The hot-spot was found by the last update: a canvas that is not updated (under a modal one) asks for no
    // tooltip until the pointer is found over it again.
    m_hoveredHotSpot = kFerroxNoHotSpot;
}

void CFerroxCanvas::ShowTooltip()
{
    if (CFerroxInterface* game = FerroxGetGameInterface())
        game->SetTooltip(m_hoveredHotSpot, m_tooltipList);
}

// ---- Map decoding ----

namespace {

// Colour keys of a map, read through the palette once per index for palette images.
class MapColours {
public:
    explicit MapColours(const GxImage* map) : m_map(map)
    {
        if (map->depth == 32)
            return;
        const size_t entries = size_t{1} << map->depth;
        m_keyOfIndex.resize(kPaletteIndices);
        for (size_t i = 0; i < kPaletteIndices; i++) {
            const GxRGBA& entry = map->palette[i & (entries - 1)];
            const uint8_t rgba[4] = {entry.red, entry.green, entry.blue, entry.alpha};
            m_keyOfIndex[i] = ColourKey(rgba);
        }
    }

    uint32_t Key(int32_t x, int32_t y) const
    {
        const GxUInt8* row = m_map->pixels + static_cast<size_t>(y) * m_map->stride;
        if (m_keyOfIndex.empty())
            return ColourKey(row + static_cast<size_t>(x) * 4);
        return m_keyOfIndex[row[x]];
    }

    bool Indexed() const { return !m_keyOfIndex.empty(); }
    uint32_t KeyOfIndex(size_t index) const { return m_keyOfIndex[index]; }

private:
    const GxImage* m_map;
    std::vector<uint32_t> m_keyOfIndex;
};

// The first column from x on whose index is wanted, or width. Maps are mostly one clear index: runs of it are
// passed a word at a time.
int32_t SkipUnwanted(const GxUInt8* row, int32_t x, int32_t width, const std::vector<uint8_t>& wanted)
{
    constexpr int32_t kWord = static_cast<int32_t>(sizeof(uint64_t));
    constexpr uint64_t kEveryByte = 0x0101010101010101ull;
    while (x < width) {
        const uint8_t index = row[x];
        if (wanted[index])
            return x;
        const uint64_t run = kEveryByte * index;
        while (x + kWord <= width) {
            uint64_t word;
            std::memcpy(&word, row + x, sizeof(word));
            if (word != run)
                break;
            x += kWord;
        }
        while (x < width && row[x] == index)
            x++;
    }
    return x;
}

}  // namespace

std::vector<FerroxMapBlock> FerroxDecodeMap(const GxImage* map)
{
    std::vector<FerroxMapBlock> blocks;
    if (!FerroxImageReadable(map))
        return blocks;
    const int32_t width = map->width;
    const int32_t height = map->height;
    const MapColours colours(map);
    std::unordered_map<uint32_t, std::vector<size_t>> byColour;
    uint8_t rgba[4];
    for (int32_t x = 0; x < width; x++) {
        FerroxReadImagePixel(map, x, 0, rgba);
        if (IsWhite(rgba))
            break;
        byColour[ColourKey(rgba)].push_back(blocks.size());
        blocks.push_back({false, -1, -1, -1, -1});
    }
    if (blocks.empty())
        return blocks;

    // Palette maps: a table of the indices whose colour is still looked for spares the hash look-up per pixel.
    std::vector<uint8_t> wanted;
    if (colours.Indexed()) {
        wanted.resize(kPaletteIndices);
        for (size_t i = 0; i < wanted.size(); i++)
            wanted[i] = byColour.count(colours.KeyOfIndex(i)) ? 1 : 0;
    }

    // One pass: each palette colour takes the first pixel of it, rows 1 to height - 2.
    size_t left = byColour.size();
    // Maps are mostly one clear colour: a pixel like the last miss needs no look-up.
    uint32_t lastMiss = ColourKey(rgba) ^ 1u;
    bool haveMiss = false;
    for (int32_t y = 1; y + 1 < height && left > 0; y++) {
        const GxUInt8* row = map->pixels + static_cast<size_t>(y) * map->stride;
        for (int32_t x = 0; x < width && left > 0; x++) {
            if (!wanted.empty()) {
                x = SkipUnwanted(row, x, width, wanted);
                if (x >= width)
                    break;
            }
            const uint32_t key = colours.Key(x, y);
            if (haveMiss && key == lastMiss)
                continue;
            auto found = byColour.find(key);
            if (found == byColour.end() || blocks[found->second.front()].found) {
                lastMiss = key;
                haveMiss = true;
                continue;
            }
            int32_t right = x;
            while (right + 1 < width && colours.Key(right + 1, y) == key)
                right++;
            int32_t bottom = y;
            while (bottom + 1 < height && colours.Key(right, bottom + 1) == key)
                bottom++;
            for (size_t k : found->second)
                blocks[k] = {true, x, height - 1 - bottom, right - x, bottom - y};
            left--;
            for (size_t i = 0; i < wanted.size(); i++) {
                if (colours.KeyOfIndex(i) == key)
                    wanted[i] = 0;
            }
        }
    }
    return blocks;
}

// ---- Building ----

std::string FerroxFindNumberedFile(const char* folder, const char* number, bool wantNormal)
{
    std::string pattern = std::string(folder) + number + "*.*";
    _finddata_t data;
    intptr_t handle = _findfirst(pattern.c_str(), &data);
    if (handle == -1)
        return "";
    const size_t digits = std::strlen(number);
    std::string result;
    do {
        const char* name = data.name;
        // "1*" must not take 10_s.png: a non-digit follows the number.
        if (std::strlen(name) <= digits || std::isdigit(static_cast<unsigned char>(name[digits])))
            continue;
        if (wantNormal && !std::strstr(name, "_s") && !std::strstr(name, "_S"))
            continue;
        result = name;
        break;
    } while (_findnext(handle, &data) == 0);
    _findclose(handle);
    return result;
}

void CFerroxCanvas::Build(const char* path, float x, float y, int32_t scaled)
{
    if (!path)
        return;
    m_x = x;
    m_y = y;
    m_buttonsAlwaysShown = false;
    m_shownButtons = 0;
    AddWidget(FerroxMakeImage(path, 0.0f, 0.0f, scaled));
    const CFerroxWidget* background = m_widgets.back().get();
    // The buttons' own look is painted on the background: without it they are drawn always.
    if (background->m_width <= 0.0f && GxFileExists(path)) {
        ReportDamaged(path);
        m_buttonsAlwaysShown = true;
    }

    const std::string text = path;
    const size_t slash = text.rfind('/');
    if (slash == 0 || text.size() < kExtensionLength) {
        m_widgetCount = static_cast<uint16_t>(m_widgets.size());
        return;
    }
    const std::string folder = slash == std::string::npos ? "" : text.substr(0, slash + 1);
    const std::string stem = text.substr(0, text.size() - kExtensionLength);
    GxImageSetPath(g_pFerroxGame ? g_pFerroxGame->GetImagePath() : "");

    bool damagedMap = false;
    if (GxImage* map = ReadMap(stem, "_h.png", &damagedMap)) {
        for (const FerroxMapBlock& block : FerroxDecodeMap(map)) {
            auto hotSpot = std::make_unique<CFerroxWidget>();
            // A colour missing from the map leaves its hot-spot empty, so later ones keep their texts.
            if (block.found) {
                FerroxWidgetRecord area = {};
                area.x = static_cast<float>(block.column);
                area.y = static_cast<float>(block.bottom);
                area.width = static_cast<float>(block.width);
                area.height = static_cast<float>(block.height);
                area.scaled = scaled;
                hotSpot->Configure(&area);
            }
            m_hotSpots.push_back(std::move(hotSpot));
        }
        GxImageDestroy(map);
    }

    damagedMap = false;
    if (GxImage* map = ReadMap(stem, "_p.png", &damagedMap)) {
        const std::string base = stem.substr(slash == std::string::npos ? 0 : slash + 1);
        if (CFerroxLocale* locale = FerroxGameLocale())
            m_tooltipList = locale->FindTextList(base.c_str());
        std::vector<FerroxMapBlock> blocks = FerroxDecodeMap(map);
        GxImageDestroy(map);
        for (size_t k = 0; k < blocks.size(); k++) {
            if (!blocks[k].found)
                continue;
            const std::string file = FerroxFindNumberedFile(folder.c_str(), std::to_string(k + 1).c_str(), true);
            if (file.empty())
                continue;
            const std::string name = folder + file;
            // A button stands at its colour's first pixel: the top row of the block, counted bottom-up.
            AddWidget(FerroxMakeImage(name.c_str(), static_cast<float>(blocks[k].column),
                                      static_cast<float>(blocks[k].bottom + blocks[k].height), scaled));
        }
        // The folder names the canvas's buttons 1, 2, ...: a map that places fewer of them (a white picture, another
        // picture in its place) leaves buttons no one can press, so it is damaged and they are laid without it.
        const size_t laid = m_widgets.size() - 1;
        if (!FerroxFindNumberedFile(folder.c_str(), std::to_string(laid + 1).c_str(), true).empty()) {
            ReportDamaged(stem + "_p.png");
            m_widgets.resize(1);
            LayButtonColumn(folder, scaled, *background);
        }
    } else if (damagedMap) {
        const std::string base = stem.substr(slash == std::string::npos ? 0 : slash + 1);
        if (CFerroxLocale* locale = FerroxGameLocale())
            m_tooltipList = locale->FindTextList(base.c_str());
        LayButtonColumn(folder, scaled, *background);
    } else {
        float at = static_cast<float>(static_cast<int32_t>(x));
        const float row = static_cast<float>(static_cast<int32_t>(y));
        for (int n = 1; n <= kLastNumber; n++) {
            if (n != kLastNumber)
                at += m_widgets.back()->m_width;
            std::string number = (n < kTwoDigits ? "0" : "") + std::to_string(n);
            const std::string file = FerroxFindNumberedFile(folder.c_str(), number.c_str(), false);
            if (file.empty()) {
                if (n == kLastNumber)
                    break;
                n = kLastNumber - 1;
                continue;
            }
            const std::string name = folder + file;
            AddWidget(FerroxMakeImage(name.c_str(), at, row, scaled));
        }
    }
    GxImageSetPath("");
    m_widgetCount = static_cast<uint16_t>(m_widgets.size());
    if (m_buttonsAlwaysShown)
        m_shownButtons = m_widgets.size() - 1;
}

// The buttons are pictures made to light over their painted selves: a plate under each keeps them and their labels
// readable over whatever lies beside or under the canvas.
void CFerroxCanvas::DrawButtonPlates()
{
    if (!m_pPlate) {
        m_pPlate = std::make_unique<CFerroxPlainBox>(kFerroxTooltipFill, kFerroxTooltipRim);
        m_pPlate->m_visible = 1;
    }
    for (size_t k = 1; k <= m_shownButtons && k < m_widgets.size(); k++) {
        const CFerroxWidget* button = m_widgets[k].get();
        m_pPlate->Place(button->m_x, button->m_y, button->m_width, button->m_height);
        m_pPlate->Draw(m_x, m_y);
    }
}

// Each label on its button's middle, in the interface's label font.
void CFerroxCanvas::DrawButtonLabels() const
{
    CFerroxLocale* locale = FerroxGameLocale();
    CFerroxInterface* ui = FerroxGetGameInterface();
    CFerroxFont* font = ui ? ui->GetFont(kLabelFont) : nullptr;
    const size_t labelled = ButtonsNamedByList(m_shownButtons);
    if (!locale || !font)
        return;
    for (size_t k = 1; k <= labelled && k < m_widgets.size(); k++) {
        const CFerroxWidget* button = m_widgets[k].get();
        const float middle = m_x + button->m_x + button->m_width * kHalf;
        const float y = m_y + button->m_y + button->m_height * kHalf - kLabelDrop;
        locale->DrawText(font, m_tooltipList, static_cast<uint16_t>(k - 1), m_x + button->m_x, static_cast<int>(y), 0,
                         FERROX_ALIGN_MIDDLE, middle, 0, nullptr);
    }
}

// The canvas's list names its buttons when it holds exactly one text a button, as the menus' lists do.
size_t CFerroxCanvas::ButtonsNamedByList(size_t buttons) const
{
    auto* locale = dynamic_cast<CLocale*>(FerroxGameLocale());
    if (!locale || m_tooltipList < 0 || buttons == 0)
        return 0;
    bool past = false;
    bool last = false;
    locale->GetText(m_tooltipList, static_cast<uint16_t>(buttons - 1), &last);
    locale->GetText(m_tooltipList, static_cast<uint16_t>(buttons), &past);
    return !last && past ? buttons : 0;
}

// Beside the background, clear of the texts the canvas draws on it, when the screen has room there; else over its
// left edge.
void CFerroxCanvas::LayButtonColumn(const std::string& folder, int32_t scaled, const CFerroxWidget& background)
{
    m_buttonsAlwaysShown = true;
    std::vector<CFerroxImage*> column;
    float height = 0.0f;
    float width = 0.0f;
    for (int n = 1; n < kLastNumber; n++) {
        const std::string file = FerroxFindNumberedFile(folder.c_str(), std::to_string(n).c_str(), true);
        if (file.empty())
            break;
        const std::string name = folder + file;
        std::unique_ptr<CFerroxImage> image = FerroxMakeImage(name.c_str(), 0.0f, 0.0f, scaled);
        column.push_back(image.get());
        AddWidget(std::move(image));
        height += column.back()->m_height;
        width = std::max(width, column.back()->m_width);
    }
    const float screenWidth = g_pFerroxGameContext ? static_cast<float>(g_pFerroxGameContext->GetScreenWidth()) : 0.0f;
    const float beside = background.m_x + background.m_width;
    const float left = m_x + beside + width <= screenWidth ? beside : 0.0f;
    float top = std::max(background.m_height, height);
    for (CFerroxImage* image : column) {
        top -= image->m_height;
        image->m_x = left;
        image->m_y = top;
    }
}
