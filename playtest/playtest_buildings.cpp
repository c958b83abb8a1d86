// The play test's building steps: a second room laid beside the first and extended, its walls checked on screen
// before and after; a bench and a floor tile demolished in it; a third storey built over the stairs and seen
// without rails over the stairwell. Input only through SendInput; the game is read, never driven.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "engine/navigation/blockmesh.h"
#include "engine/navigation/character.h"
#include "engine/world/camera.h"
#include "engine/world/object.h"
#include "game/buildings/placement.h"
#include "game/buildings/stairs.h"
#include "game/shell/game.h"
#include "game/world/floors.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "gfx/core/camera.h"
#include "gfx/core/raster.h"
#include "playtest/playtest.h"
#include "ui/game/ingame.h"
#include "ui/game/panels.h"
#include "ui/game/popups.h"

namespace {

constexpr int kSteps = 6;            // pointer moves between the corners of a drag
constexpr int kSettle = 4;           // frames for what an input changed to be drawn
constexpr int kRoomCells = 7;        // the second room is square
constexpr int kRoomGap = 3;          // cells of ground between the two rooms
constexpr int kStripCells = 2;       // the extension's depth
constexpr float kWallSeen = 3.0f;    // three quarters up a wall: seen over a nearer wall as high
constexpr float kWallFoot = 0.5f;    // low on a wall: once it goes, the floor shows there, not a wall behind
constexpr float kRailMiddle = 0.5f;  // half a rail's height
constexpr float kStairsLow = 1.5f;   // part way up a flight of stairs, where a click finds them
constexpr float kHalfCell = 1.0f;
constexpr float kStoreyStep = 4.0f;
constexpr int kSameColour = 12;  // per channel, between two frames of an unchanged scene
constexpr int kBenchPage = 9;    // the root menu's bench page
constexpr int kFloorPage = 0;
constexpr int kFirstStorey = 1;
constexpr int kSecondStorey = 2;
constexpr int kRailedSides = 3;
// Of the eight points round a one-cell hole (corners and sides), those a wall must show at: the near corner and
// side may show the wall behind them, or the floor, whichever way the view meets them.
constexpr int kWalledPoints = 4;
// Frames the characters are given to leave a storey cut off from the ground.
constexpr int kLeaveFrames = 10;
// A pick this far from the pointer (pixels) does not tell which way the camera's right vector points.
constexpr float kPickSlack = 4.0f;

CGame* Game() { return static_cast<CGame*>(g_pGame); }

int HeldMode()
{
    CGame* game = Game();
    return game && game->GetPlacementController() ? game->GetPlacementController()->GetMode() : PLACEMENT_IDLE;
}

long Balance()
{
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    return objects && objects->GetStatistics() ? objects->GetStatistics()->GetBalance() : 0;
}

CFerroxBlockMesh* Storey(int index)
{
    CFloorManager* floors = Game() ? Game()->GetFloorManager() : nullptr;
    if (!floors || floors->GetBaseFloors().empty() || !floors->GetBaseFloors().front())
        return nullptr;
    return floors->GetBaseFloors().front()->GetLinked(index);
}

// The middle of a cell at a height over the storey's floor.
GxV3d Above(CFerroxBlockMesh* storey, int cell, float height)
{
    return {static_cast<float>(storey->GetCellWorldX(cell, 1)), storey->GetOrigin().y + height,
            static_cast<float>(storey->GetCellWorldZ(cell, 1))};
}

int CellOf(CFerroxBlockMesh* storey, int row, int column) { return storey->GetCellIndex(column, row, 0); }

// The points where the walls of the rectangle of cells would stand, high up them and a little inside
// the outline, so that the view meets the walls there and not their edges: its four corners and the middles
// of its four sides.
std::vector<GxV3d> WallPoints(CFerroxBlockMesh* storey, int first, int last)
{
    constexpr float kInside = 0.3f;
    const GxV3d a = Above(storey, first, kWallSeen), b = Above(storey, last, kWallSeen);
    const float x0 = std::min(a.x, b.x) - kHalfCell + kInside, x1 = std::max(a.x, b.x) + kHalfCell - kInside;
    const float z0 = std::min(a.z, b.z) - kHalfCell + kInside, z1 = std::max(a.z, b.z) + kHalfCell - kInside;
    const float y = a.y, mx = (x0 + x1) * 0.5f, mz = (z0 + z1) * 0.5f;
    return {{x0, y, z0}, {x0, y, z1}, {x1, y, z0}, {x1, y, z1}, {mx, y, z0}, {mx, y, z1}, {x0, y, mz}, {x1, y, mz}};
}

// The middles of the rectangle's sides half a rail up, just inside it where the rails round an opening stand.
std::vector<GxV3d> RailPoints(CFerroxBlockMesh* storey, int first, int last)
{
    std::vector<GxV3d> points = WallPoints(storey, first, last);
    points.erase(points.begin(), points.begin() + 4);
    for (GxV3d& point : points)
        point.y += kRailMiddle - kWallSeen;
    return points;
}

// The second room's cells off its outline, the farthest from the camera first.
std::vector<int> InnerCellsFarFirst(CFerroxBlockMesh* storey, int first, int last)
{
    const GxV3d* eye = Game()->GetCamera() ? Game()->GetCamera()->GetPosition() : nullptr;
    std::vector<std::pair<float, int>> cells;
    const int r0 = std::min(storey->GetCellRow(first, 1), storey->GetCellRow(last, 1));
    const int r1 = std::max(storey->GetCellRow(first, 1), storey->GetCellRow(last, 1));
    const int c0 = std::min(storey->GetCellColumn(first, 1), storey->GetCellColumn(last, 1));
    const int c1 = std::max(storey->GetCellColumn(first, 1), storey->GetCellColumn(last, 1));
    for (int r = r0 + 1; eye && r < r1; r++)
        for (int c = c0 + 1; c < c1; c++) {
            const int cell = CellOf(storey, r, c);
            const GxV3d at = Above(storey, cell, 0.0f);
            cells.push_back({-((at.x - eye->x) * (at.x - eye->x) + (at.z - eye->z) * (at.z - eye->z)), cell});
        }
    std::sort(cells.begin(), cells.end());
    std::vector<int> sorted;
    for (const auto& entry : cells)
        sorted.push_back(entry.second);
    return sorted;
}

bool Near(long a, long b)
{
    if (a < 0 || b < 0)
        return false;
    for (int shift : {0, 8, 16}) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > kSameColour)
            return false;
    }
    return true;
}

