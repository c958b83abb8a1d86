// Technology tree: reading the "TECHNOLOGIES" block, shared-time progress, completion and the "<TECHTREE>" section.
#include "engine/data/techtree.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "gfx/core/assert.h"

namespace {

// The range of the 16-bit seconds count.
constexpr float kSecondsRange = 65536.0f;

// A decimal 16-bit number after optional blanks; false for anything else or a value above 65535.
bool ParseU16(const char* text, uint16_t& value)
{
    if (!text)
        return false;
    while (*text == ' ' || *text == '\t')
        ++text;
    if (*text < '0' || *text > '9')
        return false;
    unsigned long number = 0;
    while (*text >= '0' && *text <= '9') {
        number = number * 10 + static_cast<unsigned long>(*text - '0');
        if (number > 0xFFFF)
            return false;
        ++text;
    }
    value = static_cast<uint16_t>(number);
    return true;
}

// The pieces of one comma-separated line in order, each a 16-bit number or -1 when it holds none.
std::vector<int32_t> ParseU16Line(const std::string& line)
{
    std::vector<int32_t> values;
    size_t start = 0;
    while (start < line.size()) {
        size_t end = line.find(',', start);
        if (end == std::string::npos)
            end = line.size();
        uint16_t value = 0;
        values.push_back(ParseU16(line.substr(start, end - start).c_str(), value) ? value : -1);
        start = end + 1;
    }
    return values;
}

std::string JoinU16(const std::vector<uint16_t>& values)
{
    std::string line;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i)
            line += ',';
        line += std::to_string(values[i]);
    }
    return line;
}

const CFerroxTagNode* FindChildNode(const CFerroxTagNode* node, const char* text)
{
    for (const CFerroxTagNode* child : node->children) {
        if (strstr(child->name.c_str(), text))
            return child;
    }
    return nullptr;
}

}  // namespace

CFerroxTechTree::CFerroxTechTree()
    : m_categoryCount(0), m_activeCount(0), m_seconds(0), m_time(0.0f), m_unlockCallback(nullptr)
{
    Init();
}

CFerroxTechTree::~CFerroxTechTree() { Release(); }

void CFerroxTechTree::Init()
{
    m_unlockCallback = nullptr;
    m_categoryCount = 0;
    m_activeCount = 0;
    m_seconds = 0;
    m_time = 0.0f;
}

void CFerroxTechTree::FreeCategories() { m_categories.clear(); }

void CFerroxTechTree::Release()
{
    FreeCategories();
    m_active.clear();
    m_completed.clear();
    m_listeners.clear();
    Init();
}

std::unique_ptr<FerroxTechEntry> CFerroxTechTree::CreateEntry()
{
    auto entry = std::make_unique<FerroxTechEntry>();
    entry->id = 0;
    entry->duration = 0;
    entry->progress = 0;
    entry->extra = 0;
    entry->state = FERROX_TECH_WAITING;
    entry->prerequisites = std::make_unique<CFerroxPtrList>();
    return entry;
}

std::unique_ptr<FerroxTechCategory> CFerroxTechTree::CreateCategory() { return std::make_unique<FerroxTechCategory>(); }

void CFerroxTechTree::AddListener(CFerroxPtrList* listener)
{
    if (listener)
        m_listeners.push_back(listener);
}

void CFerroxTechTree::RemoveListener(CFerroxPtrList* listener)
{
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener), m_listeners.end());
}

void CFerroxTechTree::Reset()
{
    for (const auto& category : m_categories) {
        for (const auto& entry : category->entries) {
            entry->state = FERROX_TECH_WAITING;
            entry->progress = 0;
            entry->prerequisites->Flush();
        }
    }
    for (CFerroxPtrList* listener : m_listeners)
        listener->Flush();
    m_active.clear();
    m_activeCount = 0;
    m_completed.clear();
}

FerroxTechEntry* CFerroxTechTree::FindEntry(uint16_t id)
{
    for (const auto& category : m_categories) {
        for (const auto& entry : category->entries) {
            if (entry->id == id)
                return entry.get();
        }
    }
    return nullptr;
}

int CFerroxTechTree::Activate(FerroxTechEntry* entry)
{
    GX_ASSERT(entry != nullptr, "an entry of the tree is started");
    entry->state = FERROX_TECH_DEVELOPING;
    m_active.push_back(entry);
    m_activeCount = static_cast<int32_t>(m_active.size());
    return 1;
}

int CFerroxTechTree::Complete(FerroxTechEntry* entry)
{
    // A saved id listed twice, or an entry both completed and in development, would unlock and list twice.
    if (entry->state == FERROX_TECH_COMPLETE)
        return 0;
    auto it = std::find(m_active.begin(), m_active.end(), entry);
    if (it != m_active.end()) {
        m_active.erase(it);
        m_activeCount = static_cast<int32_t>(m_active.size());
    }
    entry->progress = entry->duration;
    entry->state = FERROX_TECH_COMPLETE;
    m_completed.push_back(entry);
    if (m_unlockCallback)
        m_unlockCallback(entry->id);
    void* id = FerroxTechIdToPointer(entry->id);
    for (CFerroxPtrList* listener : m_listeners)
        listener->Remove(id);
    for (const auto& category : m_categories) {
        for (const auto& other : category->entries)
            other->prerequisites->Remove(id);
    }
    return 1;
}

