// The "<OBJECTS>" reader: a window of four lines finds each record header, the object reads the rest.
#include "game/buildings/objectsreader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "engine/navigation/blockmesh.h"
#include "game/buildings/building.h"
#include "game/buildings/shop.h"
#include "game/buildings/stairs.h"
#include "game/world/factories.h"
#include "game/world/objectmgr.h"
#include "game/world/templates.h"

namespace {

// Characters are made with their own model copy, building objects with a clone of the pooled one.
constexpr int kCharacterModelMode = 2;
constexpr int kBuildingModelMode = 1;
// The save writes six significant digits: a height this close to a storey's is that storey's.
constexpr float kHeightTolerance = 0.01f;
// Characters walk the streets around the grid, up to a grid's span beside it.
constexpr float kStreetSpans = 1.0f;

enum RecordLine {
    kLineNumber = 0,
    kLineStorey,
    kLineModel,
    kLineFactory
};

bool IsEndLine(const std::string& line)
{
    return line.find(kObjectsSectionEndTag) != std::string::npos || line == kObjectsSectionTag;
}

class ObjectsReader {
public:
    ObjectsReader(CFerroxTagFile* file, CFerroxWorld* world, CFerroxBlockMesh* ground, CPlacementController* controller)
        : m_file(file), m_world(world), m_ground(ground), m_controller(controller),
          m_manager(CDynamicObjectManager::Instance())
    {
        IndexNames();
    }

    ObjectsReadCount Run()
    {
        ObjectsReadCount count = {0, 0};
        if (m_file->SeekTag(kObjectsSectionTag) != 0)
            return count;
        // Lines that begin no record are what is left of a dropped one; a run of them after a record read whole
        // is a record whose header broke.
        bool inDropped = false;
        for (;;) {
            Fill();
            if (m_window.empty() || IsEndLine(m_window.front()))
                break;
            if (!IsHeader()) {
                count.dropped += inDropped ? 0 : 1;
                inDropped = true;
                m_window.pop_front();
                continue;
            }
            inDropped = !ReadRecord();
            if (inDropped)
                count.dropped++;
            else
                count.loaded++;
        }
        RaiseShopCounter();
        return count;
    }

private:
    // Every line may be asked whether it names a template or a factory: each is one look-up, whatever the
    // number of templates. A record names its model in full; the first template with that model answers.
    void IndexNames()
    {
        for (const std::unique_ptr<CObjectCategory>& category : m_manager->GetCategories()) {
            for (CFerroxAssetSet* set : category->templates) {
                const char* name = GetTemplateModelName(set);
                if (name && *name)
                    m_templates.emplace(name, set);
            }
        }
        for (const std::unique_ptr<CFerroxObjectFactory>& factory : m_manager->GetFactories()) {
            if (factory->GetName())
                m_factoryNames.insert(factory->GetName());
        }
    }

    CFerroxAssetSet* TemplateNamed(const std::string& model) const
    {
        const auto found = m_templates.find(model);
        return found == m_templates.end() ? nullptr : found->second;
    }

    // The manager's look-up puts the factory in the world; it runs once per name.
    CFerroxObjectFactory* FactoryNamed(const std::string& name)
    {
        if (m_factoryNames.find(name) == m_factoryNames.end())
            return nullptr;
        auto found = m_factories.find(name);
        if (found == m_factories.end())
            found = m_factories.emplace(name, m_manager->FindFactory(name.c_str(), m_world)).first;
        return found->second;
    }

    void Fill()
    {
        while (m_window.size() < kObjectHeaderLines && !m_file->IsEof()) {
            std::string line;
            m_file->ReadLine(line);
            m_window.push_back(line);
        }
    }

    // A number, a storey number, a known model and a factory's full name. The names are looked up first: most
    // windows that are no header fail there, before any number is parsed.
    bool IsHeader()
    {
        if (m_window.size() < kObjectHeaderLines || !TemplateNamed(m_window[kLineModel]) ||
            !FactoryNamed(m_window[kLineFactory]))
            return false;
        unsigned number = 0;
        int storey = 0;
        return FromString<unsigned>(m_window[kLineNumber], number) && FromString<int>(m_window[kLineStorey], storey);
    }