// A point of the bench's back rest: the bench stands along the back of its footprint, facing its entrance.
GxV3d BackRest(CFerroxBlockMesh* storey, CBaseObject* bench)
{
    constexpr float kRestBack = 0.8f, kRestHeight = 0.75f;
    const GxV3d at = *bench->GetPosition();
    CPathableObject* pathable = dynamic_cast<CPathableObject*>(bench);
    if (!pathable || pathable->GetEntranceCount() < 1)
        return {at.x, at.y + kRestHeight, at.z};
    const GxV3d front = Above(storey, pathable->GetEntranceCell(0), 0.0f);
    const float dx = front.x - at.x, dz = front.z - at.z;
    const float length = std::sqrt(dx * dx + dz * dz);
    if (length <= 0.0f)
        return {at.x, at.y + kRestHeight, at.z};
    return {at.x - dx / length * kRestBack, at.y + kRestHeight, at.z - dz / length * kRestBack};
}

bool IsBench(CFerroxObject* object)
{
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    CFerroxAssetSet* bench = objects ? objects->FindTemplate("FAC_SEATS", 0) : nullptr;
    CFerroxIOObject* saved = dynamic_cast<CFerroxIOObject*>(object);
    return saved && bench && saved->GetAssetSet() == bench;
}

CBaseObject* PlacedBench()
{
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    if (!objects)
        return nullptr;
    for (CFerroxObject* object : objects->GetFloorRecord(0)->usable) {
        CBaseObject* building = dynamic_cast<CBaseObject*>(object);
        if (IsBench(object) && building && building->IsPlaced())
            return building;
    }
    return nullptr;
}

}  // namespace

