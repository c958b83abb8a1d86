// Tag tree: reading tag text into nodes, cursor searches, editing, and the plain and split writers.
#include "engine/data/tagtree.h"
#include "engine/data/tagtree_local.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <ostream>

#include "engine/data/file.h"
#include "gfx/core/filesys.h"

// Made at its final size at once: the LF is already in place when the line has one.
std::string CFerroxTagNode::NameLine(std::string_view line, bool lineEnd)
{
    std::string name(line.size() + (lineEnd ? 1 : 0), '\n');
    if (!line.empty())
        memcpy(&name[0], line.data(), line.size());
    return name;
}

CFerroxTagValue CFerroxTagValue::Kept(const char* text, size_t size)
{
    GX_ASSERT(text[size] == '\0' && size <= UINT32_MAX, "a kept value ends in a NUL");
    CFerroxTagValue value;
    value.m_text = text;
    value.m_size = static_cast<uint32_t>(size);
    return value;
}

CFerroxTagValue& CFerroxTagValue::operator=(CFerroxTagValue&& other) noexcept
{
    if (this != &other) {
        Free();
        std::swap(m_text, other.m_text);
        std::swap(m_size, other.m_size);
        std::swap(m_owned, other.m_owned);
    }
    return *this;
}

CFerroxTagValue& CFerroxTagValue::operator=(std::string_view text)
{
    Assign(text);
    return *this;
}

// The copy is made before the old text goes: the new text may be part of it.
void CFerroxTagValue::Assign(std::string_view text)
{
    GX_ASSERT(text.size() <= UINT32_MAX, "a value line is far shorter");
    char* copy = new char[text.size() + 1];
    if (!text.empty())
        memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    Free();
    m_text = copy;
    m_size = static_cast<uint32_t>(text.size());
    m_owned = true;
}

void CFerroxTagValue::Free()
{
    if (m_owned)
        delete[] m_text;
    m_text = "";
    m_size = 0;
    m_owned = false;
}

void CFerroxTagValues::push_back(CFerroxTagValue value)
{
    if (m_size == m_capacity) {
        uint32_t capacity = m_capacity * 2;
        auto more = std::make_unique<CFerroxTagValue[]>(capacity);
        CFerroxTagValue* old = Data();
        for (uint32_t i = 0; i < m_size; ++i)
            more[i] = std::move(old[i]);
        m_pMore = std::move(more);
        m_capacity = capacity;
    }
    Data()[m_size++] = std::move(value);
}

// Blocks of memory for a tree, each twice the size of the one before up to a cap, so that a
// large file takes few blocks and a small one little memory. They are kept for the next load
// and freed with the tree.
namespace {

// Blocks of trees that are gone, kept for the trees loaded next: they reuse memory already in
// use instead of the allocator giving it back to the system and faulting it in again. Trees on
// any thread share them, hence the lock. Never destroyed, so a tree may go at any time.
struct TagSpareBlocks {
    std::mutex lock;
    std::vector<std::pair<size_t, void*>> blocks;
    size_t bytes = 0;
};

// At most this much memory is kept for later trees.
constexpr size_t kSpareBytes = 4u << 20;

TagSpareBlocks& Spares()
{
    static TagSpareBlocks* spares = new TagSpareBlocks;
    return *spares;
}

void* TakeSpareBlock(size_t size)
{
    TagSpareBlocks& spares = Spares();
    {
        std::lock_guard<std::mutex> hold(spares.lock);
        for (size_t i = 0; i < spares.blocks.size(); ++i) {
            if (spares.blocks[i].first != size)
                continue;
            void* block = spares.blocks[i].second;
            spares.blocks[i] = spares.blocks.back();
            spares.blocks.pop_back();
            spares.bytes -= size;
            return block;
        }
    }
    return ::operator new(size);
}

void GiveSpareBlock(void* block, size_t size)
{
    TagSpareBlocks& spares = Spares();
    {
        std::lock_guard<std::mutex> hold(spares.lock);
        if (spares.bytes + size <= kSpareBytes) {
            spares.blocks.emplace_back(size, block);
            spares.bytes += size;
            return;
        }
    }
    ::operator delete(block);
}

}  // namespace

