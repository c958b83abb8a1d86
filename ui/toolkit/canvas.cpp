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
#include "gfx/core/assert.h"
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

uint32_t ColourKey(const uint8_t* rgba)
{
    return static_cast<uint32_t>(rgba[0]) << 16 | static_cast<uint32_t>(rgba[1]) << 8 | rgba[2];
}

bool IsWhite(const uint8_t* rgba)
{
    return rgba[0] == kWhiteChannel && rgba[1] == kWhiteChannel && rgba[2] == kWhiteChannel;
}

// Reads a map beside the background; null when there is none or it does not read, which lays the canvas out as
// without it.
GxImage* ReadMap(const std::string& stem, const char* suffix)
{
    const std::string path = stem + suffix;
    GxImage* map = GxImageRead(path.c_str());
    if (FerroxImageReadable(map))
        return map;
    if (map)
        GxImageDestroy(map);
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
    // The count goes with the list: left standing, it would let an index reach past the emptied list.
    m_widgetCount = 0;
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
    m_widgetCount++;
}

std::unique_ptr<CFerroxWidget> CFerroxCanvas::RemoveWidget(CFerroxWidget* widget)
{
    auto held = [widget](const std::unique_ptr<CFerroxWidget>& entry) { return entry.get() == widget; };
    auto found = std::find_if(m_widgets.begin(), m_widgets.end(), held);
    if (found == m_widgets.end())
        return nullptr;
    std::unique_ptr<CFerroxWidget> handedBack = std::move(*found);
    m_widgets.erase(found);
    m_widgetCount--;
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

    m_hoveredHotSpot = kFerroxNoHotSpot;
    for (size_t i = 0; i < m_hotSpots.size(); i++) {
        if (m_hotSpots[i]->HitTest(&point)) {
            m_hoveredHotSpot = static_cast<uint16_t>(i);
            position->overInterface = 1;
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

void CFerroxCanvas::Render()
{
    for (const std::unique_ptr<CFerroxWidget>& widget : m_widgets)
        widget->Draw(m_x, m_y);
    if (m_tooltipList >= 0 && static_cast<int16_t>(m_hoveredHotSpot) >= 0)
        ShowTooltip();
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
    GX_ASSERT(path != nullptr, "a canvas is built from a picture");
    m_x = x;
    m_y = y;
    AddWidget(FerroxMakeImage(path, 0.0f, 0.0f, scaled));

    const std::string text = path;
    const size_t slash = text.rfind('/');
    if (slash == 0)
        return;
    const std::string folder = slash == std::string::npos ? "" : text.substr(0, slash + 1);
    const std::string stem = text.substr(0, text.size() - std::min(text.size(), kExtensionLength));
    GxImageSetPath(g_pFerroxGame ? g_pFerroxGame->GetImagePath() : "");
    BuildHotSpots(stem, scaled);
    if (GxImage* map = ReadMap(stem, "_p.png")) {
        const std::string base = stem.substr(slash == std::string::npos ? 0 : slash + 1);
        if (CFerroxLocale* locale = FerroxGameLocale())
            m_tooltipList = locale->FindTextList(base.c_str());
        const std::vector<FerroxMapBlock> blocks = FerroxDecodeMap(map);
        GxImageDestroy(map);
        LayMappedButtons(folder, blocks, scaled);
    } else {
        LayNumberedButtons(folder, x, y, scaled);
    }
    GxImageSetPath("");
    m_widgetCount = static_cast<uint16_t>(m_widgets.size());
}

// Hot-spot k takes the k-th colour found in the map: a colour missing from it moves the later ones down one place
// and leaves the last hot-spot unfilled.
void CFerroxCanvas::BuildHotSpots(const std::string& stem, int32_t scaled)
{
    GxImage* map = ReadMap(stem, "_h.png");
    if (!map)
        return;
    const std::vector<FerroxMapBlock> blocks = FerroxDecodeMap(map);
    GxImageDestroy(map);
    for (size_t i = 0; i < blocks.size(); i++)
        m_hotSpots.push_back(std::make_unique<CFerroxWidget>());
    size_t next = 0;
    for (const FerroxMapBlock& block : blocks) {
        if (!block.found)
            continue;
        FerroxWidgetRecord area = {};
        area.x = static_cast<float>(block.column);
        area.y = static_cast<float>(block.bottom);
        area.width = static_cast<float>(block.width);
        area.height = static_cast<float>(block.height);
        area.scaled = scaled;
        m_hotSpots[next++]->Configure(&area);
    }
}

// Button k at the first pixel of placement colour k, from the folder's first file of that number with "_s".
void CFerroxCanvas::LayMappedButtons(const std::string& folder, const std::vector<FerroxMapBlock>& blocks,
                                     int32_t scaled)
{
    for (size_t k = 0; k < blocks.size(); k++) {
        if (!blocks[k].found)
            continue;
        const std::string file = FerroxFindNumberedFile(folder.c_str(), std::to_string(k + 1).c_str(), true);
        if (file.empty())
            continue;
        const std::string name = folder + file;
        // The colour's first pixel: the top row of the block, counted bottom-up.
        AddWidget(FerroxMakeImage(name.c_str(), static_cast<float>(blocks[k].column),
                                  static_cast<float>(blocks[k].bottom + blocks[k].height), scaled));
    }
}

// Without a placement map: the files "01", "02"... in a row from the canvas position, each after the widget laid
// before it; at the first missing number only "99" is tried.
void CFerroxCanvas::LayNumberedButtons(const std::string& folder, float x, float y, int32_t scaled)
{
    float at = static_cast<float>(static_cast<int32_t>(x));
    const float row = static_cast<float>(static_cast<int32_t>(y));
    for (int n = 1; n <= kLastNumber; n++) {
        if (n != kLastNumber)
            at += m_widgets.back()->m_width;
        const std::string number = (n < kTwoDigits ? "0" : "") + std::to_string(n);
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