// ---- helpers ----

bool CPlayTest::SeenAt(const GxV3d& point, float* x, float* y) { return ScreenPoint(point, m_mirror == 1, x, y); }

bool CPlayTest::LearnMirror(int frame)
{
    const float x = static_cast<float>(Game()->GetScreenWidth()) * 0.7f;
    const float y = static_cast<float>(Game()->GetScreenHeight()) * 0.6f;
    if (frame < 2) {
        Move(x, y);
        return false;
    }
    if (frame < kSettle)
        return false;
    for (int mirror : {0, 1}) {
        float px = 0.0f, py = 0.0f;
        if (ScreenPoint(Game()->GetPickPoint(), mirror == 1, &px, &py) && std::fabs(px - x) < kPickSlack &&
            std::fabs(py - y) < kPickSlack)
            m_mirror = mirror;
    }
    if (m_mirror < 0)
        Fail("the point picked under the pointer is seen elsewhere");
    return m_mirror >= 0;
}

void CPlayTest::LayTiles(int frame, int first, int last)
{
    CFerroxBlockMesh* ground = Storey(0);
    bool done = false;
    if (m_phase == 1)
        done = HoldBuildItem(frame, kFloorPage, PLACEMENT_LAY, "floor-tile");
    else if (m_phase == 2)
        done = DragBetween(frame, Above(ground, first, 0.0f), Above(ground, last, 0.0f));
    else if (m_phase == 3)
        done = EndPlacement(frame);
    if (done)
        m_phase++, m_count = 0;
}

bool CPlayTest::DragBetween(int frame, const GxV3d& from, const GxV3d& to)
{
    float fx = 0.0f, fy = 0.0f, tx = 0.0f, ty = 0.0f;
    if (!SeenAt(from, &fx, &fy) || !SeenAt(to, &tx, &ty)) {
        Fail("a corner of the drag is off the view");
        return false;
    }
    if (frame < 2) {
        Move(fx, fy);
    } else if (frame == 2) {
        Button(MOUSEEVENTF_LEFTDOWN);
    } else if (frame <= 2 + kSteps) {
        const float k = static_cast<float>(frame - 2) / kSteps;
        Move(fx + (tx - fx) * k, fy + (ty - fy) * k);
    } else if (frame == 4 + kSteps) {
        m_magenta += MagentaPixels();
        Button(MOUSEEVENTF_LEFTUP);
    }
    return frame >= 4 + kSteps + kSettle;
}

std::vector<long> CPlayTest::PixelsAt(const std::vector<GxV3d>& points)
{
    std::vector<long> pixels;
    for (const GxV3d& point : points) {
        float x = 0.0f, y = 0.0f;
        pixels.push_back(SeenAt(point, &x, &y) ? Pixel(static_cast<int>(x), static_cast<int>(y)) : -1);
    }
    return pixels;
}

int CPlayTest::MagentaPixels()
{
    CFerroxCamera* camera = Game() ? Game()->GetCamera() : nullptr;
    GxCamera* graphics = camera ? camera->GetGraphicsCamera() : nullptr;
    GxRaster* raster = graphics ? graphics->frameBuffer : nullptr;
    GxUInt8* bits = raster ? GxRasterLock(raster, 0, gxRASTERLOCKREAD) : nullptr;
    if (!bits)
        return 0;
    int count = 0;
    for (int y = 0; y < raster->height; y++) {
        const auto* row = reinterpret_cast<const GxUInt32*>(bits + static_cast<size_t>(y) * raster->stride);
        for (int x = 0; x < raster->width; x++) {
            const int r = static_cast<int>((row[x] >> 16) & 0xFF), g = static_cast<int>((row[x] >> 8) & 0xFF);
            const int b = static_cast<int>(row[x] & 0xFF);
            count += r > 200 && b > 200 && g < 80 ? 1 : 0;
        }
    }
    GxRasterUnlock(raster);
    return count;
}

