// The shipped templates, floor tiles and particle configurations keep the rules the game's readers rely on, and
// the checks that guard those rules catch each way of breaking them.
#include "tools/content/templates_writer.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "engine/data/tagtree.h"
#include "tools/content/content_testing.h"
#include "tools/content/misc_models.h"

namespace {

std::string ReadSource(const std::string& name)
{
    std::ifstream in(ContentTextDir() + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<ContentCategory> ShippedTemplates(CFerroxTagTree* tree)
{
    std::string merged, error;
    EXPECT_TRUE(ContentGameDataText(ContentTextDir(), &merged, &error)) << error;
    tree->LoadFromMemory(merged.data(), merged.size());
    return ContentReadTemplates(tree);
}

bool Mentions(const std::vector<std::string>& problems, const std::string& text)
{
    return std::any_of(problems.begin(), problems.end(),
                       [&](const std::string& p) { return p.find(text) != std::string::npos; });
}

ContentPlan* FindPlan(std::vector<ContentCategory>* categories, const std::string& end)
{
    for (ContentCategory& category : *categories) {
        for (ContentPlan& plan : category.plans) {
            if (plan.path.size() >= end.size() &&
                plan.path.compare(plan.path.size() - end.size(), end.size(), end) == 0) {
                return &plan;
            }
        }
    }
    return nullptr;
}

TEST(TemplatesText, ShippedDataKeepsTheRulesAndNamesEveryRecipe)
{
    ASSERT_FALSE(ContentTextDir().empty());
    CFerroxTagTree tree;
    const std::vector<ContentCategory> categories = ShippedTemplates(&tree);
    ASSERT_EQ(kContentTemplateCategoryCount, static_cast<int>(categories.size()));
    for (const std::string& problem : ContentLintTemplates(categories)) {
        ADD_FAILURE() << problem;
    }

    // The floor manager makes the second tile the default; the FLOOR plans lay the same six tiles.
    const std::vector<std::string> tiles = ContentReadFloorTiles(&tree);
    ASSERT_EQ(static_cast<size_t>(kContentFloorTileCount), tiles.size());
    EXPECT_EQ("./images/floors/marble.png", tiles[1]);
    for (GxInt32 t = 0; t < kContentFloorTileCount; t++) {
        EXPECT_EQ(std::string("./images/floors/") + ContentFloorTileStem(t) + ".png", tiles[static_cast<size_t>(t)]);
    }

    // Every model recipe serves a plan; a recipe for a path the data does not name would be dead weight.
    std::vector<std::string> named;
    for (const ContentCategory& category : categories) {
        for (const ContentPlan& plan : category.plans) {
            named.push_back(plan.path);
        }
    }
    for (const std::string& path : ContentObjectModelPaths()) {
        EXPECT_NE(named.end(), std::find(named.begin(), named.end(), path)) << path;
    }
    // And every plan has its model here, but the characters, which their own step writes.
    const std::vector<std::string>& recipes = ContentObjectModelPaths();
    for (const ContentCategory& category : categories) {
        for (const ContentPlan& plan : category.plans) {
            if (plan.path.rfind("./models/people/", 0) != 0 || plan.path == "./models/people/select.gxs") {
                EXPECT_NE(recipes.end(), std::find(recipes.begin(), recipes.end(), plan.path)) << plan.path;
            }
        }
    }

    // Tag text rules: nothing indented (a blank before "<" makes a value), no CR, no over-long line.
    const std::string blocks = ReadSource("templates.xml");
    EXPECT_EQ(std::string::npos, blocks.find('\r'));
    EXPECT_EQ(std::string::npos, blocks.find("\n <"));
    EXPECT_EQ(std::string::npos, blocks.find("\n\n"));  // an empty line would be an empty value
}

TEST(TemplatesText, LintCatchesEachBrokenRule)
{
    CFerroxTagTree tree;
    const std::vector<ContentCategory> shipped = ShippedTemplates(&tree);
    ASSERT_EQ(kContentTemplateCategoryCount, static_cast<int>(shipped.size()));

    std::vector<ContentCategory> swapped = shipped;
    std::swap(swapped[7], swapped[8]);
    EXPECT_TRUE(Mentions(ContentLintTemplates(swapped), "category 7 is FAC_TOILET"));

    // Only debris10's file would be found for "debris1".
    std::vector<ContentCategory> debris = shipped;
    std::swap(FindPlan(&debris, "/debris1.gxs")->path, FindPlan(&debris, "/debris10.gxs")->path);
    EXPECT_TRUE(Mentions(ContentLintTemplates(debris), "debris1 finds ./models/misc/debris10.gxs"));

    std::vector<ContentCategory> twice = shipped;
    twice[26].plans.push_back(twice[26].plans.front());
    EXPECT_TRUE(Mentions(ContentLintTemplates(twice), "ground.gxs is named twice"));

    std::vector<ContentCategory> shortAux = shipped;
    shortAux[24].plans.pop_back();
    EXPECT_TRUE(Mentions(ContentLintTemplates(shortAux), "AUX holds 10 plans"));
    std::vector<ContentCategory> turnedAux = shipped;
    std::swap(turnedAux[24].plans[1], turnedAux[24].plans[3]);
    EXPECT_TRUE(Mentions(ContentLintTemplates(turnedAux), "AUX 1 is ./models/aux/wallN.gxs"));

    // Without the node a build template is never available; with a bad id it never becomes so.
    std::vector<ContentCategory> locked = shipped;
    locked[13].plans[0].hasPrerequisites = false;
    EXPECT_TRUE(Mentions(ContentLintTemplates(locked), "door.gxs has no prerequisits node"));
    std::vector<ContentCategory> badId = shipped;
    badId[12].plans[0].prerequisites = {"engineering"};
    EXPECT_TRUE(Mentions(ContentLintTemplates(badId), "no technology id"));
    std::vector<ContentCategory> emptyMenu = shipped;
    emptyMenu[9].plans.clear();
    EXPECT_TRUE(Mentions(ContentLintTemplates(emptyMenu), "FAC_SEATS has no plan"));

    std::vector<ContentCategory> badPath = shipped;
    badPath[15].plans[0].path = "./models/scenery/statueLOD_0.gxs";
    EXPECT_TRUE(Mentions(ContentLintTemplates(badPath), "contains LOD"));
    // Shops: one small and one large unit of the right size, category and grade in range of the pictures.
    std::vector<ContentCategory> noLarge = shipped;
    noLarge[3].plans.erase(noLarge[3].plans.begin() + 1);
    EXPECT_TRUE(Mentions(ContentLintTemplates(noLarge), "SHOP_LEISURE holds 0 plans ending _large.gxs"));
    std::vector<ContentCategory> shrunk = shipped;
    FindPlan(&shrunk, "/food_large.gxs")->values[1] = "6";
    EXPECT_TRUE(Mentions(ContentLintTemplates(shrunk), "food_large.gxs is not 8 x 8"));
    std::vector<ContentCategory> misfiled = shipped;
    FindPlan(&misfiled, "/home_small.gxs")->values[3] = "4";
    EXPECT_TRUE(Mentions(ContentLintTemplates(misfiled), "home_small.gxs does not give category and grade 3"));
    std::vector<ContentCategory> dear = shipped;
    FindPlan(&dear, "/fashion_large.gxs")->values[2] = "70000";
    EXPECT_TRUE(Mentions(ContentLintTemplates(dear), "fashion_large.gxs has a cost or price out of range"));

    // City variants: each other city's version in SWAP, moved whole.
    std::vector<ContentCategory> noParis = shipped;
    noParis[25].plans.erase(noParis[25].plans.begin());
    EXPECT_TRUE(Mentions(ContentLintTemplates(noParis), "has no variant ./models/scenery/paris/landmark.gxs"));
    std::vector<ContentCategory> cheaper = shipped;
    FindPlan(&cheaper, "/berlin/landmark.gxs")->values[2] = "10";
    EXPECT_TRUE(Mentions(ContentLintTemplates(cheaper), "berlin/landmark.gxs differs"));
    std::vector<ContentCategory> locked2 = shipped;
    FindPlan(&locked2, "/paris/landmark.gxs")->prerequisites = {"2000"};
    EXPECT_TRUE(Mentions(ContentLintTemplates(locked2), "paris/landmark.gxs differs"));
    std::vector<ContentCategory> orphan = shipped;
    FindPlan(&orphan, "/london/landmark.gxs")->path = "./models/scenery/london/tower.gxs";
    EXPECT_TRUE(Mentions(ContentLintTemplates(orphan), "paris/landmark.gxs in SWAP is no variant"));

    std::vector<ContentCategory> oneCrook = shipped;
    oneCrook[19].plans.pop_back();
    EXPECT_TRUE(Mentions(ContentLintTemplates(oneCrook), "CRIMINAL holds 1 plans"));
}

TEST(TemplatesText, SpliceGoesBeforeSoundAndRefusesASecondCopy)
{
    const std::string blocks = "<TEMPLATES>\n<A>\n<plans>\n</plans>\n</A>\n</TEMPLATES>\n";
    std::string merged, error;
    ASSERT_TRUE(ContentSpliceDataBlocks("<DEBUG>\n</DEBUG>\n<SOUND>\n</SOUND>\n", blocks, &merged, &error));
    EXPECT_EQ("<DEBUG>\n</DEBUG>\n" + blocks + "<SOUND>\n</SOUND>\n", merged);
    ASSERT_TRUE(ContentSpliceDataBlocks("<DEBUG>\n</DEBUG>\n", blocks, &merged, &error));
    EXPECT_EQ("<DEBUG>\n</DEBUG>\n" + blocks, merged);
    EXPECT_FALSE(ContentSpliceDataBlocks(merged, blocks, &merged, &error));
    EXPECT_NE(std::string::npos, error.find("<TEMPLATES>"));
    EXPECT_FALSE(ContentSpliceDataBlocks("<DEBUG>\n</DEBUG>", blocks, &merged, &error));
}

TEST(TemplatesText, ParticleFilesHoldThirtyFourReadableLines)
{
    for (const char* name : {"fire.prt", "flies.prt"}) {
        const std::string text = ReadSource(name);
        ASSERT_FALSE(text.empty()) << name;
        for (const std::string& problem : ContentLintParticleText(text)) {
            ADD_FAILURE() << name << ": " << problem;
        }
    }
    const std::string fire = ReadSource("fire.prt");
    // The reader takes the comma as a word of its own: touching the next value it swallows that value.
    std::string touching = fire;
    touching.replace(touching.find("0.0, 0.5, 0.0"), 13, "0.0,0.5, 0.0");
    EXPECT_TRUE(Mentions(ContentLintParticleText(touching), "line 6"));
    std::string uncut = fire;
    uncut.replace(uncut.find("fire.png,"), 9, "fire.png");
    EXPECT_TRUE(Mentions(ContentLintParticleText(uncut), "line 2"));
    std::string blankCaption = fire;
    blankCaption.replace(blankCaption.find("Force x, y, z"), 13, "");
    EXPECT_TRUE(Mentions(ContentLintParticleText(blankCaption), "caption line 5"));
    std::string shortFile = fire.substr(0, fire.rfind("4, 1"));
    EXPECT_TRUE(Mentions(ContentLintParticleText(shortFile), "33 lines"));
    std::string fraction = fire;
    fraction.replace(fraction.rfind("4, 1"), 4, "4, 1.5");
    EXPECT_TRUE(Mentions(ContentLintParticleText(fraction), "line 34"));
}

}  // namespace