class CFerroxTagBlocks {
public:
    CFerroxTagBlocks(size_t firstSize, size_t largestSize, size_t align)
        : m_firstSize(firstSize), m_largestSize(largestSize), m_align(align)
    {
        GX_ASSERT(align > 0 && (align & (align - 1)) == 0, "alignments are powers of two");
    }
    ~CFerroxTagBlocks()
    {
        size_t size = m_firstSize;
        for (void* block : m_blocks) {
            GiveSpareBlock(block, size);
            size = std::min(size * 2, m_largestSize);
        }
    }
    CFerroxTagBlocks(const CFerroxTagBlocks&) = delete;
    CFerroxTagBlocks& operator=(const CFerroxTagBlocks&) = delete;

    // Room for size bytes; size is at most the first block's size.
    void* Take(size_t size)
    {
        GX_ASSERT(size <= m_firstSize, "a piece fits the smallest block");
        size = (size + m_align - 1) & ~(m_align - 1);
        if (size > m_left)
            NextBlock();
        void* out = m_pFree;
        m_pFree += size;
        m_left -= size;
        return out;
    }
    // Everything taken is given back at once.
    void Reset()
    {
        m_next = 0;
        m_pFree = nullptr;
        m_left = 0;
    }

private:
    void NextBlock()
    {
        size_t size = m_firstSize;
        for (size_t i = 0; i < m_next; ++i)
            size = std::min(size * 2, m_largestSize);
        if (m_next == m_blocks.size())
            m_blocks.push_back(TakeSpareBlock(size));
        m_pFree = static_cast<char*>(m_blocks[m_next++]);
        m_left = size;
    }

    const size_t m_firstSize;
    const size_t m_largestSize;
    const size_t m_align;  // of every piece taken, a power of two
    std::vector<void*> m_blocks;
    size_t m_next = 0;  // the block after the one being filled
    char* m_pFree = nullptr;
    size_t m_left = 0;
};

// The value lines a tree read, copied side by side with a NUL after each.
class CFerroxTagTextStore {
public:
    CFerroxTagTextStore() : m_blocks(kFirstBlock, kLargestBlock, 1) {}

    const char* Keep(const char* text, size_t size)
    {
        char* out = static_cast<char*>(m_blocks.Take(size + 1));
        memcpy(out, text, size);
        out[size] = '\0';
        return out;
    }
    // Every value kept must be gone.
    void Reset() { m_blocks.Reset(); }

private:
    // A line piece and its NUL fit the first block.
    static constexpr size_t kFirstBlock = 4u << 10;
    static constexpr size_t kLargestBlock = 4u << 20;
    static_assert(FERROX_TAG_LINE_BUFFER <= kFirstBlock, "a line piece and its NUL fit one block");
    CFerroxTagBlocks m_blocks;
};

bool CFerroxTagPieceReader::NextWhole(FerroxTagPiece& piece, bool atEnd)
{
    size_t left = m_size - m_pos;
    if (!atEnd && left < FERROX_TAG_LINE_BUFFER - 1 && !memchr(m_pText + m_pos, '\n', left))
        return false;
    return Next(piece);
}

bool CFerroxTagPieceReader::Next(FerroxTagPiece& piece)
{
    if (m_pos >= m_size)
        return false;
    size_t take = std::min(FERROX_TAG_LINE_BUFFER - 1, m_size - m_pos);
    const char* start = m_pText + m_pos;
    const char* lf = static_cast<const char*>(memchr(start, '\n', take));
    size_t length;
    if (lf) {
        length = static_cast<size_t>(lf - start);
        m_pos += length + 1;
        if (length > 0 && start[length - 1] == '\r')
            --length;
    } else {
        length = take;
        m_pos += length;
    }
    piece.text = start;
    piece.lineEnd = lf != nullptr;
    const char* nul = m_hasNul ? static_cast<const char*>(memchr(start, '\0', length)) : nullptr;
    if (nul) {
        length = static_cast<size_t>(nul - start);
        piece.lineEnd = false;
    }
    piece.length = length;
    return true;
}