void CFerroxTechTree::Update(float dt)
{
    m_time += dt;
    if (m_time >= 1.0f) {
        // The seconds count wraps as a 16-bit number does; the whole part is taken modulo its range first.
        const float whole = std::fmod(std::floor(m_time), kSecondsRange);
        m_seconds = static_cast<uint16_t>(m_seconds + static_cast<uint32_t>(whole));
        m_time = 0.0f;
    }
    if (m_activeCount > m_seconds)
        return;
    // A snapshot, because completions take entries out of the active list.
    std::vector<FerroxTechEntry*> stepping = m_active;
    for (FerroxTechEntry* entry : stepping) {
        ++entry->progress;
        if (entry->progress >= entry->duration)
            Complete(entry);
    }
    m_seconds = 0;
}

uint16_t CFerroxTechTree::GetCategoryCount() { return m_categoryCount; }

void CFerroxTechTree::ReadEntry(CFerroxTagTree* tree, FerroxTechCategory* category)
{
    const CFerroxTagNode* node = tree->GetCursor();
    std::unique_ptr<FerroxTechEntry> entry = CreateEntry();
    entry->name = node->name;
    uint16_t* fields[3] = {&entry->id, &entry->duration, &entry->extra};
    for (size_t i = 0; i < 3 && i < node->values.size(); ++i)
        ParseU16(node->values[i].c_str(), *fields[i]);
    const CFerroxTagNode* prerequisites = FindChildNode(node, "prerequisits");
    if (prerequisites) {
        // Lines that hold no id (such as the empty line of an empty node) add nothing.
        for (const CFerroxTagValue& value : prerequisites->values) {
            uint16_t id = 0;
            if (ParseU16(value.c_str(), id))
                entry->prerequisites->Add(FerroxTechIdToPointer(id));
        }
    }
    category->entries.push_back(std::move(entry));
}

void CFerroxTechTree::ReadCategory(CFerroxTagTree* tree)
{
    std::unique_ptr<FerroxTechCategory> category = CreateCategory();
    category->name = tree->GetCursor()->name;
    if (tree->FindChild(nullptr)) {
        do {
            ReadEntry(tree, category.get());
        } while (tree->NextSibling(nullptr));
        tree->MoveToParent();
    }
    m_categories.push_back(std::move(category));
    ++m_categoryCount;
}

int CFerroxTechTree::LoadTechnologies(CFerroxTagTree* tree, FerroxTechUnlockCallback callback)
{
    m_unlockCallback = callback;
    if (!tree || !tree->FindNode("TECHNOLOGIES", 1))
        return 0;
    if (tree->FindChild(nullptr)) {
        do {
            ReadCategory(tree);
        } while (tree->NextSibling(nullptr));
        tree->MoveToParent();
    }
    return 1;
}

int CFerroxTechTree::Save(CFerroxFile* file)
{
    GX_ASSERT(file != nullptr, "the section is written to an open file");
    std::vector<uint16_t> completed;
    for (FerroxTechEntry* entry : m_completed)
        completed.push_back(entry->id);
    std::vector<uint16_t> active;
    for (FerroxTechEntry* entry : m_active) {
        active.push_back(entry->id);
        active.push_back(entry->progress);
    }
    file->WriteLine("<TECHTREE>\r\n");
    file->WriteLine(JoinU16(completed) + "\r\n");
    file->WriteLine(JoinU16(active) + "\r\n");
    file->WriteLine("</TECHTREE>\r\n");
    return file->HasWriteFailed() ? 0 : 1;
}

int CFerroxTechTree::Load(CFerroxTagFile* file)
{
    GX_ASSERT(file != nullptr, "the section is read from an open file");
    if (file->SeekTag("<TECHTREE>") != 0)
        return 0;
    std::string line;
    // Only unfinished entries complete and only waiting ones start, so a repeated id, or one both completed and
    // in development, changes nothing twice.
    for (int32_t id : ParseU16Line(file->ReadLine(line))) {
        FerroxTechEntry* entry = id >= 0 ? FindEntry(static_cast<uint16_t>(id)) : nullptr;
        if (entry)
            Complete(entry);
    }
    std::vector<int32_t> pairs = ParseU16Line(file->ReadLine(line));
    for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
        if (pairs[i] < 0 || pairs[i + 1] < 0)
            continue;
        FerroxTechEntry* entry = FindEntry(static_cast<uint16_t>(pairs[i]));
        if (entry && entry->state == FERROX_TECH_WAITING && Activate(entry))
            entry->progress = static_cast<uint16_t>(pairs[i + 1]);
    }
    return 1;
}
