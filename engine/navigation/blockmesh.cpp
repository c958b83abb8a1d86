// Block mesh: floor tiles over a block grid, the vertex strips that draw them, storeys and their save text.
#include "engine/navigation/blockmesh.h"

#include <memory>
#include <sstream>
#include <string>

#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "gfx/core/engine.h"

namespace {

constexpr GxUInt32 kOpaqueWhite = 0xFFFFFFFFu;
// The shortest body a storey can be saved with: a storey is made only when the file still holds one.
constexpr char kShortestStorey[] = "<SUBMESH>\n0,1\n\n</SUBMESH>\n";
constexpr uint64_t kShortestStoreyBytes = sizeof(kShortestStorey) - 1;

// "value,count" with both parts numbers.
bool ParseRun(const std::string& line, int* value, int* count)
{
    const size_t comma = line.find(',');
    return comma != std::string::npos && FromString<int>(line.substr(0, comma), *value) &&
           FromString<int>(line.substr(comma + 1), *count);
}

}  // namespace

FerroxStoreyHeight FerroxReadStoreyHeight(const std::string& line, float* top)
{
    float height = 0;
    FromString<float>(line, height);
    if (height == 0)
        return FERROX_HEIGHT_READS_ON;
    // A storey at or under another would be read into it when saved and loaded again.
    if (!(height > *top))
        return FERROX_HEIGHT_DAMAGED;
    *top = height;
    return FERROX_HEIGHT_RISES;
}

CFerroxBlockMesh::CFerroxBlockMesh() { Init(); }

void CFerroxBlockMesh::Init()
{
    m_pVertices = nullptr;
    m_pTiles = nullptr;
    m_pUpper = nullptr;
    m_pLower = nullptr;
}

void CFerroxBlockMesh::FreeArrays()
{
    m_pVertices.reset();
    m_pTiles.reset();
}

void CFerroxBlockMesh::Release() { FreeArrays(); }

CFerroxBlockMesh::~CFerroxBlockMesh()
{
    if (m_pLower != nullptr && m_pLower->m_pUpper == this)
        m_pLower->m_pUpper = nullptr;  // the storey below stays whole
    CFerroxBlockMesh::Release();
}

int CFerroxBlockMesh::Create(int rows, int width, const GxV3d& origin, int cellSize, int floorId)
{
    if (!CFerroxBlockGrid::Create(rows, width, origin, cellSize, floorId)) {
        return 0;
    }
    BuildVertices();
    return 1;
}

void CFerroxBlockMesh::BuildVertices()
{
    FreeArrays();
    if (m_cellCount < 1) {
        return;
    }
    const int pairs = m_width + 1;
    m_pVertices = std::make_unique<GxIm3DVertex[]>(static_cast<size_t>(m_rows) * 2 * pairs);
    m_pTiles = std::make_unique<CFerroxTileRecord*[]>(m_cellCount);
    const float size = static_cast<float>(m_cellSize);
    const float x0 = m_origin.x - size * 0.5f;
    const float z0 = m_origin.z + size * 0.5f;
    for (int i = 0; i < m_rows; i++) {
        for (int j = 0; j < pairs; j++) {
            GxIm3DVertex* pair = &m_pVertices[(static_cast<size_t>(i) * pairs + j) * 2];
            pair[0].objVertex = {x0 + size * i, m_origin.y, z0 - size * j};
            pair[0].u = static_cast<float>(j);
            pair[0].v = static_cast<float>(i);
            pair[1].objVertex = {x0 + size * (i + 1), m_origin.y, z0 - size * j};
            pair[1].u = static_cast<float>(j);
            pair[1].v = static_cast<float>(i + 1);
            pair[0].color = pair[1].color = kOpaqueWhite;
        }
    }
}

int CFerroxBlockMesh::ClearArea(int first, int rows, int columns, int whole, void* tile)
{
    if (CFerroxBlockGrid::ClearArea(first, rows, columns, whole, nullptr)) {
        return 1;
    }
    if (tile == nullptr || m_pTiles == nullptr) {
        return 0;
    }
    for (int i = 0; i < rows; i++) {
        for (int j = 0; j < columns; j++) {
            CFerroxTileRecord*& cellTile = m_pTiles[m_width * i + j + first];
            if (cellTile == nullptr) {
                cellTile = static_cast<CFerroxTileRecord*>(tile);
            }
        }
    }
    return 0;
}

int CFerroxBlockMesh::ClearObjects(int first, int rows, int columns, int whole)
{
    return CFerroxBlockGrid::ClearArea(first, rows, columns, whole, nullptr) ? 1 : 0;
}

int CFerroxBlockMesh::PlaceFreeObject(int first, CFerroxBase* record, int rows, int columns)
{
    if (!IsAreaEmpty(first, rows, columns, 0)) {
        return 1;
    }
    return PlaceObject(first, record, rows, columns, 0);
}

int CFerroxBlockMesh::SetRangeTile(int first, int last, int includeOccupied, FerroxTileCallback callback)
{
    return SetRangeTileEx(nullptr, first, last, includeOccupied, 0, callback);
}