namespace {

// Longest line text whose CR LF still ends in the same piece: a longer one reads back with an empty line after it.
const size_t kMaxLineText = FERROX_TAG_LINE_BUFFER - 3;

// Appended to the old data file's name while a split save replaces it.
const char kAsideSuffix[] = ".old";

// Largest tag file read; a larger one is refused, its tree left empty.
const size_t kMaxTagFileSize = 64u << 20;

// Files are read in blocks this large: one read call per line would cost far more than the parsing,
// and one buffer for the whole file would be a large allocation per load.
const size_t kReadBlock = 64u << 10;

// A search text with its length and pair mask worked out once per search.
struct TagSearch {
    explicit TagSearch(const char* t) : text(t), length(t ? strlen(t) : 0), mask(FerroxTagPairMask(t, length)) {}
    const char* text;
    size_t length;
    uint64_t mask;
};

bool NameMatches(const CFerroxTagNode* node, const TagSearch& search)
{
    if (search.length == 0)
        return true;
    if ((node->pairMask & search.mask) != search.mask || node->name.size() < search.length)
        return false;
    // A search for a whole name, the usual kind, matches at the start without a search.
    const char* name = node->name.c_str();
    return memcmp(name, search.text, search.length) == 0 || strstr(name, search.text) != nullptr;
}

// The line end of every line the tag text format writes.
const char kLineEnd[] = "\r\n";

// The opening line written for a node, without its line end: its name cut at the first CR, LF or NUL.
std::string OpeningLine(const std::string& name)
{
    size_t end = name.find_first_of(std::string("\r\n\0", 3));
    return name.substr(0, end);
}

// One checked write of the whole text.
bool WriteText(GxFile* file, const std::string& text)
{
    return text.empty() || GxFileWrite(text.data(), 1, text.size(), file) == text.size();
}

// Any line starting "</" closes a node: one cut to a single line piece never leaves a stray value.
std::string ClosingLine(const std::string& opening)
{
    std::string line = opening;
    line.insert(std::min<size_t>(1, line.size()), 1, '/');
    if (line.size() > kMaxLineText)
        line.resize(kMaxLineText);
    return line;
}

}  // namespace

std::string FerroxTagNameText(const std::string& name)
{
    std::string text = name;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    if (!text.empty() && text.front() == '<')
        text.erase(text.begin());
    if (!text.empty() && text.back() == '>')
        text.pop_back();
    return text;
}

uint64_t FerroxTagPairMask(const char* text, size_t length)
{
    uint64_t mask = 0;
    for (size_t i = 1; i < length; ++i) {
        unsigned pair = static_cast<unsigned char>(text[i - 1]) * 31u + static_cast<unsigned char>(text[i]);
        mask |= uint64_t(1) << (pair & 63u);
    }
    return mask;
}

// Nodes are made in the tree's blocks and destroyed in place by their tree. A node deleted on
// its own leaves its slot until the tree is cleared.
class CFerroxTagNodePool {
public:
    CFerroxTagNodePool()
        : m_blocks(sizeof(CFerroxTagNode) * kFirstNodes, sizeof(CFerroxTagNode) * kLargestNodes,
                   alignof(CFerroxTagNode))
    {}

    template <typename... Args>
    CFerroxTagNode* Make(Args&&... args)
    {
        return new (m_blocks.Take(sizeof(CFerroxTagNode))) CFerroxTagNode(std::forward<Args>(args)...);
    }
    // Every node made must have been destroyed.
    void Reset() { m_blocks.Reset(); }

private:
    static constexpr size_t kFirstNodes = 64;
    static constexpr size_t kLargestNodes = 64u << 10;
    CFerroxTagBlocks m_blocks;
};

