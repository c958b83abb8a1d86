// The object templates and floor tiles of the game data: text/templates.xml holds the FLOOR_TILES and TEMPLATES
// blocks, which the writer splices into the game root's data.xml before its SOUND block; then it copies the
// particle configurations (fire.prt, flies.prt), writes the models and pictures the blocks name, and checks the
// result with the rules the object manager and the floor manager rely on.
#pragma once

#include <string>
#include <vector>

class CFerroxTagTree;

// Template categories in data order; a build category's index is its position.
constexpr int kContentTemplateCategoryCount = 27;
constexpr int kContentBuildCategoryCount = 16;
extern const char* const kContentTemplateCategories[kContentTemplateCategoryCount];

// One plan of a category: its model path, its parameter values, and its prerequisite ids when it has the node.
struct ContentPlan {
    std::string path;
    std::vector<std::string> values;
    bool hasPrerequisites = false;
    std::vector<std::string> prerequisites;
};

struct ContentCategory {
    std::string name;
    std::vector<ContentPlan> plans;
};

// `blocks` inserted into `data` before its "<SOUND>" line (at the end when it has none). False, with the reason,
// when data already holds one of the blocks or either text lacks its final line end.
bool ContentSpliceDataBlocks(const std::string& data, const std::string& blocks, std::string* merged,
                             std::string* error);

// The game root's data.xml: TEXT_DIR's data.xml with TEXT_DIR's templates.xml spliced in.
bool ContentGameDataText(const std::string& textDir, std::string* merged, std::string* error);

// The categories under the tree's TEMPLATES node, in order (empty without one). The cursor moves.
std::vector<ContentCategory> ContentReadTemplates(CFerroxTagTree* data);
// The entries of the FLOOR_TILES node, in order.
std::vector<std::string> ContentReadFloorTiles(CFerroxTagTree* data);

// What breaks the rules the game's readers rely on, one line per fault; empty when the templates are sound.
std::vector<std::string> ContentLintTemplates(const std::vector<ContentCategory>& categories);
// Faults of a particle configuration's text: its line count, empty captions, texture lines and value separators.
std::vector<std::string> ContentLintParticleText(const std::string& text);

// The whole step of mkcontent: data.xml spliced, .prt files copied, models and pictures written, then every
// named file checked under `out` (so it runs after the step that writes the characters).
bool ContentWriteTemplates(const std::string& textDir, const std::string& out, std::string* detail);