    // Makes the object of the header in the window; false when the record was dropped.
    bool ReadRecord()
    {
        int storeyIndex = -1;
        FromString<int>(m_window[kLineStorey], storeyIndex);
        CFerroxAssetSet* set = TemplateNamed(m_window[kLineModel]);
        CFerroxObjectFactory* factory = FactoryNamed(m_window[kLineFactory]);
        const bool character = IsCharacterFactoryName(factory->GetName());
        m_window.clear();
        CFerroxBlockMesh* storey = storeyIndex >= 0 && m_ground ? m_ground->GetLinked(storeyIndex) : nullptr;
        if (!storey || (character && AtCharacterLimit(factory->GetName())))
            return false;
        FerroxObjectDescriptor descriptor = {};
        descriptor.assetSet = set;
        descriptor.modelMode = character ? kCharacterModelMode : kBuildingModelMode;
        descriptor.floorObject = storey;
        CFerroxObject* object = m_manager->CreateObject(factory, &descriptor);
        if (!object)
            return false;
        CFerroxIOObject* saved = dynamic_cast<CFerroxIOObject*>(object);
        if (character) {
            // A character that did not read, or stands where no storey or street is, is not brought back.
            if (saved && (saved->Load(m_file) != 0 || !OnOrBesideStorey(saved, storey))) {
                m_manager->RemoveObject(object, 1);
                return false;
            }
            return true;
        }
        CBaseObject* building = dynamic_cast<CBaseObject*>(object);
        if (!building) {
            m_manager->RemoveObject(object, 1);
            return false;
        }
        if (building->CFerroxIOObject::Load(m_file) != 0 || !Stand(building, storey)) {
            m_manager->RemoveObject(object, 1);
            return false;
        }
        CPlacementRecord record = {m_world, m_controller, set, 1, storey};
        if (!building->Place(&record)) {
            m_manager->RemoveObject(object, 1);
            return false;
        }
        building->Load(m_file);
        return true;
    }

    // No more characters of a kind than the game itself brings in or lets the player hire.
    bool AtCharacterLimit(const char* factory) const
    {
        if (std::strcmp(factory, kShopperFactoryName) == 0)
            return m_manager->GetShoppers().size() >= kShopperLimit;
        if (std::strcmp(factory, kCriminalFactoryName) == 0)
            return m_manager->GetCriminals().size() >= kCriminalLimit;
        return m_manager->GetStaffCount() >= kStaffLimit;
    }

    // The object goes on the storey only where its whole footprint lies on the grid, on cells no object holds
    // (stairs also on the storey above).
    static bool Stand(CBaseObject* building, CFerroxBlockMesh* storey)
    {
        const GxV3d* position = building->GetPosition();
        if (!position || !(std::fabs(position->y - storey->GetOrigin().y) <= kHeightTolerance) ||
            building->SetGridPosition(*position, storey) != 0)
            return false;
        const int first = building->GetFirstCell();
        const int rows = building->GetRows();
        const int columns = building->GetColumns();
        if (!storey->IsAreaInside(first, rows, columns, 1) || !storey->IsAreaEmpty(first, rows, columns, 1))
            return false;
        CFerroxBlockMesh* upper = dynamic_cast<CStairs*>(building) ? storey->GetUpper() : nullptr;
        return !upper || upper->IsAreaEmpty(first, rows, columns, 1);
    }

    // On the storey's grid or the streets around it, and no higher or lower than the storeys its stairs reach.
    static bool OnOrBesideStorey(CFerroxObject* character, CFerroxBlockMesh* storey)
    {
        const GxV3d* position = character->GetPosition();
        if (!position)
            return false;
        const GxV3d& origin = storey->GetOrigin();
        const float low = (storey->GetLower() ? storey->GetLower() : storey)->GetOrigin().y - kHeightTolerance;
        const float high = (storey->GetUpper() ? storey->GetUpper() : storey)->GetOrigin().y + kHeightTolerance;
        const float span = static_cast<float>(storey->GetRows() * storey->GetCellSize());
        const float street = span * kStreetSpans;
        // The grid runs from its origin along +x and -z; written so that a position that is no number fails.
        const float across = position->x - origin.x;
        const float down = origin.z - position->z;
        return position->y >= low && position->y <= high && across >= -street && across <= span + street &&
               down >= -street && down <= span + street;
    }

    void RaiseShopCounter()
    {
        for (const std::unique_ptr<CFloorObjects>& record : m_manager->GetFloors()) {
            for (CFerroxObject* object : record->shops) {
                if (CShop* shop = dynamic_cast<CShop*>(object))
                    g_shopCounter = std::max<int32_t>(g_shopCounter, shop->GetRecord().shopNumber);
            }
        }
    }

    CFerroxTagFile* m_file;
    CFerroxWorld* m_world;
    CFerroxBlockMesh* m_ground;
    CPlacementController* m_controller;
    CDynamicObjectManager* m_manager;
    std::deque<std::string> m_window;
    std::unordered_map<std::string, CFerroxAssetSet*> m_templates;
    std::unordered_set<std::string> m_factoryNames;
    std::unordered_map<std::string, CFerroxObjectFactory*> m_factories;
};

}  // namespace

ObjectsReadCount ReadObjects(CFerroxTagFile* file, CFerroxWorld* world, CFerroxBlockMesh* ground,
                             CPlacementController* controller)
{
    if (!file)
        return {0, 0};
    return ObjectsReader(file, world, ground, controller).Run();
}
