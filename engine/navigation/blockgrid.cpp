// Block grid: cells and their states, rectangle and range operations, occupancy, moves and cell positions.
#include "engine/navigation/blockgrid.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <typeinfo>

#include "engine/data/debugdraw.h"
#include "engine/world/spline.h"

namespace {

// Neighbour offsets of directions 0..7 as (row step, column step).
const int kRowStep[8] = {0, 1, 1, 1, 0, -1, -1, -1};
const int kColumnStep[8] = {1, 1, 0, -1, -1, -1, 0, 1};

constexpr int kMinSplinePoints = 4;

}  // namespace

// ---- CFerroxBlock ----

CFerroxBlock::CFerroxBlock() { Init(); }

void CFerroxBlock::Init()
{
    m_state = FERROX_BLOCK_FREE;
    m_spare = 0;
    m_stamp = 0;
    m_pOccupant = nullptr;
}

void CFerroxBlock::Release() {}

CFerroxBlock::~CFerroxBlock() { Release(); }

int CFerroxBlock::SetObject(CFerroxBase* record)
{
    m_pOccupant = record;
    return 0;
}

int CFerroxBlock::ClearObject()
{
    m_pOccupant = nullptr;
    return 0;
}

int CFerroxBlock::IsBlockedToNextColumn() { return 0; }
int CFerroxBlock::IsBlockedToPrevColumn() { return 0; }
int CFerroxBlock::IsBlockedToNextRow() { return 0; }
int CFerroxBlock::IsBlockedToPrevRow() { return 0; }

int CFerroxBlock::HasObject(const char* name)
{
    if (m_pOccupant == nullptr) {
        return 0;
    }
    if (name == nullptr || name[0] == '\0') {
        return 1;
    }
    const char* occupantName = m_pOccupant->GetName();
    return occupantName != nullptr && std::strstr(occupantName, name) != nullptr ? 1 : 0;
}

int CFerroxBlock::IsWalkable() { return m_state < FERROX_BLOCK_BLOCKED; }
int CFerroxBlock::IsOccupied() { return m_state == FERROX_BLOCK_OCCUPIED || m_state == FERROX_BLOCK_RESERVED; }
int CFerroxBlock::IsReserved() { return m_state == FERROX_BLOCK_RESERVED; }
void CFerroxBlock::SetState(int32_t state) { m_state = state; }

// ---- CFerroxBlockGrid ----

CFerroxBlockGrid::CFerroxBlockGrid()
{
    m_floorId = 0;
    m_origin = {0, 0, 0};
    m_cellSize = 0;
    Init();
}

void CFerroxBlockGrid::Init()
{
    m_pCells = nullptr;
    m_pBlockSlab = nullptr;
    m_slabUsed = 0;
    m_slabOpen = false;
    m_plainBlocks = false;
    m_rowMagic = 0;
    m_rows = 0;
    m_width = 0;
    m_cellCount = 0;
    m_area = 0;
    m_extentX = 0;
    m_extentZ = 0;
    m_occupiedCount = 0;
}

void CFerroxBlockGrid::FreeCells()
{
    if (m_pCells != nullptr) {
        for (int i = 0; i < m_cellCount; i++) {
            CFerroxBlock* block = m_pCells[i];
            if (block >= m_pBlockSlab && block < m_pBlockSlab + m_slabUsed) {
                block->~CFerroxBlock();
            } else {
                delete block;
            }
        }
        m_pCells.reset();
    }
    ::operator delete(m_pBlockSlab);
    m_pBlockSlab = nullptr;
    m_slabUsed = 0;
    m_plainBlocks = false;
}

void CFerroxBlockGrid::Release()
{
    FreeCells();
    m_pieces.clear();
}

CFerroxBlockGrid::~CFerroxBlockGrid() { CFerroxBlockGrid::Release(); }

// While Create runs, blocks of the grid's own making are laid side by side in cell order;
// they belong to the grid and go with it.
CFerroxBlock* CFerroxBlockGrid::CreateBlock()
{
    if (m_slabOpen && m_slabUsed < m_cellCount) {
        return new (&m_pBlockSlab[m_slabUsed++]) CFerroxBlock();
    }
    return new CFerroxBlock();
}