// The pixels at the points and the balance before a drag of floor, which the next phases make.
void CPlayTest::StartLaying()
{
    m_seen = PixelsAt(m_points);
    m_before = Balance();
    m_magenta = 0;
    m_phase = 1, m_count = 0;
}

// Phases 1 to 3 drag floor over the cells first..last; once it has settled, the floor must have been paid for and
// its cell grid seen while it was dragged, and `now` gets the pixels at the points. False until then, or when the
// step failed.
bool CPlayTest::Laid(int frame, int first, int last, const std::string& laid, const std::string& floor,
                     std::vector<long>* now)
{
    if (m_phase >= 1 && m_phase <= 3) {
        LayTiles(frame, first, last);
        return false;
    }
    if (frame < kSettle)
        return false;
    if (Balance() >= m_before) {
        Fail(laid + " was not laid");
        return false;
    }
    if (m_magenta == 0) {
        Fail("no cell grid showed over " + floor + " while it was dragged");
        return false;
    }
    *now = PixelsAt(m_points);
    return true;
}

// ---- steps ----

// A second room of seven by seven cells, a few cells off the side of the first where the view shows it nearest
// and whole with the strip that will extend it; its walls appear on its outline, corners and sides.
bool CPlayTest::Walls(int)
{
    CFerroxBlockMesh* ground = Storey(0);
    const int t = m_count++;
    switch (m_phase) {
    case 0: {
        if (!LearnMirror(t))
            return false;
        m_phase = 5, m_count = 0;
        return false;
    }
    case 5: {
        // The pointer rests on the main bar, where it is when the room is seen again.
        float x = 0.0f, y = 0.0f;
        if (!WidgetCentre(InterfaceGet()->m_pMainPanel.get(), 0, &x, &y))
            return false;
        if (t < 2)
            Move(x, y);
        if (t < kSettle)
            return false;
        int r0 = ground->GetRows(), r1 = -1, c0 = ground->GetRows(), c1 = -1;
        for (int cell = 0; cell < ground->GetCellCount(); cell++) {
            if (!ground->IsAreaTiled(cell, 1, 1))
                continue;
            r0 = std::min(r0, ground->GetCellRow(cell, 1)), r1 = std::max(r1, ground->GetCellRow(cell, 1));
            c0 = std::min(c0, ground->GetCellColumn(cell, 1)), c1 = std::max(c1, ground->GetCellColumn(cell, 1));
        }
        // Beyond each side in turn: the room, then the strip on its far side from the first room.
        const int away = kRoomGap + 1, size = kRoomCells - 1;
        const int rooms[4][4] = {
            {r1 + away, c0, 1, 0}, {r0 - away - size, c0, -1, 0}, {r0, c1 + away, 0, 1}, {r0, c0 - away - size, 0, -1}};
        float lowest = 0.0f;
        for (const auto& room : rooms) {
            const int first = CellOf(ground, room[0], room[1]), last = CellOf(ground, room[0] + size, room[1] + size);
            const int dr = room[2], dc = room[3];
            const int stripRow = dr > 0 ? room[0] + kRoomCells : dr < 0 ? room[0] - kStripCells : room[0];
            const int stripColumn = dc > 0 ? room[1] + kRoomCells : dc < 0 ? room[1] - kStripCells : room[1];
            const int stripFirst = CellOf(ground, stripRow, stripColumn);
            const int stripLast =
                CellOf(ground, stripRow + (dr ? kStripCells - 1 : size), stripColumn + (dc ? kStripCells - 1 : size));
            if (first < 0 || last < 0 || stripFirst < 0 || stripLast < 0)
                continue;
            bool seen = true;
            float x = 0.0f, y = 0.0f;
            for (const auto& points : {WallPoints(ground, first, last), WallPoints(ground, stripFirst, stripLast)})
                for (GxV3d point : points)
                    for (float height : {-kWallSeen, kWallSeen}) {
                        point.y += height;
                        seen = seen && SeenAt(point, &x, &y);
                        point.y -= height;
                    }
            // The nearest that shows whole: the lowest on the screen.
            const GxV3d a = Above(ground, first, 0.0f), b = Above(ground, last, 0.0f);
            if (!seen || !SeenAt({(a.x + b.x) * 0.5f, a.y, (a.z + b.z) * 0.5f}, &x, &y) || y <= lowest)
                continue;
            lowest = y;
            m_roomFirst = first, m_roomLast = last, m_stripFirst = stripFirst, m_stripLast = stripLast;
        }
        if (m_roomFirst < 0) {
            Fail("no side of the first room has ground in the view for a second one");
            return false;
        }
        m_points = WallPoints(ground, m_roomFirst, m_roomLast);
        StartLaying();
        return false;
    }
    default:
        break;
    }
    std::vector<long> now;
    if (!Laid(t, m_roomFirst, m_roomLast, "the second room", "the floor", &now))
        return false;
    if (!ground->IsAreaTiled(m_roomFirst, 1, 1) || !ground->IsAreaTiled(m_roomLast, 1, 1)) {
        Fail("the second room was not laid");
        return false;
    }
    for (size_t i = 0; i < now.size(); i++) {
        if (now[i] == m_seen[i]) {
            Fail("no wall shows at point " + std::to_string(i) + " of the second room's outline");
            return false;
        }
    }
    return true;
}