namespace {

constexpr size_t kMaskGroup = 4;

void AppendChild(CFerroxTagNode* parent, CFerroxTagNode* child)
{
    parent->children.push_back(child);
    parent->childMasks.push_back(child->pairMask);
}

// Index of the first child whose name holds the search text, or -1.
long FindChildIndex(const CFerroxTagNode* node, const TagSearch& search)
{
    const std::vector<CFerroxTagNode*>& children = node->children;
    const std::vector<uint64_t>& masks = node->childMasks;
    GX_ASSERT(masks.size() == children.size(), "the tree keeps a mask for every child");
    // The masks side by side reject most children without touching them, a group of four at a time.
    const uint64_t want = search.mask;
    const size_t count = masks.size();
    const uint64_t* mask = masks.data();
    size_t i = 0;
    for (; i + kMaskGroup <= count; i += kMaskGroup) {
        bool any = ((mask[i] & want) == want) | ((mask[i + 1] & want) == want) | ((mask[i + 2] & want) == want) |
                   ((mask[i + 3] & want) == want);
        if (!any)
            continue;
        for (size_t j = i; j < i + kMaskGroup; ++j) {
            if ((mask[j] & want) == want && NameMatches(children[j], search))
                return static_cast<long>(j);
        }
    }
    for (; i < count; ++i) {
        if ((mask[i] & want) == want && NameMatches(children[i], search))
            return static_cast<long>(i);
    }
    return -1;
}

}  // namespace

void CFerroxTagParser::RegisterNode(Tree tree, CFerroxTagNode* node)
{
    if (tree.depthLists.size() <= node->depth)
        tree.depthLists.resize(node->depth + 1u);
    tree.depthLists[node->depth].push_back(node);
    if (node->depth > tree.maxDepth)
        tree.maxDepth = node->depth;
}

void CFerroxTagParser::CreateRoot(Tree tree)
{
    tree.root = tree.pool.Make(std::string("root"), 0, nullptr);
    tree.depthLists.clear();
    tree.maxDepth = 0;
    RegisterNode(tree, tree.root);
}

void CFerroxTagParser::HandleLine(Tree tree, ReadState& state, const FerroxTagPiece& piece)
{
    const char* line = piece.text;
    size_t length = piece.length;
    bool opening = length >= 1 && line[0] == '<' && (length < 2 || line[1] != '/');
    bool closing = length >= 2 && line[0] == '<' && line[1] == '/';
    if (length >= 1 && line[0] == '#')
        return;
    if (opening && state.current->depth < FERROX_TAG_MAX_DEPTH && state.skippedDepth == 0) {
        CFerroxTagNode* node = tree.pool.Make(std::string_view(line, length), piece.lineEnd,
                                              static_cast<uint8_t>(state.current->depth + 1), state.current);
        AppendChild(state.current, node);
        RegisterNode(tree, node);
        state.current = node;
        return;
    }
    if (opening) {
        ++state.skippedDepth;
    } else if (closing && state.skippedDepth > 0) {
        --state.skippedDepth;
    } else if (closing) {
        // More closing lines than opening ones: the root stays current.
        if (state.current->parent)
            state.current = state.current->parent;
        return;
    }
    state.current->values.push_back(CFerroxTagValue::Kept(tree.text.Keep(line, length), length));
}

void CFerroxTagParser::HandlePieces(Tree tree, ReadState& state, CFerroxTagPieceReader& reader, bool atEnd)
{
    FerroxTagPiece piece;
    while (reader.NextWhole(piece, atEnd))
        HandleLine(tree, state, piece);
}

bool CFerroxTagParser::ReadFile(Tree tree, GxFile* file)
{
    ReadState state = {tree.root, 0};
    char block[kReadBlock];
    size_t held = 0;
    size_t total = 0;
    for (;;) {
        size_t got = GxFileRead(block + held, 1, kReadBlock - held, file);
        total += got;
        if (total > kMaxTagFileSize)
            return false;
        held += got;
        // A piece still short of its line end waits for the next block, unless the file has ended.
        CFerroxTagPieceReader reader(block, held);
        HandlePieces(tree, state, reader, got == 0);
        if (got == 0)
            return true;
        held -= reader.GetPosition();
        memmove(block, block + reader.GetPosition(), held);
    }
}