int CFerroxBlockGrid::Create(int rows, int width, const GxV3d& origin, int cellSize, int floorId)
{
    if (rows <= 0 || width <= 0 || rows != width || rows > FERROX_GRID_MAXSIDE || cellSize <= 0 ||
        cellSize > FERROX_GRID_MAXCELLSIZE) {
        return 0;
    }
    FreeCells();
    m_origin = origin;
    m_cellSize = cellSize;
    m_rows = rows;
    m_width = width;
    m_floorId = floorId;
    m_cellCount = rows * width;
    m_rowMagic = (uint64_t(1) << kRowMagicShift) / static_cast<uint64_t>(rows) + 1;
    m_pCells = std::make_unique<CFerroxBlock*[]>(m_cellCount);
    m_extentX = static_cast<float>(cellSize) * rows;
    m_extentZ = static_cast<float>(cellSize) * width;
    m_area = m_extentX * m_extentZ;
    m_pBlockSlab = static_cast<CFerroxBlock*>(::operator new(sizeof(CFerroxBlock) * m_cellCount));
    bool plain = true;
    m_slabOpen = true;
    for (int i = 0; i < m_cellCount; i++) {
        m_pCells[i] = CreateBlock();
        plain = plain && m_pCells[i] == &m_pBlockSlab[i] && typeid(*m_pCells[i]) == typeid(CFerroxBlock);
    }
    if (m_slabUsed == 0) {
        ::operator delete(m_pBlockSlab);
        m_pBlockSlab = nullptr;
    }
    // Later calls of CreateBlock make blocks of their own.
    m_slabOpen = false;
    m_plainBlocks = plain;
    return 1;
}

int CFerroxBlockGrid::IsValidCell(int index, int whole)
{
    if (m_pCells == nullptr || m_cellCount < 1 || index < 0 || index >= m_cellCount) {
        return 0;
    }
    if (whole) {
        return 1;
    }
    if (index < m_width + 1 || index >= m_cellCount - m_width - 1) {
        return 0;
    }
    const int column = index % m_width;
    const int rowColumn = index % m_rows;
    return column != 0 && column != m_width - 1 && rowColumn != 0 && rowColumn != m_rows - 1;
}

int CFerroxBlockGrid::IsAreaInside(int first, int rows, int columns, int whole)
{
    if (m_pCells == nullptr || m_cellCount < 1) {
        return 0;
    }
    // Every term in 64 bits: a corner or size anywhere in the int range is tested, not overflowed. A rectangle
    // of fewer than one row or column passes once its corner is inside: it covers no cell.
    const int64_t first64 = first;
    const int64_t rows64 = rows;
    const int64_t columns64 = columns;
    const int64_t width = m_width;
    const int64_t border = whole ? 0 : 1;
    if (first64 < border * (width + 1) || first64 >= m_cellCount - border * (width + 1)) {
        return 0;
    }
    const int64_t lastCell = (rows64 - 1) * width + first64 + columns64 - 1;
    if (lastCell >= m_cellCount || first64 % width + columns64 > width - 2 * border ||
        rows64 + first64 / m_rows > m_rows - 2 * border) {
        return 0;
    }
    for (int i = 0; i < rows; i++) {
        for (int j = 0; j < columns; j++) {
            if (!IsValidCell(m_width * i + j + first, whole)) {
                return 0;
            }
        }
    }
    return 1;
}

int CFerroxBlockGrid::IsAreaEmpty(int first, int rows, int columns, int whole)
{
    return AreaMatches(first, rows, columns, whole, false, nullptr);
}

int CFerroxBlockGrid::IsAreaFilled(int first, int rows, int columns, int whole)
{
    return AreaMatches(first, rows, columns, whole, true, nullptr);
}

int CFerroxBlockGrid::IsAreaFilledWith(int first, int rows, int columns, int whole, const char* name)
{
    return AreaMatches(first, rows, columns, whole, true, name != nullptr ? name : "wall");
}

int CFerroxBlockGrid::AreaMatches(int first, int rows, int columns, int whole, bool occupied, const char* name)
{
    if (!IsAreaInside(first, rows, columns, whole)) {
        return 0;
    }
    for (int i = 0; i < rows; i++) {
        for (int j = 0; j < columns; j++) {
            CFerroxBlock* block = m_pCells[m_width * i + j + first];
            if ((block->HasObject(nullptr) != 0) != occupied || (name != nullptr && !block->HasObject(name))) {
                return 0;
            }
        }
    }
    return 1;
}