// A strip dragged onto the far side of the second room: the wall between them goes, the new outline gets its
// walls, corners included.
bool CPlayTest::WallsExtended(int)
{
    CFerroxBlockMesh* ground = Storey(0);
    const int t = m_count++;
    switch (m_phase) {
    case 0: {
        // The room's side that the strip joins: the middle of the room's side that lies on the strip's outline,
        // near its foot.
        const std::vector<GxV3d> room = WallPoints(ground, m_roomFirst, m_roomLast);
        const std::vector<GxV3d> strip = WallPoints(ground, m_stripFirst, m_stripLast);
        m_points.clear();
        for (size_t i = 4; i < room.size(); i++)
            for (size_t k = 4; k < strip.size(); k++)
                if (std::fabs(room[i].x - strip[k].x) < kHalfCell && std::fabs(room[i].z - strip[k].z) < kHalfCell)
                    m_points.push_back({room[i].x, room[i].y + kWallFoot - kWallSeen, room[i].z});
        if (m_points.size() != 1) {
            Fail("the strip does not run along a side of the second room");
            return false;
        }
        // Then the strip's corners away from the room, where the new walls meet.
        for (size_t i = 0; i < 4; i++) {
            bool shared = false;
            for (size_t k = 0; k < 4; k++)
                shared = shared || (std::fabs(strip[i].x - room[k].x) < kHalfCell &&
                                    std::fabs(strip[i].z - room[k].z) < kHalfCell);
            if (!shared)
                m_points.push_back(strip[i]);
        }
        StartLaying();
        return false;
    }
    default:
        break;
    }
    std::vector<long> now;
    if (!Laid(t, m_stripFirst, m_stripLast, "the strip beside the second room", "the strip", &now))
        return false;
    if (now.size() < 3 || now[0] == m_seen[0]) {
        Fail("the wall between the room and its extension still stands");
        return false;
    }
    for (size_t i = 1; i < now.size(); i++) {
        if (now[i] == m_seen[i]) {
            Fail("no wall shows at an outer corner of the extension");
            return false;
        }
    }
    return true;
}

