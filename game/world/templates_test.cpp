// Object templates read from a tag tree of model files written for each test: category names, plan values,
// prerequisites against the technology tree, the look-ups, the city swap, and the authored game data.
#include "game/world/templates.h"

#include <cstdlib>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "engine/data/ptrlist.h"
#include "engine/data/tagtree.h"
#include "engine/data/techtree.h"
#include "game/buildings/placement_testing.h"
#include "game/shell/game.h"
#include "game/shell/game_testing.h"
#include "game/shell/gameshell.h"
#include "game/testsupport/gameobjects.h"
#include "game/testsupport/objectmgr.h"
#include "game/world/objectmgr.h"
#include "game/world/objectmgr_testing.h"
#include "gfx/core/texture.h"
#include "gfx/world/material.h"

namespace {

class Templates : public GameObjectTest {
protected:
    static void TearDownTestSuite() { RemoveAuthoredRoot(); }
    // Writes a model file under the scratch folder; its path, which is also its model's name.
    std::string Model(const std::string& name)
    {
        const std::string path = Path(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        GxClump* clump = FerroxTaggedClump({"body"});
        EXPECT_NE(nullptr, clump);
        if (clump) {
            WriteBytes(path, FerroxClumpChunk(clump));
            GxClumpDestroy(clump);
        }
        return path;
    }
    // Reads the tag text as the game data and loads its templates.
    void Load(const std::string& text)
    {
        ASSERT_EQ(1, data.LoadFromMemory(text.data(), text.size()));
        manager->LoadObjectData(&data);
    }
    static std::string Plan(const std::string& path, const std::vector<std::string>& values = {})
    {
        std::string text = "<plan>\n" + path + "\n";
        for (const std::string& value : values)
            text += value + "\n";
        return text + "</plan>\n";
    }
    static std::string Category(const std::string& name, const std::string& plans)
    {
        return "<" + name + ">\n<plans>\n" + plans + "</plans>\n</" + name + ">\n";
    }
    // Completes a technology of the test tree (three seconds of development).
    void Complete(uint16_t id)
    {
        CFerroxTechTree* tree = game->m_pTechTree.get();
        ASSERT_EQ(1, tree->Activate(tree->FindEntry(id)));
        for (int second = 0; second < 4; second++)
            tree->Update(1.0f);
    }
    static std::vector<uintptr_t> Ids(CFerroxAssetSet* set)
    {
        std::vector<uintptr_t> ids;
        for (void* id : set->GetPtrList()->GetMaster())
            ids.push_back(reinterpret_cast<uintptr_t>(id));
        return ids;
    }
    std::string ModelOf(uint16_t category, uint16_t index)
    {
        const char* name = GetTemplateModelName(manager->GetTemplate(category, index));
        return name ? name : "";
    }
};

TEST_F(Templates, GroupsPrefixCategoriesAndEmptyPlansCountForIndices)
{
    const std::string desk = Model("models/desk.gxs");
    const std::string lamp = Model("models/lamp.gxs");
    const std::string emptied = Path("models/emptied.gxs");
    WriteBytes(emptied, {});
    // A file cut in its second model keeps its first.
    const std::string cut = Path("models/cut.gxs");
    GxClump* clump = FerroxTaggedClump({"body"});
    ASSERT_NE(nullptr, clump);
    FerroxBytes bytes = FerroxClumpChunk(clump);
    GxClumpDestroy(clump);
    const FerroxBytes second = bytes;
    bytes.insert(bytes.end(), second.begin(), second.begin() + static_cast<long>(second.size() / 2));
    WriteBytes(cut, bytes);
    Load("<OTHER>\n<plans>\n</plans>\n</OTHER>\n<TEMPLATES>\n<OFFICE>\n" +
         Category("FURNITURE", Plan(desk) + "<plan>\n</plan>\n" + Plan(Path("models/missing.gxs")) + Plan(emptied) +
                                   Plan(cut, {"7"}) + Plan(lamp)) +
         "</OFFICE>\n" + Category("AUX", Plan(lamp)) + "</TEMPLATES>\n");

    ASSERT_EQ(2u, manager->GetCategories().size()) << "only the TEMPLATES block is read";
    EXPECT_EQ("OFFICEFURNITURE", manager->GetCategories()[0]->name);
    EXPECT_EQ("AUX", manager->GetCategories()[1]->name);
    // The missing file gives no template; the emptied one and the empty plan give one without a model, the cut
    // one a template of what it held.
    ASSERT_EQ(5u, manager->GetCategories()[0]->templates.size());
    EXPECT_EQ(desk, ModelOf(0, 0));
    EXPECT_EQ("", ModelOf(0, 1));
    EXPECT_EQ("", ModelOf(0, 2));
    ASSERT_EQ(1u, manager->GetTemplate(0, 3)->GetModels().size()) << "the model read whole before the cut";
    EXPECT_EQ(cut, ModelOf(0, 3));
    EXPECT_EQ(lamp, ModelOf(0, 4));
    EXPECT_EQ(0, IsTemplateAvailable(manager->GetTemplate(0, 1))) << "no prerequisite list: not available";
    EXPECT_EQ(nullptr, manager->GetTemplate(0, 5));
    EXPECT_EQ(nullptr, manager->GetTemplate(2, 0));

    EXPECT_EQ(manager->GetTemplate(0, 4), manager->FindTemplate("FURNITURE", 4)) << "own name alone finds it";
    EXPECT_EQ(manager->GetTemplate(0, 0), manager->FindTemplate("", 0)) << "empty text: the first category";
    EXPECT_EQ(manager->GetTemplate(1, 0), manager->FindTemplate("AUX", 0));
    EXPECT_EQ(nullptr, manager->FindTemplate("AUX", 1));
    EXPECT_EQ(nullptr, manager->FindTemplate("aux", 0)) << "names match case-sensitively";
    EXPECT_EQ(manager->GetTemplate(0, 4), manager->FindTemplateByModel("lamp"))
        << "templates without a model are skipped";
    EXPECT_EQ(nullptr, manager->FindTemplateByModel("chair"));
    // A model named twice is read once: the second naming is a record of its own on the same model.
    EXPECT_EQ(4u, manager->GetModelPool()->GetCount());
    EXPECT_EQ(manager->GetTemplate(0, 4)->GetModels()[0]->asset, manager->GetTemplate(1, 0)->GetModels()[0]->asset);

    // An object sharing a pooled model is still alive when the manager goes: it goes before the pools.
    FerroxObjectDescriptor descriptor = {};
    descriptor.assetSet = manager->GetTemplate(0, 0);
    CFerroxObject* object = manager->CreateObject(manager->FindFactory("ferrox", nullptr), &descriptor);
    ASSERT_NE(nullptr, object);
    EXPECT_NE(nullptr, object->GetModel());
    CDynamicObjectManager::DestroyInstance();
}

TEST_F(Templates, AppendsCommonValuesAndPrerequisitesAfterThePlansOwn)
{
    game->m_pTechTree->LoadTechnologies(nullptr, CGame::OnTechnologyUnlocked);
    const std::string kiosk = Model("models/kiosk.gxs");
    const std::string stand = Model("models/stand.gxs");
    Load("<TEMPLATES>\n<STALLS>\n<plans>\n" + Plan(kiosk, {"10", "20", "<prerequisits>", "1000", "</prerequisits>"}) +
         Plan(stand, {"30"}) +
         "</plans>\n<common>\nc1\nc2\n<prerequisits>\n2000\n</prerequisits>\n</common>\n</STALLS>\n"
         "<FREE>\n<plans>\n" +
         Plan(stand, {"<prerequisits>", "</prerequisits>"}) + "</plans>\n</FREE>\n</TEMPLATES>\n");

    CFerroxAssetSet* first = manager->GetTemplate(0, 0);
    CFerroxAssetSet* second = manager->GetTemplate(0, 1);
    ASSERT_TRUE(first && second);
    EXPECT_EQ((std::vector<std::string>{"10", "20", "c1", "c2"}), first->GetValues());
    EXPECT_EQ((std::vector<std::string>{"30", "c1", "c2"}), second->GetValues());
    EXPECT_EQ((std::vector<uintptr_t>{1000, 2000}), Ids(first));
    EXPECT_EQ((std::vector<uintptr_t>{2000}), Ids(second));
    EXPECT_EQ(1, IsTemplateAvailable(manager->GetTemplate(1, 0))) << "an empty prerequisite list";

    EXPECT_EQ(0, IsTemplateAvailable(first));
    Complete(2000);
    EXPECT_EQ(0, IsTemplateAvailable(first));
    EXPECT_EQ(1, IsTemplateAvailable(second));
    Complete(1000);
    EXPECT_EQ(1, IsTemplateAvailable(first));
    game->m_pTechTree->Reset();
    EXPECT_EQ(0, IsTemplateAvailable(first)) << "prerequisites come back with a new game";
    EXPECT_EQ(0, IsTemplateAvailable(second));
}

TEST_F(Templates, FindCategoryWalksEveryMatchOnceWithOneIndex)
{
    const std::string walker = Model("models/walker.gxs");
    Load("<TEMPLATES>\n" + Category("SHOPPER_ADULT", Plan(walker)) + Category("CRIMINAL", Plan(walker)) +
         Category("SHOPPER_YOUTH", Plan(walker)) + "</TEMPLATES>\n");
    uint16_t index = 0;
    CObjectCategory* adult = manager->FindCategory("SHOPPER", &index);
    ASSERT_NE(nullptr, adult);
    EXPECT_EQ("SHOPPER_ADULT", adult->name);
    EXPECT_EQ(1, index);
    CObjectCategory* youth = manager->FindCategory("SHOPPER", &index);
    ASSERT_NE(nullptr, youth);
    EXPECT_EQ("SHOPPER_YOUTH", youth->name);
    EXPECT_EQ(3, index);
    EXPECT_EQ(nullptr, manager->FindCategory("SHOPPER", &index));
    EXPECT_EQ(nullptr, manager->FindCategory("", &index)) << "a start past the end finds nothing";
    EXPECT_EQ(adult, manager->FindCategory("", nullptr));
}

class CitySwap : public Templates {
protected:
    // Fashion and food for the first city's level in the category, the other cities' variants in SWAP.
    void LoadCities()
    {
        for (const char* city : {"london", "paris", "berlin"}) {
            for (const char* kind : {"fashion", "food"})
                model[city][kind] = Model(std::string("models/") + city + "/" + kind + ".gxs");
        }
        toys = Model("models/toys.gxs");
        Load("<TEMPLATES>\n" +
             Category("SHOPS", Plan(model["london"]["fashion"]) + "<plan>\n</plan>\n" + Plan(toys) +
                                   Plan(model["london"]["food"])) +
             Category("SWAP", Plan(model["paris"]["fashion"]) + Plan(model["berlin"]["fashion"]) +
                                  Plan(model["berlin"]["food"]) + Plan(model["paris"]["food"])) +
             "</TEMPLATES>\n");
    }
    std::vector<std::string> Shops() { return {ModelOf(0, 0), ModelOf(0, 1), ModelOf(0, 2), ModelOf(0, 3)}; }
    std::vector<std::string> ShopsOf(const char* city)
    {
        return {model[city]["fashion"], "", toys, model[city]["food"]};
    }
    std::map<std::string, std::map<std::string, std::string>> model;
    std::string toys;
};

TEST_F(CitySwap, TakesEachLevelsVariantsAndGivesThemBack)
{
    LoadCities();
    ASSERT_EQ(ShopsOf("london"), Shops());
    manager->SwapCityTemplatesFor("maps/berlin.gxs");
    EXPECT_EQ(ShopsOf("berlin"), Shops());
    EXPECT_EQ(model["london"]["fashion"], ModelOf(1, 1)) << "the other city's template takes the variant's place";
    manager->SwapCityTemplatesFor("paris.gxs");
    EXPECT_EQ(ShopsOf("paris"), Shops());
    TestFloorSeam seam;
    seam.worldName = "./maps/london.gxs";
    CDynamicObjectManager::SetSeam(&seam);
    manager->SwapCityTemplates();
    CDynamicObjectManager::SetSeam(nullptr);
    EXPECT_EQ(ShopsOf("london"), Shops());
    manager->SwapCityTemplatesFor("maps/london.gxs");
    EXPECT_EQ(ShopsOf("london"), Shops()) << "the level's own templates stay";
    EXPECT_EQ(4u, manager->GetCategories()[1]->templates.size());
}

TEST_F(CitySwap, AWorldOfNoCityTakesNoVariantAndANameCutToNothingTakesTheFirst)
{
    LoadCities();
    for (const char* name : {"maps/rome.gxs", "roma.gxs"}) {
        manager->SwapCityTemplatesFor(name);
        EXPECT_EQ(ShopsOf("london"), Shops()) << name;
    }
    // Cut to nothing, the name is held by every model name: each template takes the first variant holding its
    // base name.
    manager->SwapCityTemplatesFor("maps/.gxs");
    const std::vector<std::string> first = {model["paris"]["fashion"], "", toys, model["berlin"]["food"]};
    EXPECT_EQ(first, Shops());
    manager->SwapCityTemplatesFor("maps/rome.gxs");
    EXPECT_EQ(first, Shops());

    CDynamicObjectManager::DestroyInstance();
    manager = CDynamicObjectManager::Instance();
    const std::string fashion = Model("models/london/fashion.gxs");
    Load("<TEMPLATES>\n" + Category("SHOPS", Plan(fashion)) + "</TEMPLATES>\n");
    manager->SwapCityTemplatesFor("maps/berlin.gxs");
    EXPECT_EQ(fashion, ModelOf(0, 0)) << "no SWAP category: nothing to exchange";
}

TEST_F(Templates, ReadsNothingWithoutTheBlock)
{
    Load("<TEMPLATES>\n</TEMPLATES>\n");
    EXPECT_TRUE(manager->GetCategories().empty());
    manager->LoadObjectData(nullptr);
    EXPECT_TRUE(manager->GetCategories().empty());
    EXPECT_NE(nullptr, manager->GetModelPool());
    EXPECT_EQ(nullptr, manager->FindTemplate("", 0));
    EXPECT_EQ(nullptr, manager->FindTemplateByModel(""));
    EXPECT_EQ(nullptr, manager->FindCategory("", nullptr));
}

// The game root authored by mkcontent, read as the game reads it at set-up.
TEST_F(Templates, EveryTemplateOfTheAuthoredDataLoads)
{
    const std::string root = AuthoredRoot();
    if (root.empty())
        GTEST_SKIP() << "needs mkcontent and MALL_SOURCE_DIR";
    ASSERT_EQ(1, LoadGameData(root));

    ASSERT_EQ(27u, manager->GetCategories().size());
    size_t plans = 0;
    ASSERT_EQ(1, data.FindNode(kTemplatesBlock, 1));
    for (const CFerroxTagNode* category : data.GetCursor()->children) {
        for (const CFerroxTagNode* child : category->children) {
            if (child->name.find(kTemplatePlansNode) != std::string::npos)
                plans += child->children.size();
        }
    }
    size_t templates = 0;
    for (const std::unique_ptr<CObjectCategory>& category : manager->GetCategories()) {
        for (CFerroxAssetSet* set : category->templates) {
            templates++;
            EXPECT_NE(nullptr, GetTemplateModelName(set)) << category->name << " " << templates;
        }
    }
    EXPECT_EQ(plans, templates) << "one template per plan";
    EXPECT_EQ("FLOOR", manager->GetCategories()[0]->name);
    EXPECT_EQ(1, IsTemplateAvailable(manager->GetTemplate(1, 0))) << "the first shop is buildable from the start";
    EXPECT_NE(nullptr, manager->FindTemplateByModel("select.gxs"));
}

}  // namespace

namespace {

struct AnimRecord {
    std::vector<std::string> paths;
    std::vector<GxTexture**> slots;
    float updated = 0.0f;
    int deleted = 0;
};
AnimRecord g_anim;

class RecordingAnimTexture : public CObjectAnimTexture {
public:
    ~RecordingAnimTexture() override { g_anim.deleted++; }
    int Load(const char* path, GxTexture** slot) override
    {
        g_anim.paths.push_back(path);
        g_anim.slots.push_back(slot);
        const std::string stem = std::filesystem::path(path).stem().string();
        base = stem + "00";
        return 1;
    }
    void Update(float dt) override { g_anim.updated += dt; }
    const char* GetBaseName() const override { return base.c_str(); }
    std::string base;
};

TEST_F(Templates, AnimatesEachTextureOnceFromTheModelsFolder)
{
    g_anim = AnimRecord();
    GxTexture* water = GxTextureSetName(GxTextureCreate(nullptr), "water00");
    GxTexture* fire = GxTextureSetName(GxTextureCreate(nullptr), "fire00");
    GxTexture* otherWater = GxTextureSetName(GxTextureCreate(nullptr), "water00");
    ASSERT_TRUE(water && fire && otherWater);
    GxMaterial* materials[3] = {GxMaterialCreate(), GxMaterialCreate(), GxMaterialCreate()};
    GxMaterialSetTexture(materials[0], water);
    GxMaterialSetTexture(materials[1], water);
    GxMaterialSetTexture(materials[2], fire);
    const std::vector<GxMaterial*> list(materials, materials + 3);

    SetObjectAnimTextureMaker(
        []() -> std::unique_ptr<CObjectAnimTexture> { return std::make_unique<RecordingAnimTexture>(); });
    manager->CreateAnimTexturesFor("./models/shops/fountain.gxs", list);
    manager->CreateAnimTexturesFor("./models/other/fountain.gxs", list);
    SetObjectAnimTextureMaker(nullptr);
    const std::vector<std::string> paths = {"./models/shops/ani/water.ini", "./models/shops/ani/fire.ini"};
    EXPECT_EQ(paths, g_anim.paths) << "materials sharing a texture share one animation";
    ASSERT_EQ(2u, g_anim.slots.size());
    EXPECT_EQ(&materials[0]->texture, g_anim.slots[0]);
    EXPECT_NE(nullptr, manager->FindAnimTexture(water));
    EXPECT_EQ(nullptr, manager->FindAnimTexture(otherWater)) << "the same name on another texture";

    manager->Update(0.25f);
    EXPECT_FLOAT_EQ(0.5f, g_anim.updated) << "each animated texture steps once a frame";
    manager->DeleteAll();
    EXPECT_EQ(2, g_anim.deleted);
    EXPECT_TRUE(manager->GetAnimTextures().empty());

    for (GxMaterial* material : materials)
        GxMaterialDestroy(material);
    for (GxTexture* texture : {water, fire, otherWater})
        GxTextureDestroy(texture);
}

}  // namespace