int CFerroxBlockGrid::SetAreaState(int first, int rows, int columns, int32_t state)
{
    if (!IsAreaInside(first, rows, columns, 0) || !IsAreaEmpty(first, rows, columns, 1)) {
        return 1;
    }
    for (int i = 0; i < rows; i++) {
        for (int j = 0; j < columns; j++) {
            m_pCells[m_width * i + j + first]->SetState(state);
        }
    }
    return 0;
}

bool CFerroxBlockGrid::GetRangeCells(int first, int last, std::vector<int>& cells)
{
    cells.clear();
    if (!IsValidCell(first, 1) || !IsValidCell(last, 1)) {
        return false;
    }
    const int r1 = GetCellRow(first, 1), r2 = GetCellRow(last, 1);
    const int c1 = GetCellColumn(first, 1), c2 = GetCellColumn(last, 1);
    const int rowCount = r2 >= r1 ? r2 - r1 + 1 : r1 - r2 + 1;
    const int columnCount = c2 >= c1 ? c2 - c1 + 1 : c1 - c2 + 1;
    const int rowStep = r2 >= r1 ? m_width : -m_width;
    const int columnStep = c2 >= c1 ? 1 : -1;
    cells.reserve(static_cast<size_t>(rowCount) * columnCount);
    int rowStart = first;
    for (int i = 0; i < rowCount; i++, rowStart += rowStep) {
        for (int j = 0; j < columnCount; j++) {
            cells.push_back(rowStart + j * columnStep);
        }
    }
    return true;
}

int CFerroxBlockGrid::SetRangeState(int first, int last, int32_t state, int onlyFree)
{
    if (first == last) {
        if (!IsValidCell(first, 1)) {
            return 1;
        }
        CFerroxBlock* block = m_pCells[first];
        if (onlyFree && block->HasObject(nullptr)) {
            return 1;
        }
        block->SetState(state);
        return 0;
    }
    std::vector<int> cells;
    if (!GetRangeCells(first, last, cells)) {
        return 1;
    }
    for (int cell : cells) {
        CFerroxBlock* block = m_pCells[cell];
        if (!onlyFree || !block->HasObject(nullptr)) {
            block->SetState(state);
        }
    }
    return 0;
}

int CFerroxBlockGrid::PlaceObject(int first, CFerroxBase* record, int rows, int columns, int block)
{
    if (!IsAreaInside(first, rows, columns, 0) || !IsAreaEmpty(first, rows, columns, 1)) {
        return 1;
    }
    // Unblocked cells keep their state.
    StampObject(first, record, rows, columns, block ? FERROX_BLOCK_BLOCKED : kKeepState);
    return 0;
}

int CFerroxBlockGrid::AssignObject(int first, CFerroxBase* record, int rows, int columns, int block)
{
    if (!IsAreaInside(first, rows, columns, 1)) {
        return 1;
    }
    StampObject(first, record, rows, columns, block ? FERROX_BLOCK_BLOCKED : FERROX_BLOCK_FREE);
    return 0;
}

void CFerroxBlockGrid::StampObject(int first, CFerroxBase* record, int rows, int columns, int32_t state)
{
    for (int i = 0; i < rows; i++) {
        for (int j = 0; j < columns; j++) {
            const int cell = m_width * i + j + first;
            CFerroxBlock* b = m_pCells[cell];
            if (b->IsOccupied()) {
                VacateCell(cell);
                b->m_stamp = FERROX_BLOCK_DISPLACED;
            }
            b->SetObject(record);
            if (state != kKeepState) {
                b->SetState(state);
            }
        }
    }
}

int CFerroxBlockGrid::ClearArea(int first, int rows, int columns, int whole, void*)
{
    if (!IsAreaInside(first, rows, columns, whole)) {
        return 1;
    }
    for (int i = 0; i < rows; i++) {
        for (int j = 0; j < columns; j++) {
            CFerroxBlock* b = m_pCells[m_width * i + j + first];
            b->ClearObject();
            b->SetState(FERROX_BLOCK_FREE);
        }
    }
    return 0;
}

int CFerroxBlockGrid::GetCellSize() { return m_cellSize; }
int CFerroxBlockGrid::GetFloorId() { return m_floorId; }