// The text is built whole and written at once; the file it replaces changes only when all of it was written.
int CFerroxTagParser::Write(CFerroxTagNode* root, const char* fileName, size_t maxBytes)
{
    if (!root || !fileName)
        return 0;
    std::string text;
    for (CFerroxTagNode* child : root->children)
        WriteNode(child, text);
    // A file its readers would refuse is never written over one they take.
    if (text.size() > maxBytes)
        return 0;
    char temporary[gxFILEMAXPATH + 1];
    GxFile* file = GxFileOpenTemporary(fileName, temporary, sizeof(temporary));
    return file && GxFileCommitTemporary(file, temporary, fileName, WriteText(file, text)) ? 1 : 0;
}

void CFerroxTagParser::WriteNode(CFerroxTagNode* node, std::string& out)
{
    const std::string opening = OpeningLine(node->name);
    out += opening;
    out += kLineEnd;
    for (const CFerroxTagValue& value : node->values) {
        // As a C string: text a caller put behind a NUL is not written.
        const char* text = value.c_str();
        size_t length = strlen(text);
        out.append(text, length);
        if (length == 0 || text[length - 1] != '\n')
            out += kLineEnd;
    }
    for (CFerroxTagNode* child : node->children)
        WriteNode(child, out);
    if (node->values.empty() && node->children.empty())
        out += kLineEnd;
    out += ClosingLine(opening);
    out += kLineEnd;
}

// Both files are written and closed before either replaces its old self; then the two renames
// follow each other directly, the old data file set aside first so that it can be put back.
int CFerroxTagParser::WriteSplit(CFerroxTagNode* root, const char* prefix)
{
    if (!root || !prefix)
        return 0;
    std::string tagsText;
    std::string dataText;
    for (CFerroxTagNode* child : root->children)
        WriteNodeSplit(child, tagsText, dataText);
    std::string dataName = std::string(prefix) + "_DATA.txt";
    std::string tagsName = std::string(prefix) + "_TAGS.xml";
    char dataTemporary[gxFILEMAXPATH + 1];
    char tagsTemporary[gxFILEMAXPATH + 1];
    GxFile* data = GxFileOpenTemporary(dataName.c_str(), dataTemporary, sizeof(dataTemporary));
    GxFile* tags = data ? GxFileOpenTemporary(tagsName.c_str(), tagsTemporary, sizeof(tagsTemporary)) : nullptr;
    const bool written = tags && WriteText(data, dataText) && WriteText(tags, tagsText);
    const bool dataReady = data && GxFileCloseTemporary(data, dataTemporary, written);
    const bool tagsReady = tags && GxFileCloseTemporary(tags, tagsTemporary, written && dataReady);
    if (!tagsReady) {
        if (dataReady)
            GxFileRemove(dataTemporary);
        return 0;
    }
    std::string asideName = dataName + kAsideSuffix;
    bool hadData = GxFileExists(dataName.c_str());
    if (hadData && !GxFileRename(dataName.c_str(), asideName.c_str())) {
        GxFileRemove(dataTemporary);
        GxFileRemove(tagsTemporary);
        return 0;
    }
    const bool dataDone = GxFileRenameTemporary(dataTemporary, dataName.c_str());
    if (dataDone && GxFileRenameTemporary(tagsTemporary, tagsName.c_str())) {
        if (hadData)
            GxFileRemove(asideName.c_str());
        return 1;
    }
    // Only a crash (or a failed put-back) between the two renames leaves new data beside old tags.
    if (hadData)
        GxFileRename(asideName.c_str(), dataName.c_str());
    else if (dataDone)
        GxFileRemove(dataName.c_str());
    if (!dataDone)
        GxFileRemove(tagsTemporary);
    return 0;
}

