// Object templates: reading the "TEMPLATES" block into categories, the look-ups and the city swap.
#include "game/world/templates.h"

#include <cstring>
#include <memory>
#include <utility>

#include "engine/data/ptrlist.h"
#include "engine/data/tagtree.h"
#include "engine/world/asset.h"
#include "engine/world/composite.h"
#include "game/world/objectmgr.h"

namespace {

constexpr const char* kCities[] = {"london", "paris", "berlin"};
// The world file name ends in a three-letter extension and its dot.
constexpr size_t kWorldExtensionLength = 4;

std::vector<std::string> ValueTexts(const CFerroxTagNode* node)
{
    std::vector<std::string> texts;
    if (!node)
        return texts;
    texts.reserve(node->values.size());
    for (const CFerroxTagValue& value : node->values)
        texts.push_back(value.str());
    return texts;
}

// The first child whose name contains the text, or null.
const CFerroxTagNode* ChildNamed(const CFerroxTagNode* node, const char* text)
{
    for (const CFerroxTagNode* child : node->children) {
        if (child->name.find(text) != std::string::npos)
            return child;
    }
    return nullptr;
}

bool Contains(const char* text, const std::string& part) { return text && std::strstr(text, part.c_str()) != nullptr; }

}  // namespace

int IsTemplateAvailable(CFerroxAssetSet* assetSet)
{
    if (!assetSet || !assetSet->GetPtrList())
        return 0;
    return assetSet->GetPtrList()->IsEmpty() ? 1 : 0;
}

const char* GetTemplateModelName(CFerroxAssetSet* assetSet)
{
    if (!assetSet || assetSet->GetModels().empty())
        return nullptr;
    const FerroxModelRecord* record = assetSet->GetModels().front();
    if (!record || !record->asset)
        return nullptr;
    return record->asset->GetName();
}

std::string TrimCityWorldName(const char* worldName)
{
    std::string name = worldName ? worldName : "";
    const size_t slash = name.rfind('/');
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    if (name.size() <= kWorldExtensionLength)
        return std::string();
    name.resize(name.size() - kWorldExtensionLength);
    return name;
}

void GetOtherCityNames(const std::string& city, std::string* first, std::string* second)
{
    first->clear();
    second->clear();
    // Checked in this order; each city's two others in a fixed order.
    static const int kOthers[3][2] = {{1, 2}, {0, 2}, {1, 0}};
    for (int i = 0; i < 3; i++) {
        if (city.find(kCities[i]) == std::string::npos)
            continue;
        *first = kCities[kOthers[i][0]];
        *second = kCities[kOthers[i][1]];
        return;
    }
}

std::string GetModelBaseName(const std::string& modelName)
{
    std::string base = modelName;
    const size_t slash = base.rfind('/');
    if (slash != std::string::npos)
        base.erase(0, slash + 1);
    const size_t dot = base.rfind('.');
    if (dot != std::string::npos)
        base.erase(dot);
    return base;
}

// ---------------------------------------------------------------------------------------------------------
// Reading

void CDynamicObjectManager::LoadObjectData(CFerroxTagTree* tree)
{
    if (!m_pModelPool)
        m_pModelPool = std::make_unique<FerroxModelPool>();
    if (!m_pAnimPool)
        m_pAnimPool = std::make_unique<FerroxAnimPool>();
    if (!tree || !tree->FindNode(kTemplatesBlock, 1))
        return;
    LoadCategories(tree, std::string());
}

void CDynamicObjectManager::LoadCategories(CFerroxTagTree* tree, const std::string& prefix)
{
    CFerroxTagNode* node = tree ? tree->GetCursor() : nullptr;
    if (!node)
        return;
    for (CFerroxTagNode* child : node->children) {
        const std::string name = prefix + FerroxTagNameText(child->name);
        tree->SetCursor(child);
        CFerroxTagNode* plans = const_cast<CFerroxTagNode*>(ChildNamed(child, kTemplatePlansNode));
        if (!plans) {
            LoadCategories(tree, name);
            continue;
        }
        tree->SetCursor(plans);
        auto category = std::make_unique<CObjectCategory>();
        category->name = name;
        LoadPlans(tree, category->templates);
        m_categories.push_back(std::move(category));
    }
    tree->SetCursor(node);
}