void CFerroxBlockGrid::AddPiece(CFerroxGridPiece* record)
{
    if (record != nullptr) {
        m_pieces.emplace_back(record);
    }
}

CFerroxGridPiece* CFerroxBlockGrid::GetFirstPiece() { return m_pieces.empty() ? nullptr : m_pieces.front().get(); }

CFerroxBlock* CFerroxBlockGrid::GetBlock(int index) { return IsValidCell(index, 1) ? m_pCells[index] : nullptr; }

int CFerroxBlockGrid::GetCellWorldX(int index, int whole)
{
    if (!IsValidCell(index, whole)) {
        return -1;
    }
    return static_cast<int>(m_origin.x + static_cast<float>(index / m_rows) * m_cellSize);
}

int CFerroxBlockGrid::GetCellWorldZ(int index, int whole)
{
    if (!IsValidCell(index, whole)) {
        return -1;
    }
    return static_cast<int>(m_origin.z - static_cast<float>(index % m_rows) * m_cellSize);
}

int CFerroxBlockGrid::GetCellRow(int index, int whole) { return IsValidCell(index, whole) ? index / m_rows : -1; }

int CFerroxBlockGrid::GetCellColumn(int index, int whole) { return IsValidCell(index, whole) ? index % m_rows : -1; }

int CFerroxBlockGrid::GetCellAt(const GxV3d& position)
{
    if (m_pCells == nullptr || m_cellSize <= 0) {
        return -1;
    }
    const int half = m_cellSize / 2;
    const float s = 1.0f / m_cellSize;
    const float dx = (position.x - 0.5f) - m_origin.x + half;
    const float dz = (position.z + 0.5f) - m_origin.z - half;
    // Written so that NaN fails too, before any conversion to an integer.
    if (!(dx >= 0 && dx < m_extentX && dz <= 0 && -dz < m_extentZ)) {
        return -1;
    }
    const int index = static_cast<int>(dx * s) * m_width - static_cast<int>(dz * s);
    return IsValidCell(index, 1) ? index : -1;
}

int CFerroxBlockGrid::GetCellIndex(int x, int y, int whole)
{
    const int lower = whole ? 0 : 1;
    if (x < lower || x >= m_rows - lower || y < lower || y >= m_width - lower) {
        return -1;
    }
    return m_rows * y + x;
}

int CFerroxBlockGrid::GetRows() { return m_rows; }
int CFerroxBlockGrid::GetColumns() { return m_width; }

GxV3d* CFerroxBlockGrid::GetCellPosition(int index, GxV3d* out, int whole)
{
    if (out == nullptr || !IsValidCell(index, whole)) {
        return nullptr;
    }
    const int row = GetCellRow(index, whole);
    const int column = GetCellColumn(index, whole);
    if (row < 0 || column < 0) {
        return nullptr;
    }
    out->x = m_origin.x + static_cast<float>(m_cellSize) * row;
    out->y = m_origin.y;
    out->z = m_origin.z - static_cast<float>(m_cellSize) * column;
    return out;
}

int CFerroxBlockGrid::Neighbour(int direction, int index) const
{
    return index + kRowStep[direction] * m_width + kColumnStep[direction];
}