int CFerroxBlockMesh::SetRangeTileEx(CFerroxTileRecord* tile, int first, int last, int includeOccupied, int onlyEmpty,
                                     FerroxTileCallback callback)
{
    if (m_pTiles == nullptr) {
        return 1;
    }
    // Balcony pieces may be tiled over; other occupants keep their floor.
    auto covered = [&](int cell) {
        CFerroxBlock* block = m_pCells[cell];
        return !includeOccupied && block->HasObject(nullptr) && !block->HasObject("balc");
    };
    std::vector<int> cells;
    if (!GetRangeCells(first, last, cells)) {
        return 1;
    }
    if (first == last && covered(first)) {
        return 1;
    }
    const bool hasStoreyBelow = CountLinked() > 0;
    for (int cell : cells) {
        if (covered(cell)) {
            continue;
        }
        if (!onlyEmpty || m_pTiles[cell] == nullptr) {
            m_pTiles[cell] = tile;
        }
        CFerroxBlock* block = m_pCells[cell];
        if (tile == nullptr && hasStoreyBelow && block->IsOccupied()) {
            VacateCell(cell);
            block->m_stamp = FERROX_BLOCK_DISPLACED;
        }
        if (callback != nullptr) {
            callback(cell);
        }
    }
    return 0;
}

void CFerroxBlockMesh::BuildTileStrips(std::vector<FerroxTileStrip>& strips)
{
    strips.clear();
    if (m_pTiles == nullptr || m_pVertices == nullptr) {
        return;
    }
    const int pairs = m_width + 1;
    for (int i = 0; i < m_rows; i++) {
        int j = 0;
        while (j < m_width) {
            CFerroxTileRecord* tile = m_pTiles[i * m_width + j];
            int k = 1;
            while (j + k < m_width && m_pTiles[i * m_width + j + k] == tile) {
                k++;
            }
            if (tile != nullptr) {
                strips.push_back({i, j, k, tile, (i * pairs + j) * 2, 2 * (k + 1)});
            }
            j += k;
        }
    }
}

void CFerroxBlockMesh::Render()
{
    GxRenderStateSet(gxRENDERSTATESHADEMODE, FerroxStateValue(FERROX_SHADE_GOURAUD));
    GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, FerroxStateValue(0));
    GxRenderStateSet(gxRENDERSTATETEXTUREADDRESS, FerroxStateValue(FERROX_TEXTUREADDRESS_WRAP));
    std::vector<FerroxTileStrip> strips;
    BuildTileStrips(strips);
    for (const FerroxTileStrip& strip : strips) {
        GxRenderStateSet(gxRENDERSTATETEXTURERASTER, strip.tile->raster);
        // World positions: the vertices were built where the storey lies.
        if (GxIm3DTransform(&m_pVertices[strip.firstVertex], strip.vertexCount, nullptr, gxIM3DVERTEXUV)) {
            GxIm3DRenderPrimitive(gxPRIMTYPETRISTRIP);
            GxIm3DEnd();
        }
    }
}

int CFerroxBlockMesh::IsAreaTiled(int first, int rows, int columns)
{
    if (rows < 1) {
        return 1;
    }
    if (m_pTiles == nullptr || !IsAreaInside(first, rows, columns, 1)) {
        return 0;
    }
    for (int i = 0; i < rows; i++) {
        for (int j = 0; j < columns; j++) {
            if (m_pTiles[m_width * i + j + first] == nullptr) {
                return 0;
            }
        }
    }
    return 1;
}

CFerroxBlockMesh* CFerroxBlockMesh::GetLinked(int n)
{
    CFerroxBlockMesh* mesh = this;
    for (int i = 0; i < n && mesh != nullptr; i++) {
        mesh = mesh->m_pUpper;
    }
    return mesh;
}

int CFerroxBlockMesh::CountLinked()
{
    int count = 0;
    for (CFerroxBlockMesh* mesh = m_pLower; mesh != nullptr; mesh = mesh->m_pLower) {
        count++;
    }
    return count;
}

int CFerroxBlockMesh::BuildStoreyAbove(float height, CFerroxTileRecord* tile, FerroxStoreyFilter filter)
{
    if (m_pUpper != nullptr || m_pTiles == nullptr) {
        return 1;
    }
    auto owned = std::make_unique<CFerroxBlockMesh>();
    const GxV3d origin = {m_origin.x, m_origin.y + height, m_origin.z};
    if (!owned->Create(m_rows, m_width, origin, m_cellSize, m_floorId))
        return 1;
    CFerroxBlockMesh* upper = owned.release();
    m_pUpper = upper;
    upper->m_pLower = this;
    for (int cell = 0; cell < m_cellCount; cell++) {
        CFerroxBlock* below = m_pCells[cell];
        CFerroxBlock* above = upper->m_pCells[cell];
        above->SetState(FERROX_BLOCK_BLOCKED);
        bool lay = false;
        bool walk = false;
        if (m_pTiles[cell] == nullptr) {
            walk = lay = below->m_pOccupant != nullptr && filter != nullptr && filter(below->m_pOccupant, cell, 1);
        } else if (filter == nullptr) {
            lay = true;
        } else {
            walk = lay = filter(below->m_pOccupant, cell, 0) != 0;
        }
        if (lay) {
            upper->m_pTiles[cell] = tile;
        }
        if (walk) {
            above->SetState(FERROX_BLOCK_FREE);
        }
    }
    return 0;
}