// In the second room: a bench placed, then demolished with one click on it, and a floor tile cleared with a
// click. Neither pays anything back; the bench is gone from the picture and the cleared cell shows the ground,
// walled round like the room. Both stand in the room's far half, which its near wall does not hide.
bool CPlayTest::Demolish(int)
{
    CFerroxBlockMesh* ground = Storey(0);
    CInterface* ui = InterfaceGet();
    const int t = m_count++;
    float x = 0.0f, y = 0.0f;
    const std::vector<int> cells = InnerCellsFarFirst(ground, m_roomFirst, m_roomLast);
    if (cells.empty()) {
        Fail("the second room has no inner cells");
        return false;
    }
    const int tile = cells.front();
    switch (m_phase) {
    case 0: {
        m_points = {Above(ground, tile, 0.0f)};
        for (const GxV3d& point : WallPoints(ground, tile, tile))
            m_points.push_back(point);
        m_seen = PixelsAt(m_points);
        m_phase = 1, m_count = 0;
        return false;
    }
    case 1:
        if (HoldBuildItem(t, kBenchPage, PLACEMENT_OBJECT, "bench"))
            m_phase = 2, m_count = 0, m_before = Balance();
        return false;
    case 2: {
        // The inner cells away from the tile, farthest first, until the box shows green on one.
        std::vector<int> spots;
        for (int cell : cells)
            if (std::abs(ground->GetCellRow(cell, 1) - ground->GetCellRow(tile, 1)) > 1 ||
                std::abs(ground->GetCellColumn(cell, 1) - ground->GetCellColumn(tile, 1)) > 1)
                spots.push_back(cell);
        const size_t spot = static_cast<size_t>(t / kClickFrames);
        const int frame = t % kClickFrames;
        if (spot >= spots.size()) {
            Fail("no spot of the second room took the bench");
            return false;
        }
        if (!SeenAt(Above(ground, spots[spot], 0.0f), &x, &y))
            return false;
        if (frame < 2)
            Move(x, y);
        if (frame == 3 && GreenNear(static_cast<int>(x), static_cast<int>(y)))
            Button(MOUSEEVENTF_LEFTDOWN);
        if (frame == 4)
            Button(MOUSEEVENTF_LEFTUP);
        if (frame == kClickFrames - 1 && PlacedBench())
            m_phase = 3, m_count = 0;
        return false;
    }
    case 3:
        if (EndPlacement(t))
            m_phase = 4, m_count = 0;
        return false;
    case 4: {
        if (t < kSettle)
            return false;
        if (Balance() >= m_before) {
            Fail("the bench cost nothing");
            return false;
        }
        // The bench's back rest as it shows, to see it gone.
        const GxV3d rest = BackRest(ground, PlacedBench());
        m_points.push_back(rest);
        m_seen.push_back(PixelsAt({rest}).front());
        m_phase = 5, m_count = 0;
        return false;
    }
    case 5:
        if (!WidgetCentre(ui->m_pMainPanel.get(), MAIN_DEMOLISH, &x, &y) || !Click(t, x, y))
            return false;
        if (HeldMode() != PLACEMENT_CLEAR) {
            Fail("the demolish button did not start demolishing");
            return false;
        }
        m_phase = 6, m_count = 0, m_before = Balance();
        return false;
    case 6: {
        // One click on the bench itself, where the player sees it.
        CBaseObject* bench = PlacedBench();
        if (!bench) {
            m_phase = 7, m_count = 0;
            return false;
        }
        if (t >= kClickFrames || !SeenAt(m_points.back(), &x, &y)) {
            Fail("one click on the bench did not demolish it");
            return false;
        }
        Click(t, x, y);
        return false;
    }
    case 7:
        if (!SeenAt(Above(ground, tile, 0.0f), &x, &y) || !Click(t, x, y))
            return false;
        if (ground->IsAreaTiled(tile, 1, 1)) {
            Fail("a click on a floor tile while demolishing left the tile");
            return false;
        }
        m_phase = 8, m_count = 0;
        return false;
    case 8:
        if (EndPlacement(t))
            m_phase = 9, m_count = 0;
        return false;
    default:
        break;
    }
    if (t < kSettle)
        return false;
    if (Balance() != m_before) {
        Fail("demolishing changed the balance by " + std::to_string(Balance() - m_before));
        return false;
    }
    const std::vector<long> now = PixelsAt(m_points);
    if (now.back() == m_seen.back()) {
        Fail("the bench still shows where it stood");
        return false;
    }
    if (now[0] == m_seen[0]) {
        Fail("the cleared tile still shows");
        return false;
    }
    // The hole is walled round as the room is: its sides show walls, no one walks into it.
    int walled = 0;
    for (size_t i = 1; i + 1 < now.size(); i++)
        walled += Near(now[i], m_seen[i]) ? 0 : 1;
    if (walled < kWalledPoints) {
        Fail("only " + std::to_string(walled) + " points round the cleared tile show a wall");
        return false;
    }
    if (ground->GetBlock(tile)->IsWalkable()) {
        Fail("the cleared tile is open to walk across");
        return false;
    }
    return true;
}