void CFerroxTagParser::WriteNodeSplit(CFerroxTagNode* node, std::string& tags, std::string& data)
{
    const std::string opening = OpeningLine(node->name);
    tags += opening;
    tags += kLineEnd;
    if (!node->values.empty()) {
        const char* first = node->values.front().c_str();
        size_t length = strlen(first);
        tags += "\r\n";
        data.append(first, length);
        if (length == 0 || first[length - 1] != '\n')
            data += "\t";
        data += "\r\n";
    }
    for (CFerroxTagNode* child : node->children)
        WriteNodeSplit(child, tags, data);
    if (node->values.empty() && node->children.empty())
        tags += kLineEnd;
    tags += ClosingLine(opening);
    tags += kLineEnd;
}

CFerroxTagTree::CFerroxTagTree()
    : m_pParser(new CFerroxTagParser), m_pPool(new CFerroxTagNodePool), m_pText(new CFerroxTagTextStore),
      m_pRoot(nullptr), m_pCursor(nullptr), m_maxDepth(0)
{
    Init();
}

CFerroxTagTree::~CFerroxTagTree() { Clear(); }

void CFerroxTagTree::Init()
{
    m_pRoot = nullptr;
    m_pCursor = nullptr;
    m_maxDepth = 0;
    m_loaded = false;
}

// Every node is in exactly one depth list, so destroying the lists' nodes destroys the tree.
void CFerroxTagTree::Clear()
{
    for (std::vector<CFerroxTagNode*>& list : m_depthLists) {
        for (CFerroxTagNode* node : list)
            node->~CFerroxTagNode();
    }
    m_pPool->Reset();
    m_pText->Reset();
    m_depthLists.clear();
    Init();
}

int CFerroxTagTree::Load(const char* fileName)
{
    Clear();
    CFerroxTagParser::Tree tree = {m_pRoot, m_depthLists, m_maxDepth, *m_pPool, *m_pText};
    m_pParser->CreateRoot(tree);
    m_pCursor = m_pRoot;
    if (!fileName) {
        m_loaded = true;
        return 1;
    }
    if (!GxFileExists(fileName))
        return 0;
    GxFile* file = GxFileOpen(fileName, "r");
    if (!file)
        return 0;
    // Too large a file is refused before anything of it is read.
    uint64_t size = (static_cast<uint64_t>(file->sizeHigh) << 32) | file->sizeLow;
    // The file's bytes are cut into pieces by the same rules as the file layer's line reads.
    bool complete = size <= kMaxTagFileSize && m_pParser->ReadFile(tree, file);
    GxFileClose(file);
    if (!complete) {
        Clear();
        m_pParser->CreateRoot(tree);
        m_pCursor = m_pRoot;
        return 0;
    }
    m_pCursor = m_pRoot;
    m_loaded = true;
    return 1;
}

int CFerroxTagTree::Save(const char* fileName) { return m_pParser->Write(m_pRoot, fileName, kMaxTagFileSize); }

int CFerroxTagTree::SaveSplit(const char* prefix) { return m_pParser->WriteSplit(m_pRoot, prefix); }

int CFerroxTagTree::FindNode(const char* text, int fromRoot)
{
    if (!text)
        return 0;
    GX_ASSERT(fromRoot || m_pCursor, "a search from the cursor needs a loaded tree");
    // Before Load there are no depth lists: a search from the root finds nothing.
    const unsigned start = fromRoot ? 0 : m_pCursor->depth;
    TagSearch search(text);
    for (unsigned depth = start; depth <= m_maxDepth && depth < m_depthLists.size(); ++depth) {
        for (CFerroxTagNode* node : m_depthLists[depth]) {
            if (NameMatches(node, search)) {
                m_pCursor = node;
                return 1;
            }
        }
    }
    return 0;
}

int CFerroxTagTree::FindChild(const char* text)
{
    if (!m_pCursor)
        return 0;
    long index = FindChildIndex(m_pCursor, TagSearch(text));
    if (index < 0)
        return 0;
    m_pCursor = m_pCursor->children[static_cast<size_t>(index)];
    return 1;
}