int CFerroxBlockMesh::Save(CFerroxFile* file, FerroxTileToText toText)
{
    if (file == nullptr || toText == nullptr || file->HasWriteFailed()) {
        return 0;
    }
    file->WriteLine("<MESH>\r\n");
    for (CFerroxBlockMesh* mesh = this; mesh != nullptr; mesh = mesh->m_pUpper) {
        // Heights above the ground, so that a ground away from 0 reads back where it was.
        file->WriteLine(ToString<float>(mesh->m_origin.y - m_origin.y) + "\r\n");
        file->WriteLine("<SUBMESH>\r\n");
        int cell = 0;
        while (cell < mesh->m_cellCount) {
            CFerroxTileRecord* tile = mesh->m_pTiles != nullptr ? mesh->m_pTiles[cell] : nullptr;
            int run = 1;
            while (cell + run < mesh->m_cellCount && mesh->m_pTiles != nullptr && mesh->m_pTiles[cell + run] == tile) {
                run++;
            }
            file->WriteLine(ToString<int>(toText(tile)) + "," + ToString<int>(run) + "\r\n");
            cell += run;
        }
        std::string occupied;
        for (size_t i = 0; i < mesh->m_occupied.size(); i++) {
            occupied += (i ? "," : "") + ToString<int>(mesh->m_occupied[i]);
        }
        file->WriteLine(occupied + "\r\n");
        file->WriteLine("</SUBMESH>\r\n");
    }
    file->WriteLine("</MESH>\r\n");
    return file->HasWriteFailed() ? 0 : 1;
}

void CFerroxBlockMesh::ReadBody(CFerroxFile* file, FerroxTileFromText fromText, CFerroxTileRecord* defaultTile,
                                bool* endOfBlock)
{
    std::string line;
    file->ReadLine(line);  // "<SUBMESH>"
    const bool hasStoreyBelow = CountLinked() > 0;
    int cell = 0;
    while (cell < m_cellCount && !file->IsEof()) {
        file->ReadLine(line);
        if (line.find("</MESH>") != std::string::npos) {
            *endOfBlock = true;
            return;
        }
        if (line.find("</SUBMESH>") != std::string::npos) {
            return;
        }
        int value = 0;
        int count = 0;
        if (!ParseRun(line, &value, &count) || count <= 0) {
            continue;
        }
        CFerroxTileRecord* tile = fromText != nullptr ? fromText(value, defaultTile) : nullptr;
        const int end = count < m_cellCount - cell ? cell + count : m_cellCount;
        for (; cell < end; cell++) {
            m_pTiles[cell] = tile;
            if (tile != nullptr) {
                m_pCells[cell]->SetState(FERROX_BLOCK_FREE);
            } else if (hasStoreyBelow) {
                m_pCells[cell]->SetState(FERROX_BLOCK_BLOCKED);
            }
        }
    }
    file->ReadLine(line);  // occupied cells
    std::stringstream list(line);
    std::string piece;
    while (std::getline(list, piece, ',')) {
        int index = 0;
        if (FromString<int>(piece, index)) {
            OccupyCell(index);
        }
    }
    file->ReadLine(line);  // "</SUBMESH>"
    *endOfBlock = line.find("</MESH>") != std::string::npos;
}

int CFerroxBlockMesh::Load(CFerroxFile* file, FerroxTileFromText fromText, CFerroxTileRecord* defaultTile)
{
    if (file == nullptr || m_pTiles == nullptr) {
        return 0;
    }
    std::string line;
    file->ReadLine(line);  // "<MESH>"
    CFerroxBlockMesh* current = this;
    float top = 0;
    int storeys = 1;
    bool read = false;
    bool endOfBlock = false;
    while (!endOfBlock && !file->IsEof()) {
        file->ReadLine(line);
        if (line.find("</MESH>") != std::string::npos) {
            break;
        }
        const FerroxStoreyHeight kind = FerroxReadStoreyHeight(line, &top);
        if (kind == FERROX_HEIGHT_DAMAGED)
            return 0;
        if (kind == FERROX_HEIGHT_RISES) {
            // A whole grid is made for a storey: a few bytes of height alone do not justify it.
            if (storeys >= FERROX_MAX_STOREYS || file->GetBytesLeft() < kShortestStoreyBytes) {
                break;
            }
            auto owned = std::make_unique<CFerroxBlockMesh>();
            const GxV3d origin = {m_origin.x, m_origin.y + top, m_origin.z};
            if (!owned->Create(m_rows, m_width, origin, m_cellSize, m_floorId))
                return 0;
            CFerroxBlockMesh* upper = owned.release();
            current->m_pUpper = upper;
            upper->m_pLower = current;
            current = upper;
            storeys++;
        }
        current->ReadBody(file, fromText, defaultTile, &endOfBlock);
        read = true;
    }
    return read ? 1 : 0;
}
