// Text catalogue: loading the lists of a language file, diagnostics for missing texts, and drawing.
#include "engine/data/locale.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "engine/data/context.h"
#include "engine/data/root.h"
#include "engine/data/tagtree.h"
#include "gfx/core/assert.h"
#include "platform/win32/windows.h"

namespace {

// Screen width used when no game object is there to ask: the virtual interface width.
const int kDefaultScreenWidth = 800;
// A text file's lists sit under this node.
const char* const kLanguageNode = "LANGUAGE";

// A catalogue text from its UTF-8 value, converted whole up to its terminating zero.
std::u16string WideText(const char* text)
{
    const int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (units <= 0)
        return std::u16string();
    std::u16string wide(static_cast<size_t>(units), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], units);
    wide.pop_back();  // the terminator
    return wide;
}

std::u16string FormatWide(const char* format, int value)
{
    char buffer[256];
    std::snprintf(buffer, sizeof(buffer), format, value);
    return WideText(buffer);
}

// A decimal 32-bit integer after optional blanks; false when the text holds none or it does not fit.
bool ParseInt32(const char* text, int32_t& value)
{
    if (!text)
        return false;
    char* end = nullptr;
    errno = 0;
    long long number = std::strtoll(text, &end, 10);
    if (end == text || errno == ERANGE || number < INT32_MIN || number > INT32_MAX)
        return false;
    value = static_cast<int32_t>(number);
    return true;
}

// An entry's number as its name holds it: without a leading "<", then a final LF, then a final ">".
std::string EntryNumber(const std::string& name)
{
    std::string number = name;
    if (!number.empty() && number.front() == '<')
        number.erase(number.begin());
    if (!number.empty() && number.back() == '\n')
        number.pop_back();
    if (!number.empty() && number.back() == '>')
        number.pop_back();
    return number;
}

}  // namespace

int CFerroxLocale::LoadSettings()
{
    CFerroxTagTree* setup = g_pFerroxSetupTree;
    if (!setup || !setup->FindNode("Game_Data", 1) || !setup->FindChild("Language"))
        return 1;
    ParseInt32(setup->GetValue(0), m_language);
    return 1;
}

int CLocale::LoadSettings()
{
    CFerroxLocale::LoadSettings();
    LoadTexts();
    return 1;
}

void CLocale::Release()
{
    ClearTexts();
    Init();
}

void CLocale::ClearTexts()
{
    m_lists.clear();
    m_listCount = 0;
}

void CLocale::BuildList(const CFerroxTagNode* listNode)
{
    auto list = std::make_unique<FerroxTextList>();
    list->name = listNode->name;
    list->flag = 0;
    unsigned n = 0;
    for (const CFerroxTagNode* entry : listNode->children) {
        std::string found = EntryNumber(entry->name);
        std::string wanted = std::to_string(n);
        std::string diagnostic;
        // A negative language never reads a value: it is a missing translation.
        bool hasValue = m_language >= 0 && static_cast<size_t>(m_language) < entry->values.size();
        if (found == wanted && hasValue) {
            const CFerroxTagValue& text = entry->values[static_cast<size_t>(m_language)];
            list->texts.push_back(WideText(text.c_str()));
            ++n;
            continue;
        }
        if (found == wanted) {
            diagnostic = "Missing Language Text. LIST: " + list->name + ", INDEX:" + wanted +
                         ", LANGUAGE:" + std::to_string(m_language) +
                         ", ENGLISH:" + (entry->values.empty() ? std::string() : entry->values.front().str());
        } else {
            diagnostic = "incorrect tag number. LIST:" + list->name + ", FOUND:" + found + ", WANTED:" + wanted +
                         ", LANGUAGE:" + std::to_string(m_language);
        }
        list->texts.push_back(WideText(diagnostic.c_str()));
        ++n;
    }
    m_lists.push_back(std::move(list));
    ++m_listCount;
}

void CLocale::LoadTextsFrom(const char* fileName)
{
    CFerroxTagTree tree;
    tree.Load(fileName);
    LoadTextsFromTree(tree);
}

void CLocale::LoadTextsFromTree(CFerroxTagTree& tree)
{
    if (!tree.FindNode(kLanguageNode, 1))
        return;
    const CFerroxTagNode* language = tree.GetCursor();
    for (const CFerroxTagNode* listNode : language->children) {
        // List indices are signed 16-bit; lists past that could never be drawn.
        if (m_listCount >= 0x7FFF)
            break;
        BuildList(listNode);
    }
}

int CLocale::ExportTextsFrom(const char* fileName, const char* prefix)
{
    CFerroxTagTree tree;
    tree.Load(fileName);
    return tree.SaveSplit(prefix);
}

void CLocale::ExportTexts() { ExportTextsFrom("./language.xml", "./language"); }

int16_t CLocale::FindTextList(const char* name)
{
    GX_ASSERT(name != nullptr, "a list is looked up by a text");
    for (size_t i = 0; i < m_lists.size(); ++i) {
        if (strstr(m_lists[i]->name.c_str(), name))
            return static_cast<int16_t>(i);
    }
    return FERROX_NO_TEXT_LIST;
}

std::u16string CLocale::GetText(int16_t list, uint16_t index, bool* outOfRange) const
{
    if (outOfRange)
        *outOfRange = false;
    if (list < 0 || list >= static_cast<int32_t>(m_listCount))
        return FormatWide("Invalid language vector. index %d", list);
    const FerroxTextList* texts = m_lists[static_cast<size_t>(list)].get();
    if (index >= texts->texts.size()) {
        if (outOfRange)
            *outOfRange = true;
        return FormatWide("Text out of range of selected language vector index %d", index);
    }
    return texts->texts[index];
}

void CLocale::DrawText(CFerroxWideTextFont* font, int16_t list, uint16_t index, float x, int y, int highlight,
                       int alignment, float middleX, int scaled, const FerroxTextBox* box)
{
    if (!font)
        return;
    bool outOfRange = false;
    std::u16string text = GetText(list, index, &outOfRange);
    int screenWidth = g_pFerroxGameContext ? g_pFerroxGameContext->GetScreenWidth() : kDefaultScreenWidth;
    float width = font->GetStringWidth(text.c_str());
    if (x + width > static_cast<float>(screenWidth) && (!box || outOfRange))
        alignment = x - width >= 0.0f ? FERROX_ALIGN_RIGHT : FERROX_ALIGN_MIDDLE;
    font->DrawWideText(text.c_str(), x, y, highlight, alignment, middleX, scaled, box);
}