// A third storey over the stairs (the stairs step leaves the view on the second): on the second storey rails
// stand round the stairwell; on the third, seen the same way one storey up, the floor runs on over it and no
// rail stands there.
bool CPlayTest::ThirdStorey(int)
{
    CInterface* ui = InterfaceGet();
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    const int t = m_count++;
    float x = 0.0f, y = 0.0f;
    switch (m_phase) {
    case 0: {
        CStairs* stairs = objects && !objects->GetFloorRecord(0)->stairs.empty()
                              ? dynamic_cast<CStairs*>(objects->GetFloorRecord(0)->stairs.front())
                              : nullptr;
        CFerroxBlockMesh* second = Storey(kFirstStorey);
        if (!stairs || !second || Game()->GetCurrentFloor() != kFirstStorey) {
            Fail("there are no stairs up to the second storey shown");
            return false;
        }
        const int first = stairs->GetFirstCell();
        const int last = first + second->GetColumns() * (stairs->GetRows() - 1) + stairs->GetColumns() - 1;
        m_roomFirst = first, m_roomLast = last;
        m_points = RailPoints(second, first, last);
        m_seen = PixelsAt(m_points);
        m_phase = 1, m_count = 0;
        return false;
    }
    case 1:
        if (WidgetCentre(ui->m_pMainPanel.get(), MAIN_FLOOR_UP, &x, &y) && Click(t, x, y))
            m_phase = 2, m_count = 0;
        return false;
    case 2:
        if (t < kSettle || !WidgetCentre(ui->m_pConfirmPanel.get(), CONFIRM_YES, &x, &y))
            return false;
        if (Click(t - kSettle, x, y))
            m_phase = 3, m_count = 0;
        return false;
    case 3: {
        if (t < kSettle)
            return false;
        CFerroxBlockMesh* third = Storey(kSecondStorey);
        if (!third || Game()->GetCurrentFloor() != kSecondStorey) {
            Fail("yes to a new storey did not show a third one");
            return false;
        }
        for (int cell = m_roomFirst; cell <= m_roomLast; cell++) {
            if (third->GetCellColumn(cell, 1) < third->GetCellColumn(m_roomFirst, 1) ||
                third->GetCellColumn(cell, 1) > third->GetCellColumn(m_roomLast, 1))
                continue;
            if (!third->IsAreaTiled(cell, 1, 1) || third->GetBlock(cell)->m_pOccupant) {
                Fail("the third storey is not floored over the stairwell");
                return false;
            }
        }
        for (GxV3d& point : m_points)
            point.y += kStoreyStep;
        // Rails stand on three sides of the well below, the fourth left open to walk off the stairs: the third
        // storey, seen the same way one storey up, differs there.
        const std::vector<long> now = PixelsAt(m_points);
        int differing = 0;
        for (size_t i = 0; i < now.size(); i++)
            differing += now[i] >= 0 && now[i] != m_seen[i] ? 1 : 0;
        if (differing < kRailedSides) {
            Fail("the third storey shows the second's rails round the stairwell");
            return false;
        }
        return true;
    }
    default:
        return false;
    }
}