int CFerroxBlockGrid::CanMove(int direction, int index)
{
    if (!HasCell(index) || direction < 0 || direction > 7) {
        return 0;
    }
    const int fromRow = RowOf(index);
    const int row = fromRow + kRowStep[direction];
    const int column = index - fromRow * m_rows + kColumnStep[direction];
    if (row < 0 || row >= m_rows || column < 0 || column >= m_width) {
        return 0;
    }
    const int target = Neighbour(direction, index);
    if (m_plainBlocks) {
        return CanMovePlain(direction, index, target);
    }
    CFerroxBlock* from = m_pCells[index];
    // Walkability first: it refuses most moves, and every test here is free of side effects.
    if (direction % 2 == 0) {
        if (!HasCell(target) || !m_pCells[target]->IsWalkable()) {
            return 0;
        }
        const int blocked = direction == 0   ? from->IsBlockedToNextColumn()
                            : direction == 2 ? from->IsBlockedToNextRow()
                            : direction == 4 ? from->IsBlockedToPrevColumn()
                                             : from->IsBlockedToPrevRow();
        if (blocked) {
            return 0;
        }
        return CanLeave(direction, index) ? 1 : 0;
    }
    const int rowStep = kRowStep[direction];
    const int columnStep = kColumnStep[direction];
    const int sideColumn = index + columnStep;
    const int sideRow = index + rowStep * m_width;
    if (!HasCell(sideColumn) || !HasCell(sideRow) || !HasCell(target)) {
        return 0;
    }
    CFerroxBlock* diagonal = m_pCells[target];
    if (!m_pCells[sideColumn]->IsWalkable() || !m_pCells[sideRow]->IsWalkable() || !diagonal->IsWalkable()) {
        return 0;
    }
    const int fromBlocked = (columnStep > 0 ? from->IsBlockedToNextColumn() : from->IsBlockedToPrevColumn()) ||
                            (rowStep > 0 ? from->IsBlockedToNextRow() : from->IsBlockedToPrevRow());
    const int diagonalBlocked =
        (columnStep > 0 ? diagonal->IsBlockedToPrevColumn() : diagonal->IsBlockedToNextColumn()) ||
        (rowStep > 0 ? diagonal->IsBlockedToPrevRow() : diagonal->IsBlockedToNextRow());
    if (fromBlocked || diagonalBlocked) {
        return 0;
    }
    return CanLeave(direction, index) ? 1 : 0;
}

// CanMove over blocks that are all plain CFerroxBlock: the same tests as their own methods make
// (walkable below FERROX_BLOCK_BLOCKED, no blocked edges) without a virtual call per block.
int CFerroxBlockGrid::CanMovePlain(int direction, int index, int target)
{
    auto walkable = [this](int cell) { return HasCell(cell) && m_pBlockSlab[cell].m_state < FERROX_BLOCK_BLOCKED; };
    if (!walkable(target)) {
        return 0;
    }
    if (direction % 2 == 1 &&
        (!walkable(index + kColumnStep[direction]) || !walkable(index + kRowStep[direction] * m_width))) {
        return 0;
    }
    return CanLeave(direction, index) ? 1 : 0;
}

int CFerroxBlockGrid::CanLeave(int, int) { return 1; }

void CFerroxBlockGrid::DrawDebugInfo()
{
    const int half = m_cellSize / 2;
    const GxV3d corner = {m_origin.x - half, m_origin.y + 0.5f, m_origin.z + half};
    DrawDebugGrid(corner, m_rows, m_width, static_cast<float>(m_cellSize), GxRGBA{0, 200, 0, 255});
}

const GxV3d& CFerroxBlockGrid::GetOrigin() { return m_origin; }

std::unique_ptr<CFerroxSpline> CFerroxBlockGrid::BuildSpline(const int* cells, int count)
{
    if (cells == nullptr || count <= 0) {
        return nullptr;
    }
    const int n = count >= kMinSplinePoints + 1 ? count : kMinSplinePoints;
    std::vector<GxV3d> points;
    points.reserve(n);
    for (int i = 0; i < count && static_cast<int>(points.size()) < n; i++) {
        GxV3d p;
        if (GetCellPosition(cells[i], &p, 1) != nullptr) {
            points.push_back(p);
        }
    }
    if (points.empty()) {
        return nullptr;
    }
    while (static_cast<int>(points.size()) < n) {
        points.push_back(points.back());
    }
    auto spline = std::make_unique<CFerroxSpline>();
    spline->Create(points.data(), n, nullptr);
    return spline;
}

void CFerroxBlockGrid::OccupyCell(int index)
{
    if (!IsValidCell(index, 0) || m_pCells[index]->IsOccupied()) {
        return;
    }
    m_pCells[index]->m_stamp = 0;
    m_pCells[index]->SetState(FERROX_BLOCK_OCCUPIED);
    m_occupied.push_back(index);
    m_occupiedCount++;
}

void CFerroxBlockGrid::VacateCell(int index)
{
    if (!IsValidCell(index, 0) || !m_pCells[index]->IsOccupied()) {
        return;
    }
    m_pCells[index]->SetState(FERROX_BLOCK_FREE);
    m_pCells[index]->m_stamp = 0;
    m_occupied.erase(std::remove(m_occupied.begin(), m_occupied.end(), index), m_occupied.end());
    m_occupiedCount--;
}