int CFerroxTagTree::NextSibling(const char* text)
{
    GX_ASSERT(m_pCursor, "the cursor is set by Load");
    if (!m_pCursor->parent)
        return 0;
    std::vector<CFerroxTagNode*>& siblings = m_pCursor->parent->children;
    auto it = std::find(siblings.begin(), siblings.end(), m_pCursor);
    if (it == siblings.end() || it + 1 == siblings.end())
        return 0;
    if (!NameMatches(*(it + 1), TagSearch(text)))
        return 0;
    m_pCursor = *(it + 1);
    return 1;
}

int CFerroxTagTree::HasChild(const char* text)
{
    if (!m_pCursor)
        return 0;
    return FindChildIndex(m_pCursor, TagSearch(text)) >= 0 ? 1 : 0;
}

int CFerroxTagTree::MoveToParent()
{
    GX_ASSERT(m_pCursor, "the cursor is set by Load");
    if (!m_pCursor->parent)
        return 0;
    m_pCursor = m_pCursor->parent;
    return 1;
}

CFerroxTagValues* CFerroxTagTree::GetValues()
{
    GX_ASSERT(m_pCursor, "the cursor is set by Load");
    return &m_pCursor->values;
}

const char* CFerroxTagTree::GetValue(size_t index)
{
    GX_ASSERT(m_pCursor, "the cursor is set by Load");
    if (index >= m_pCursor->values.size())
        return nullptr;
    return m_pCursor->values[index].c_str();
}

int CFerroxTagTree::AddChild(const char* name)
{
    // A node one level below the deepest would wrap its depth to the root's.
    if (!m_pCursor || !name || !*name || m_pCursor->depth >= FERROX_TAG_MAX_DEPTH)
        return 0;
    std::string shaped = name;
    if (shaped.front() != '<')
        shaped.insert(shaped.begin(), '<');
    if (shaped.back() != '>')
        shaped += '>';
    shaped += '\n';
    CFerroxTagNode* node = m_pPool->Make(std::move(shaped), static_cast<uint8_t>(m_pCursor->depth + 1), m_pCursor);
    AppendChild(m_pCursor, node);
    CFerroxTagParser::Tree tree = {m_pRoot, m_depthLists, m_maxDepth, *m_pPool, *m_pText};
    m_pParser->RegisterNode(tree, node);
    return 1;
}

int CFerroxTagTree::AddValue(const char* value)
{
    if (!m_pCursor || !value)
        return 0;
    m_pCursor->values.push_back(CFerroxTagValue(value));
    return 1;
}

void CFerroxTagTree::DeleteCurrent()
{
    CFerroxTagNode* node = m_pCursor;
    GX_ASSERT(node, "the cursor is set by Load");
    if (!node->parent)
        return;
    CFerroxTagNode* parent = node->parent;
    // A node is always among its parent's children, its mask beside it, and in the list of its depth.
    std::vector<CFerroxTagNode*>& siblings = parent->children;
    const auto it = std::find(siblings.begin(), siblings.end(), node);
    GX_ASSERT(it != siblings.end(), "a node is one of its parent's children");
    const long index = static_cast<long>(it - siblings.begin());
    siblings.erase(it);
    parent->childMasks.erase(parent->childMasks.begin() + index);
    // Every node of the subtree leaves its depth list, then the subtree is destroyed.
    std::vector<CFerroxTagNode*> subtree(1, node);
    for (size_t i = 0; i < subtree.size(); ++i) {
        CFerroxTagNode* n = subtree[i];
        std::vector<CFerroxTagNode*>& list = m_depthLists[n->depth];
        list.erase(std::remove(list.begin(), list.end(), n), list.end());
        subtree.insert(subtree.end(), n->children.begin(), n->children.end());
    }
    for (CFerroxTagNode* n : subtree)
        n->~CFerroxTagNode();
    m_pCursor = parent;
}