int CDynamicObjectManager::LoadPlans(CFerroxTagTree* tree, std::vector<CFerroxAssetSet*>& templates)
{
    CFerroxTagNode* plans = tree ? tree->GetCursor() : nullptr;
    if (!plans || plans->children.empty())
        return 0;
    // The category's "common" node stands beside "plans".
    const CFerroxTagNode* common = plans->parent ? ChildNamed(plans->parent, kTemplateCommonNode) : nullptr;
    const std::vector<std::string> commonValues = ValueTexts(common);
    const CFerroxTagNode* commonNeeds = common ? ChildNamed(common, kTemplatePrerequisitesNode) : nullptr;
    const std::vector<std::string> commonIds = ValueTexts(commonNeeds);

    CFerroxAssetLoaderHlpr loader;
    CFerroxStream<CFerroxAssetLoaderHlpr> stream;
    for (CFerroxTagNode* plan : plans->children) {
        if (plan->values.empty()) {
            templates.push_back(new CFerroxAssetSet());
            continue;
        }
        std::vector<std::string> values = ValueTexts(plan);
        std::string fileName = values.front();
        if (!fileName.empty() && fileName.back() == '\n')
            fileName.pop_back();
        loader.SetTarget(m_pModelPool.get(), m_pAnimPool.get(), fileName.c_str());
        // A file that does not open gives no template; one cut short or without a model gives what it held.
        if (!stream.Read(fileName.c_str(), &CFerroxAssetLoaderHlpr::LoadChunk))
            continue;
        stream.Process(&loader);
        loader.GroupAssets();
        std::vector<std::unique_ptr<CFerroxAssetSet>> sets = loader.TakeAssetSets();
        const CFerroxTagNode* needs = ChildNamed(plan, kTemplatePrerequisitesNode);
        const std::vector<std::string> ids = ValueTexts(needs);
        for (std::unique_ptr<CFerroxAssetSet>& set : sets) {
            set->AppendList(values, 1);
            if (needs)
                set->AddToPtrList(ids);
            if (common) {
                set->AppendList(commonValues, 0);
                if (commonNeeds)
                    set->AddToPtrList(commonIds);
            }
            templates.push_back(set.release());
        }
    }
    loader.Release();
    tree->SetCursor(plans);
    return 0;
}

void CDynamicObjectManager::DeleteCategories()
{
    // A category's templates are its own; objects made from them never own them.
    for (const std::unique_ptr<CObjectCategory>& category : m_categories) {
        for (CFerroxAssetSet* set : category->templates)
            delete set;
    }
    m_categories.clear();
}

// ---------------------------------------------------------------------------------------------------------
// Look-ups

CFerroxAssetSet* CDynamicObjectManager::GetTemplate(uint16_t category, uint16_t index)
{
    if (category >= m_categories.size())
        return nullptr;
    const std::vector<CFerroxAssetSet*>& templates = m_categories[category]->templates;
    return index < templates.size() ? templates[index] : nullptr;
}

CFerroxAssetSet* CDynamicObjectManager::FindTemplate(const char* category, uint16_t index)
{
    uint16_t start = 0;
    CObjectCategory* found = FindCategory(category, &start);
    if (!found || index >= found->templates.size())
        return nullptr;
    return found->templates[index];
}

CObjectCategory* CDynamicObjectManager::FindCategory(const char* text, uint16_t* start)
{
    uint16_t first = 0;
    uint16_t& position = start ? *start : first;
    const std::string wanted = text ? text : "";
    while (position < m_categories.size()) {
        CObjectCategory* category = m_categories[position].get();
        position++;
        if (category->name.find(wanted) != std::string::npos)
            return category;
    }
    return nullptr;
}

CFerroxAssetSet* CDynamicObjectManager::FindTemplateByModel(const char* text)
{
    const std::string wanted = text ? text : "";
    for (const std::unique_ptr<CObjectCategory>& category : m_categories) {
        for (CFerroxAssetSet* set : category->templates) {
            if (Contains(GetTemplateModelName(set), wanted))
                return set;
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------------------
// City swap

void CDynamicObjectManager::SwapCityTemplates()
{
    CObjectManagerSeam* seam = GetSeam();
    SwapCityTemplatesFor(seam ? seam->GetWorldName() : nullptr);
}

void CDynamicObjectManager::SwapCityTemplatesFor(const char* worldName)
{
    // Without variants there is nothing to take. A name cut to nothing is held by every model name, so every
    // template then takes the first variant that holds its base name.
    const std::string city = TrimCityWorldName(worldName);
    uint16_t start = 0;
    CObjectCategory* swap = FindCategory(kSwapCategory, &start);
    if (!swap)
        return;
    std::string first;
    std::string second;
    GetOtherCityNames(city, &first, &second);
    for (const std::unique_ptr<CObjectCategory>& category : m_categories) {
        if (category->name.find(kSwapCategory) != std::string::npos)
            continue;
        for (CFerroxAssetSet*& entry : category->templates) {
            const char* model = GetTemplateModelName(entry);
            if (!model || !(Contains(model, first) || Contains(model, second)))
                continue;
            const std::string base = GetModelBaseName(model);
            for (CFerroxAssetSet*& variant : swap->templates) {
                const char* variantModel = GetTemplateModelName(variant);
                if (!Contains(variantModel, base) || !Contains(variantModel, city))
                    continue;
                std::swap(entry, variant);
                break;
            }
        }
    }
}
