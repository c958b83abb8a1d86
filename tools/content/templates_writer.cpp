// The object templates and floor tiles of the game data: splicing, reading, the rules they must keep, and the
// mkcontent step that writes them with the files they name.
#include "tools/content/templates_writer.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "engine/data/tagtree.h"
#include "tools/content/content_file.h"
#include "tools/content/misc_models.h"

namespace fs = std::filesystem;

const char* const kContentTemplateCategories[kContentTemplateCategoryCount] = {
    "FLOOR",       "SHOP_FASHION", "SHOP_ELECTRIC", "SHOP_LEISURE",  "SHOP_HOME",      "SHOP_HEALTH", "SHOP_FOOD",
    "FAC_CASH",    "FAC_TOILET",   "FAC_SEATS",     "FAC_PHONE",     "STAIRS",         "ATRIUM",      "DOORS",
    "SCEN_PLANTS", "SCEN_DECOR",   "SHOPPER_ADULT", "SHOPPER_YOUTH", "SHOPPER_SENIOR", "CRIMINAL",    "CLEANING",
    "GARDENER",    "ENGINEER",     "SECURITY",      "AUX",           "SWAP",           "MISC",
};

namespace {

// The blocks the splice adds; data.xml must not hold them already.
const char* const kBlockLines[] = {"<FLOOR_TILES>", "<TEMPLATES>"};
const char* const kSpliceBefore = "<SOUND>";
const char* const kBlocksFile = "templates.xml";
const char* const kDataFile = "data.xml";
const char* const kParticleFiles[] = {"fire.prt", "flies.prt"};

// Helper pieces in the order the wall builder takes them.
const char* const kAuxNames[] = {"box",   "wallS", "wallW", "wallN", "wallE",  "wallNE",
                                 "balcS", "balcW", "balcN", "balcE", "spare10"};
constexpr size_t kAuxCount = sizeof(kAuxNames) / sizeof(kAuxNames[0]);
constexpr int kDebrisCount = 10;
// Categories the spawner and the hire panel take exactly two templates from.
const char* const kPairedCategories[] = {"CRIMINAL", "CLEANING", "GARDENER", "ENGINEER", "SECURITY"};
constexpr size_t kPairedPlans = 2;
const char* const kModelPrefix = "./models/";
const char* const kModelSuffix = ".gxs";
// The loader groups models whose names hold this into level-of-detail sets, which plans can not describe.
const char* const kLevelMarker = "LOD";
constexpr size_t kMinFloorTiles = 2;

// Shop categories follow the floor tiles; each offers a small and a large unit.
constexpr size_t kFirstShopCategory = 1;
constexpr size_t kShopCategoryCount = 6;
struct ShopSize {
    const char* suffix;
    const char* size;
};
const ShopSize kShopSizes[] = {{"_small.gxs", "6"}, {"_large.gxs", "8"}};
// sizeX, sizeZ, cost, category, grade, rent value, price, then the appeal by age band and sex.
constexpr size_t kShopValues = 15;
enum ShopValue {
    kShopSizeX,
    kShopSizeZ,
    kShopCost,
    kShopCategory,
    kShopGrade,
    kShopRent,
    kShopPrice,
};
constexpr long kMaxCost = 65535;   // the statistics book costs in 16 bits
constexpr long kMaxPrice = 32767;  // a shopper's purse is compared as a signed 16-bit value
// Cities in level order; the object manager swaps a template naming one city for the variant of the level's.
const char* const kCities[] = {"london", "berlin", "paris"};
const char* const kSwapCategory = "SWAP";

// A .prt file: 34 lines; value lines at even numbers from 6, each with this many values.
constexpr int kParticleLines = 34;
struct ParticleLine {
    int line;
    int values;
    bool integers;
};
const ParticleLine kParticleValues[] = {
    {6, 3, false},  {8, 3, false},  {10, 2, false}, {12, 4, false}, {14, 2, false},
    {16, 2, false}, {18, 3, false}, {20, 3, false}, {22, 4, true},  {24, 4, false},
    {26, 4, true},  {28, 4, true},  {30, 4, false}, {32, 4, false}, {34, 2, true},
};
constexpr int kEmissionLine = 12;       // its first two values are counts
constexpr size_t kNameCommaOffset = 4;  // "x.png," : the comma four places after the last dot

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsInteger(const std::string& text)
{
    char* end = nullptr;
    std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0';
}

bool IsNumber(const std::string& text)
{
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0';
}

std::string NodeName(const CFerroxTagNode* node) { return FerroxTagNameText(node->name); }

const CFerroxTagNode* ChildContaining(const CFerroxTagNode* node, const char* text)
{
    for (const CFerroxTagNode* child : node->children) {
        if (child->name.find(text) != std::string::npos) {
            return child;
        }
    }
    return nullptr;
}

std::vector<std::string> ValueLines(const CFerroxTagNode* node)
{
    std::vector<std::string> lines;
    for (const CFerroxTagValue& value : node->values) {
        lines.push_back(Trimmed(value.str()));
    }
    return lines;
}

// Categories below `node`, named as the object manager names them: group names, then the category's own.
void ReadCategories(const CFerroxTagNode* node, const std::string& prefix, std::vector<ContentCategory>* out)
{
    for (const CFerroxTagNode* child : node->children) {
        const std::string name = prefix + NodeName(child);
        const CFerroxTagNode* plans = ChildContaining(child, "plans");
        if (!plans) {
            ReadCategories(child, name, out);
            continue;
        }
        ContentCategory category{name, {}};
        for (const CFerroxTagNode* planNode : plans->children) {
            ContentPlan plan;
            std::vector<std::string> lines = ValueLines(planNode);
            if (!lines.empty()) {
                plan.path = lines.front();
                plan.values.assign(lines.begin() + 1, lines.end());
            }
            if (const CFerroxTagNode* needs = ChildContaining(planNode, "prerequisits")) {
                plan.hasPrerequisites = true;
                plan.prerequisites = ValueLines(needs);
            }
            category.plans.push_back(plan);
        }
        out->push_back(category);
    }
}

const ContentCategory* FindCategory(const std::vector<ContentCategory>& categories, const std::string& name)
{
    for (const ContentCategory& category : categories) {
        if (category.name == name) {
            return &category;
        }
    }
    return nullptr;
}

void LintOrder(const std::vector<ContentCategory>& categories, std::vector<std::string>* problems)
{
    if (categories.size() != kContentTemplateCategoryCount) {
        problems->push_back("TEMPLATES holds " + std::to_string(categories.size()) + " categories, not " +
                            std::to_string(kContentTemplateCategoryCount));
    }
    for (size_t i = 0; i < categories.size() && i < kContentTemplateCategoryCount; i++) {
        if (categories[i].name != kContentTemplateCategories[i]) {
            problems->push_back("category " + std::to_string(i) + " is " + categories[i].name + ", expected " +
                                kContentTemplateCategories[i]);
        }
    }
}

// Build categories need a plan each (menus count by position), and every template that can stand in a build
// menu, the city variants included, needs a prerequisite node: without one it is never available.
void LintBuildable(const std::vector<ContentCategory>& categories, std::vector<std::string>* problems)
{
    for (size_t i = 0; i < categories.size(); i++) {
        const ContentCategory& category = categories[i];
        const bool build = i < kContentBuildCategoryCount;
        if (build && category.plans.empty()) {
            problems->push_back(category.name + " has no plan");
        }
        if (!build && category.name != "SWAP") {
            continue;
        }
        for (const ContentPlan& plan : category.plans) {
            if (!plan.hasPrerequisites) {
                problems->push_back(plan.path + " has no prerequisits node");
            }
            for (const std::string& id : plan.prerequisites) {
                if (!IsInteger(id)) {
                    problems->push_back(plan.path + " needs '" + id + "', which is no technology id");
                }
            }
        }
    }
}

void LintCounts(const std::vector<ContentCategory>& categories, std::vector<std::string>* problems)
{
    if (const ContentCategory* aux = FindCategory(categories, "AUX")) {
        if (aux->plans.size() != kAuxCount) {
            problems->push_back("AUX holds " + std::to_string(aux->plans.size()) + " plans, not " +
                                std::to_string(kAuxCount));
        }
        for (size_t k = 0; k < aux->plans.size() && k < kAuxCount; k++) {
            if (!EndsWith(aux->plans[k].path, std::string("/") + kAuxNames[k] + kModelSuffix)) {
                problems->push_back("AUX " + std::to_string(k) + " is " + aux->plans[k].path + ", expected " +
                                    kAuxNames[k]);
            }
        }
    }
    for (const char* name : kPairedCategories) {
        const ContentCategory* category = FindCategory(categories, name);
        if (category && category->plans.size() != kPairedPlans) {
            problems->push_back(std::string(name) + " holds " + std::to_string(category->plans.size()) +
                                " plans, not 2");
        }
    }
}

long IntegerOr(const std::string& text, long fallback)
{
    return IsInteger(text) ? std::strtol(text.c_str(), nullptr, 10) : fallback;
}

// Each shop category holds a small 6 x 6 and a large 8 x 8 unit whose category and grade are its own index, so the
// shop names and pictures both stay in range.
void LintShops(const std::vector<ContentCategory>& categories, std::vector<std::string>* problems)
{
    for (size_t i = kFirstShopCategory; i < kFirstShopCategory + kShopCategoryCount && i < categories.size(); i++) {
        const ContentCategory& category = categories[i];
        const long own = static_cast<long>(i - kFirstShopCategory);
        for (const ShopSize& size : kShopSizes) {
            size_t found = 0;
            for (const ContentPlan& plan : category.plans) {
                if (!EndsWith(plan.path, size.suffix)) {
                    continue;
                }
                found++;
                if (plan.values.size() != kShopValues) {
                    problems->push_back(plan.path + " holds " + std::to_string(plan.values.size()) + " values, not " +
                                        std::to_string(kShopValues));
                    continue;
                }
                if (plan.values[kShopSizeX] != size.size || plan.values[kShopSizeZ] != size.size) {
                    problems->push_back(plan.path + " is not " + size.size + " x " + size.size);
                }
                if (IntegerOr(plan.values[kShopCategory], -1) != own || IntegerOr(plan.values[kShopGrade], -1) != own) {
                    problems->push_back(plan.path + " does not give category and grade " + std::to_string(own));
                }
                const long cost = IntegerOr(plan.values[kShopCost], -1);
                const long price = IntegerOr(plan.values[kShopPrice], -1);
                if (cost < 0 || cost > kMaxCost || price < 0 || price > kMaxPrice) {
                    problems->push_back(plan.path + " has a cost or price out of range");
                }
            }
            if (found != 1) {
                problems->push_back(category.name + " holds " + std::to_string(found) + " plans ending " + size.suffix);
            }
        }
    }
}

// A template naming a city needs a variant for each other city in SWAP: the same path with the city changed,
// the same values and the same prerequisites (the swap moves the whole template). Every variant has its template.
void LintCityVariants(const std::vector<ContentCategory>& categories, std::vector<std::string>* problems)
{
    const ContentCategory* swap = FindCategory(categories, kSwapCategory);
    std::vector<const ContentPlan*> partnered;
    for (const ContentCategory& category : categories) {
        if (&category == swap) {
            continue;
        }
        for (const ContentPlan& plan : category.plans) {
            for (const char* city : kCities) {
                const std::string own = std::string("/") + city + "/";
                const size_t at = plan.path.find(own);
                if (at == std::string::npos) {
                    continue;
                }
                for (const char* other : kCities) {
                    if (other == city) {
                        continue;
                    }
                    const std::string wanted =
                        plan.path.substr(0, at) + "/" + other + "/" + plan.path.substr(at + own.size());
                    const ContentPlan* variant = nullptr;
                    for (size_t k = 0; swap && k < swap->plans.size(); k++) {
                        if (swap->plans[k].path == wanted) {
                            variant = &swap->plans[k];
                        }
                    }
                    if (!variant) {
                        problems->push_back(plan.path + " has no variant " + wanted + " in SWAP");
                        continue;
                    }
                    partnered.push_back(variant);
                    if (variant->values != plan.values || variant->prerequisites != plan.prerequisites) {
                        problems->push_back(wanted + " differs from " + plan.path + " in its values or prerequisits");
                    }
                }
            }
        }
    }
    if (swap) {
        for (const ContentPlan& plan : swap->plans) {
            if (std::find(partnered.begin(), partnered.end(), &plan) == partnered.end()) {
                problems->push_back(plan.path + " in SWAP is no variant of a template");
            }
        }
    }
}

// The floor manager asks for "debris" followed by k, and a look-up by model name takes the first path that
// contains the text: debris1 must come before debris10.
void LintDebris(const std::vector<ContentCategory>& categories, std::vector<std::string>* problems)
{
    for (int k = 1; k <= kDebrisCount; k++) {
        const std::string text = "debris" + std::to_string(k);
        const std::string own = "/" + text + kModelSuffix;
        const ContentPlan* first = nullptr;
        for (const ContentCategory& category : categories) {
            for (const ContentPlan& plan : category.plans) {
                if (!first && plan.path.find(text) != std::string::npos) {
                    first = &plan;
                }
            }
        }
        if (!first) {
            problems->push_back("no model for " + text);
        } else if (!EndsWith(first->path, own)) {
            problems->push_back(text + " finds " + first->path + " first");
        }
    }
}

// Model names are paths, and look-ups match names as substrings.
void LintPaths(const std::vector<ContentCategory>& categories, std::vector<std::string>* problems)
{
    std::vector<std::string> paths;
    for (const ContentCategory& category : categories) {
        for (const ContentPlan& plan : category.plans) {
            if (plan.path.empty()) {
                problems->push_back("a plan of " + category.name + " names no model");
                continue;
            }
            if (plan.path.rfind(kModelPrefix, 0) != 0 || !EndsWith(plan.path, kModelSuffix)) {
                problems->push_back(plan.path + " is not a model path under " + kModelPrefix);
            }
            if (plan.path.find(kLevelMarker) != std::string::npos) {
                problems->push_back(plan.path + " contains " + kLevelMarker);
            }
            paths.push_back(plan.path);
        }
    }
    for (size_t i = 0; i < paths.size(); i++) {
        for (size_t j = 0; j < paths.size(); j++) {
            if (i != j && paths[j].find(paths[i]) != std::string::npos) {
                problems->push_back(paths[i] + (paths[i] == paths[j] ? " is named twice" : " is part of " + paths[j]));
            }
        }
    }
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

bool ReadText(const fs::path& file, std::string* text)
{
    std::ifstream in(file, std::ios::binary);
    text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.is_open() && !in.bad();
}

bool Fail(std::string* detail, const std::string& why)
{
    *detail = why;
    return false;
}

}  // namespace

bool ContentSpliceDataBlocks(const std::string& data, const std::string& blocks, std::string* merged,
                             std::string* error)
{
    if ((!data.empty() && data.back() != '\n') || blocks.empty() || blocks.back() != '\n') {
        *error = "a text lacks its final line end";
        return false;
    }
    const std::vector<std::string> lines = SplitLines(data);
    size_t at = data.size();
    size_t offset = 0;
    for (const std::string& raw : lines) {
        const std::string line = Trimmed(raw);
        for (const char* block : kBlockLines) {
            if (line == block) {
                *error = std::string("data.xml already holds ") + block;
                return false;
            }
        }
        if (line == kSpliceBefore && at == data.size()) {
            at = offset;
        }
        offset += raw.size() + 1;
    }
    *merged = data.substr(0, at) + blocks + data.substr(at);
    return true;
}

bool ContentGameDataText(const std::string& textDir, std::string* merged, std::string* error)
{
    const fs::path text(textDir);
    std::string data, blocks;
    if (!ReadText(text / kDataFile, &data) || !ReadText(text / kBlocksFile, &blocks)) {
        *error = "cannot read data.xml or templates.xml in " + textDir;
        return false;
    }
    return ContentSpliceDataBlocks(data, blocks, merged, error);
}

std::vector<ContentCategory> ContentReadTemplates(CFerroxTagTree* data)
{
    std::vector<ContentCategory> categories;
    if (data->FindNode("TEMPLATES", 1)) {
        ReadCategories(data->GetCursor(), "", &categories);
    }
    return categories;
}

std::vector<std::string> ContentReadFloorTiles(CFerroxTagTree* data)
{
    std::vector<std::string> tiles;
    if (data->FindNode("FLOOR_TILES", 1)) {
        for (const CFerroxTagNode* child : data->GetCursor()->children) {
            tiles.push_back(child->values.empty() ? std::string() : Trimmed(child->values.front().str()));
        }
    }
    return tiles;
}

std::vector<std::string> ContentLintTemplates(const std::vector<ContentCategory>& categories)
{
    std::vector<std::string> problems;
    LintOrder(categories, &problems);
    LintBuildable(categories, &problems);
    LintCounts(categories, &problems);
    LintShops(categories, &problems);
    LintCityVariants(categories, &problems);
    LintDebris(categories, &problems);
    LintPaths(categories, &problems);
    return problems;
}

std::vector<std::string> ContentLintParticleText(const std::string& text)
{
    std::vector<std::string> problems;
    if (text.find('\r') != std::string::npos) {
        problems.push_back("lines end in CR LF");
    }
    const std::vector<std::string> lines = SplitLines(text);
    if (lines.size() != kParticleLines) {
        problems.push_back(std::to_string(lines.size()) + " lines, not " + std::to_string(kParticleLines));
        return problems;
    }
    for (int n = 1; n <= kParticleLines; n += 2) {
        if (lines[static_cast<size_t>(n - 1)].find_first_not_of(" \t") == std::string::npos) {
            problems.push_back("caption line " + std::to_string(n) + " is empty");
        }
    }
    for (int n : {2, 4}) {
        const std::string& name = lines[static_cast<size_t>(n - 1)];
        const size_t dot = name.rfind('.');
        if (dot == std::string::npos || dot + kNameCommaOffset >= name.size() || name[dot + kNameCommaOffset] != ',') {
            problems.push_back("line " + std::to_string(n) + " does not end its texture name with a comma");
        }
    }
    for (const ParticleLine& spec : kParticleValues) {
        std::istringstream in(lines[static_cast<size_t>(spec.line - 1)]);
        std::vector<std::string> tokens{std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
        bool sound = static_cast<int>(tokens.size()) == spec.values;
        for (size_t i = 0; sound && i < tokens.size(); i++) {
            std::string value = tokens[i];
            const bool last = i + 1 == tokens.size();
            // The comma touches the value before it, and a blank parts it from the next.
            if (!last && (value.size() < 2 || value.back() != ',')) {
                sound = false;
                break;
            }
            if (!last) {
                value.pop_back();
            }
            const bool integer = spec.integers || (spec.line == kEmissionLine && i < 2);
            sound = integer ? IsInteger(value) : IsNumber(value);
        }
        if (!sound) {
            problems.push_back("line " + std::to_string(spec.line) + " does not hold " + std::to_string(spec.values) +
                               " values parted by \", \"");
        }
    }
    return problems;
}

bool ContentWriteTemplates(const std::string& textDir, const std::string& out, std::string* detail)
{
    const fs::path text(textDir), root(out);
    std::string merged, why;
    if (!ContentGameDataText(textDir, &merged, &why)) {
        return Fail(detail, why);
    }
    const fs::path dataOut = root / kDataFile;
    if (!ContentWriteBytes(dataOut.string().c_str(), merged.data(), static_cast<unsigned>(merged.size()))) {
        return Fail(detail, dataOut.string());
    }
    for (const char* name : kParticleFiles) {
        std::string particle;
        if (!ReadText(text / name, &particle)) {
            return Fail(detail, "cannot read " + (text / name).string());
        }
        const std::vector<std::string> problems = ContentLintParticleText(particle);
        if (!problems.empty()) {
            return Fail(detail, std::string(name) + ": " + problems.front());
        }
        const fs::path copy = root / name;
        if (!ContentWriteBytes(copy.string().c_str(), particle.data(), static_cast<unsigned>(particle.size()))) {
            return Fail(detail, copy.string());
        }
    }
    if (!ContentWriteObjectModels(out, detail)) {
        return false;
    }
    CFerroxTagTree tree;
    if (!tree.LoadFromMemory(merged.data(), merged.size())) {
        return Fail(detail, "data.xml does not read back");
    }
    const std::vector<ContentCategory> categories = ContentReadTemplates(&tree);
    const std::vector<std::string> problems = ContentLintTemplates(categories);
    if (!problems.empty()) {
        return Fail(detail, "TEMPLATES: " + problems.front());
    }
    const std::vector<std::string> tiles = ContentReadFloorTiles(&tree);
    if (tiles.size() < kMinFloorTiles) {
        return Fail(detail, "FLOOR_TILES holds fewer than two tiles");
    }
    std::vector<std::string> named = tiles;
    for (const ContentCategory& category : categories) {
        for (const ContentPlan& plan : category.plans) {
            named.push_back(plan.path);
        }
    }
    // Names are start-relative ("./..."); the file system is case-sensitive, as the game's is.
    for (const std::string& path : named) {
        if (path.rfind("./", 0) != 0 || !fs::is_regular_file(root / path.substr(2))) {
            return Fail(detail, "nothing written for " + path);
        }
    }
    return true;
}