// The stairs demolished on the ground storey with one click: on the second storey, seen again, the stairwell is
// left open, its cells laid with no floor and freed of the stairs, for the rails the walls rebuild round it.
bool CPlayTest::StairsRemoved(int)
{
    CInterface* ui = InterfaceGet();
    CDynamicObjectManager* objects = CDynamicObjectManager::Peek();
    CFerroxBlockMesh* second = Storey(kFirstStorey);
    const int t = m_count++;
    float x = 0.0f, y = 0.0f;
    auto storeyButton = [&](int button, int wanted, int next) {
        if (Game()->GetCurrentFloor() == wanted && t >= kSettle)
            m_phase = next, m_count = 0;
        else if (Game()->GetCurrentFloor() != wanted && WidgetCentre(ui->m_pMainPanel.get(), button, &x, &y))
            Click(t % kClickFrames, x, y);
        return false;
    };
    CStairs* stairs = objects && !objects->GetFloorRecord(0)->stairs.empty()
                          ? dynamic_cast<CStairs*>(objects->GetFloorRecord(0)->stairs.front())
                          : nullptr;
    switch (m_phase) {
    case 0:
        if (!stairs || !second) {
            Fail("there are no stairs to demolish");
            return false;
        }
        m_roomFirst = stairs->GetFirstCell();
        m_roomLast = m_roomFirst + second->GetColumns() * (stairs->GetRows() - 1) + stairs->GetColumns() - 1;
        m_phase = 1, m_count = 0;
        return false;
    case 1:
        return storeyButton(MAIN_FLOOR_UP, kFirstStorey, 3);
    case 3:
        return storeyButton(MAIN_FLOOR_DOWN, 0, 4);
    case 4:
        if (WidgetCentre(ui->m_pMainPanel.get(), MAIN_DEMOLISH, &x, &y) && Click(t, x, y))
            m_phase = 5, m_count = 0;
        return false;
    case 5: {
        // One click on the stairs where the player sees them.
        if (!stairs) {
            m_phase = 6, m_count = 0;
            return false;
        }
        if (t >= kClickFrames || !SeenAt(Above(Storey(0), stairs->GetFirstCell(), kStairsLow), &x, &y)) {
            Fail("one click on the stairs did not demolish them");
            return false;
        }
        Click(t, x, y);
        return false;
    }
    case 6:
        if (EndPlacement(t))
            m_phase = 7, m_count = 0;
        return false;
    case 7:
        return storeyButton(MAIN_FLOOR_UP, kFirstStorey, 8);
    default:
        break;
    }
    if (t < kLeaveFrames)
        return false;
    for (int cell = m_roomFirst; cell <= m_roomLast; cell++) {
        if (second->GetCellColumn(cell, 1) < second->GetCellColumn(m_roomFirst, 1) ||
            second->GetCellColumn(cell, 1) > second->GetCellColumn(m_roomLast, 1))
            continue;
        if (second->IsAreaTiled(cell, 1, 1) || dynamic_cast<CStairs*>(second->GetBlock(cell)->m_pOccupant)) {
            Fail("the stairwell is not left open on the second storey");
            return false;
        }
    }
    if (objects && !objects->GetFloorRecord(0)->stairs.empty()) {
        Fail("the stairs still stand");
        return false;
    }
    return true;
}

// Back down from the third storey to the ground, a storey at a time.
bool CPlayTest::GroundStorey(int)
{
    CInterface* ui = InterfaceGet();
    const int t = m_count++;
    float x = 0.0f, y = 0.0f;
    const int click = t / (kClickFrames + kSettle);
    const int frame = t % (kClickFrames + kSettle);
    if (click < kSecondStorey) {
        if (frame < kClickFrames && WidgetCentre(ui->m_pMainPanel.get(), MAIN_FLOOR_DOWN, &x, &y))
            Click(frame, x, y);
        return false;
    }
    if (Game()->GetCurrentFloor() != 0) {
        Fail("the floor-down button did not bring the view back to the ground storey");
        return false;
    }
    return true;
}
