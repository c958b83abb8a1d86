// Text catalogue: the chosen language and the texts of ./language.xml by list and index, drawn with a font.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/data/textfont.h"

class CFerroxTagNode;
class CFerroxTagTree;

// Index FindTextList gives for a name no list contains (0xFFFF, negative as a signed index).
constexpr int16_t FERROX_NO_TEXT_LIST = -1;

class CFerroxLocale {
public:
    CFerroxLocale() : m_language(0) {}
    virtual int32_t GetLanguage() { return m_language; }
    virtual void SetLanguage(int32_t language) { m_language = language; }
    virtual void DrawText(CFerroxWideTextFont* font, int16_t list, uint16_t index, float x, int y, int highlight,
                          int alignment, float middleX, int scaled, const FerroxTextBox* box) = 0;
    virtual int16_t FindTextList(const char* name) = 0;
    virtual void LoadTexts() {}
    // Reads "Game_Data"/"Language" of the setup tree into the language.
    virtual int LoadSettings();
    virtual void Release() { Init(); }
    virtual void Init() { m_language = 0; }
    virtual ~CFerroxLocale() {}

protected:
    int32_t m_language;
};

struct FerroxTextList {
    std::string name;  // the list node's name as the tree holds it
    uint8_t flag;
    std::vector<std::u16string> texts;  // one per entry, in entry order
};

class CLocale : public CFerroxLocale {
public:
    CLocale() : m_listCount(0) {}
    void DrawText(CFerroxWideTextFont* font, int16_t list, uint16_t index, float x, int y, int highlight, int alignment,
                  float middleX, int scaled, const FerroxTextBox* box) override;
    int16_t FindTextList(const char* name) override;
    void LoadTexts() override { LoadTextsFrom("./language.xml"); }
    int LoadSettings() override;
    void Release() override;
    void Init() override { m_listCount = 0; }
    ~CLocale() override { ClearTexts(); }
    virtual void ClearTexts();
    virtual void ExportTexts();

    // The same, from and to the files named. The file is read as any tag text (nodes left open stay, closing
    // lines close whatever is open); one that is missing or holds no "LANGUAGE" list loads no text.
    void LoadTextsFrom(const char* fileName);
    // Appends the lists of the "LANGUAGE" node of a loaded tree.
    void LoadTextsFromTree(CFerroxTagTree& tree);
    // 1 when both files were written whole; 0 leaves any earlier files as they were.
    int ExportTextsFrom(const char* fileName, const char* prefix);

    uint16_t GetListCount() const { return m_listCount; }
    // The text drawn for (list, index), diagnostics included; the alignment rule applies to it
    // regardless of a layout rectangle when set in outOfRange.
    std::u16string GetText(int16_t list, uint16_t index, bool* outOfRange = nullptr) const;

private:
    void BuildList(const CFerroxTagNode* listNode);

    std::vector<std::unique_ptr<FerroxTextList>> m_lists;
    uint16_t m_listCount;
};
