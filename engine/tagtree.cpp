// Tag tree: reading tag text into nodes, cursor searches, editing, and the plain and split writers.
#include "engine/tagtree.h"

#include <algorithm>
#include <cstring>

#include "gfx/core/filesys.h"

namespace {

// Where the reader takes its pieces from: a file of the graphics core or a block of memory.
class CTagLineSource {
public:
    virtual ~CTagLineSource() {}
    virtual char* Gets(char* buffer, int size) = 0;
    virtual int Eof() = 0;
};

class CTagFileSource : public CTagLineSource {
public:
    explicit CTagFileSource(GxFile* file) : m_pFile(file) {}
    char* Gets(char* buffer, int size) override { return GxFileGets(buffer, size, m_pFile); }
    int Eof() override { return GxFileEof(m_pFile) ? 1 : 0; }

private:
    GxFile* m_pFile;
};

// Hands out pieces as the file layer does: at most size - 1 bytes, ending after the first LF,
// with a CR directly before that LF dropped and a CR that ends a partial piece left for the next.
class CTagMemorySource : public CTagLineSource {
public:
    CTagMemorySource(const char* text, size_t size) : m_pText(text), m_size(size), m_pos(0) {}
    char* Gets(char* buffer, int size) override;
    int Eof() override { return m_pos >= m_size ? 1 : 0; }

private:
    const char* m_pText;
    size_t m_size;
    size_t m_pos;
};

char* CTagMemorySource::Gets(char* buffer, int size)
{
    if (size < 2 || m_pos >= m_size)
        return nullptr;
    size_t take = std::min(static_cast<size_t>(size - 1), m_size - m_pos);
    const char* start = m_pText + m_pos;
    const char* lf = static_cast<const char*>(memchr(start, '\n', take));
    if (lf)
        take = static_cast<size_t>(lf - start) + 1;
    memcpy(buffer, start, take);
    m_pos += take;
    if (lf && take >= 2 && buffer[take - 2] == '\r') {
        buffer[take - 2] = '\n';
        --take;
    } else if (!lf && take > 1 && buffer[take - 1] == '\r') {
        --take;
        --m_pos;
    }
    buffer[take] = '\0';
    return buffer;
}

bool NameMatches(const CFerroxTagNode* node, const char* text)
{
    return !text || !*text || strstr(node->name.c_str(), text) != nullptr;
}

// The opening line written for a node: its name cut at the first CR, LF or NUL, then CR LF.
std::string OpeningLine(const std::string& name)
{
    size_t end = name.find_first_of(std::string("\r\n\0", 3));
    std::string line = name.substr(0, end);
    line += "\r\n";
    return line;
}

std::string ClosingLine(const std::string& opening)
{
    std::string line = opening;
    line.insert(line.begin() + 1, '/');
    return line;
}

} // namespace

CFerroxTagNode::~CFerroxTagNode()
{
    for (CFerroxTagNode* child : children)
        delete child;
}

// Carries the read and write routines; it keeps no state of its own.
class CFerroxTagParser {
public:
    struct Tree {
        CFerroxTagNode*& root;
        std::vector<std::vector<CFerroxTagNode*>>& depthLists;
        uint8_t& maxDepth;
    };

    void RegisterNode(Tree tree, CFerroxTagNode* node);
    void CreateRoot(Tree tree);
    void Read(Tree tree, CTagLineSource& source);
    int Write(CFerroxTagNode* root, const char* fileName);
    void WriteNode(CFerroxTagNode* node, GxFile* file);
    int WriteSplit(CFerroxTagNode* root, const char* prefix);
    void WriteNodeSplit(CFerroxTagNode* node, GxFile* tags, GxFile* data);

private:
    struct ReadState {
        CFerroxTagNode* current;
        unsigned skippedDepth;   // opening lines kept as values because the tree is too deep
    };
    void HandleLine(Tree tree, ReadState& state, const char* line, size_t length);
};

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
    tree.root = new CFerroxTagNode("root", 0, nullptr);
    tree.depthLists.clear();
    tree.maxDepth = 0;
    RegisterNode(tree, tree.root);
}

void CFerroxTagParser::HandleLine(Tree tree, ReadState& state, const char* line, size_t length)
{
    bool opening = length >= 1 && line[0] == '<' && (length < 2 || line[1] != '/');
    bool closing = length >= 2 && line[0] == '<' && line[1] == '/';
    if (length >= 1 && line[0] == '#')
        return;
    if (opening && state.current->depth < FERROX_TAG_MAX_DEPTH && state.skippedDepth == 0) {
        CFerroxTagNode* node = new CFerroxTagNode(std::string(line, length),
                                                  static_cast<uint8_t>(state.current->depth + 1),
                                                  state.current);
        state.current->children.push_back(node);
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
    if (length > 0 && line[length - 1] == '\n')
        --length;
    state.current->values.emplace_back(line, length);
}

void CFerroxTagParser::Read(Tree tree, CTagLineSource& source)
{
    ReadState state = { tree.root, 0 };
    char buffer[FERROX_TAG_LINE_BUFFER];
    // After a piece that did not end its line, a piece that is only the LF is that line's end, not an empty value.
    bool continued = false;
    if (source.Eof())
        return;
    for (;;) {
        if (!source.Gets(buffer, static_cast<int>(sizeof(buffer))))
            break;
        size_t length = strlen(buffer);
        bool lineEndOnly = continued && length == 1 && buffer[0] == '\n';
        if (!lineEndOnly)
            HandleLine(tree, state, buffer, length);
        continued = length == 0 || buffer[length - 1] != '\n';
        if (source.Eof())
            break;
    }
}

int CFerroxTagParser::Write(CFerroxTagNode* root, const char* fileName)
{
    if (!root || !fileName)
        return 0;
    GxFile* file = GxFileOpen(fileName, "w");
    if (!file)
        return 0;
    for (CFerroxTagNode* child : root->children)
        WriteNode(child, file);
    GxFileClose(file);
    return 1;
}

void CFerroxTagParser::WriteNode(CFerroxTagNode* node, GxFile* file)
{
    std::string opening = OpeningLine(node->name);
    GxFilePuts(opening.c_str(), file);
    for (const std::string& value : node->values) {
        GxFilePuts(value.c_str(), file);
        if (value.empty() || value.back() != '\n')
            GxFilePuts("\r\n", file);
    }
    for (CFerroxTagNode* child : node->children)
        WriteNode(child, file);
    if (node->values.empty() && node->children.empty())
        GxFilePuts("\r\n", file);
    GxFilePuts(ClosingLine(opening).c_str(), file);
}

int CFerroxTagParser::WriteSplit(CFerroxTagNode* root, const char* prefix)
{
    if (!root || !prefix)
        return 0;
    std::string dataName = std::string(prefix) + "_DATA.txt";
    std::string tagsName = std::string(prefix) + "_TAGS.xml";
    GxFile* data = GxFileOpen(dataName.c_str(), "w");
    if (!data)
        return 0;
    GxFile* tags = GxFileOpen(tagsName.c_str(), "w");
    if (!tags) {
        GxFileClose(data);
        return 0;
    }
    for (CFerroxTagNode* child : root->children)
        WriteNodeSplit(child, tags, data);
    GxFileClose(data);
    GxFileClose(tags);
    return 1;
}

void CFerroxTagParser::WriteNodeSplit(CFerroxTagNode* node, GxFile* tags, GxFile* data)
{
    std::string opening = OpeningLine(node->name);
    GxFilePuts(opening.c_str(), tags);
    if (!node->values.empty()) {
        const std::string& first = node->values.front();
        GxFilePuts("\r\n", tags);
        GxFilePuts(first.c_str(), data);
        if (first.empty() || first.back() != '\n')
            GxFilePuts("\t", data);
        GxFilePuts("\r\n", data);
    }
    for (CFerroxTagNode* child : node->children)
        WriteNodeSplit(child, tags, data);
    if (node->values.empty() && node->children.empty())
        GxFilePuts("\r\n", tags);
    GxFilePuts(ClosingLine(opening).c_str(), tags);
}

CFerroxTagTree::CFerroxTagTree()
    : m_pParser(new CFerroxTagParser), m_pRoot(nullptr), m_pCursor(nullptr), m_maxDepth(0)
{
    Init();
}

CFerroxTagTree::~CFerroxTagTree()
{
    Clear();
    delete m_pParser;
}

void CFerroxTagTree::Init()
{
    m_pRoot = nullptr;
    m_pCursor = nullptr;
    m_maxDepth = 0;
}

void CFerroxTagTree::Clear()
{
    delete m_pRoot;
    m_depthLists.clear();
    Init();
}

int CFerroxTagTree::Load(const char* fileName)
{
    Clear();
    CFerroxTagParser::Tree tree = { m_pRoot, m_depthLists, m_maxDepth };
    m_pParser->CreateRoot(tree);
    m_pCursor = m_pRoot;
    if (!fileName)
        return 1;
    if (!GxFileExists(fileName))
        return 0;
    GxFile* file = GxFileOpen(fileName, "r");
    if (!file)
        return 0;
    CTagFileSource source(file);
    m_pParser->Read(tree, source);
    GxFileClose(file);
    m_pCursor = m_pRoot;
    return 1;
}

int CFerroxTagTree::LoadFromMemory(const char* text, size_t size)
{
    Clear();
    CFerroxTagParser::Tree tree = { m_pRoot, m_depthLists, m_maxDepth };
    m_pParser->CreateRoot(tree);
    m_pCursor = m_pRoot;
    if (!text)
        return 1;
    CTagMemorySource source(text, size);
    m_pParser->Read(tree, source);
    return 1;
}

int CFerroxTagTree::Save(const char* fileName)
{
    return m_pParser->Write(m_pRoot, fileName);
}

int CFerroxTagTree::SaveSplit(const char* prefix)
{
    return m_pParser->WriteSplit(m_pRoot, prefix);
}

int CFerroxTagTree::FindNode(const char* text, int fromRoot)
{
    if (!text || !m_pRoot)
        return 0;
    unsigned start = 0;
    if (!fromRoot) {
        if (!m_pCursor)
            return 0;
        start = m_pCursor->depth;
    }
    for (unsigned depth = start; depth <= m_maxDepth && depth < m_depthLists.size(); ++depth) {
        for (CFerroxTagNode* node : m_depthLists[depth]) {
            if (NameMatches(node, text)) {
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
    for (CFerroxTagNode* child : m_pCursor->children) {
        if (NameMatches(child, text)) {
            m_pCursor = child;
            return 1;
        }
    }
    return 0;
}

int CFerroxTagTree::NextSibling(const char* text)
{
    if (!m_pCursor || !m_pCursor->parent)
        return 0;
    std::vector<CFerroxTagNode*>& siblings = m_pCursor->parent->children;
    auto it = std::find(siblings.begin(), siblings.end(), m_pCursor);
    if (it == siblings.end() || it + 1 == siblings.end())
        return 0;
    if (!NameMatches(*(it + 1), text))
        return 0;
    m_pCursor = *(it + 1);
    return 1;
}

int CFerroxTagTree::HasChild(const char* text)
{
    if (!m_pCursor)
        return 0;
    for (CFerroxTagNode* child : m_pCursor->children) {
        if (NameMatches(child, text))
            return 1;
    }
    return 0;
}

int CFerroxTagTree::MoveToParent()
{
    if (!m_pCursor || !m_pCursor->parent)
        return 0;
    m_pCursor = m_pCursor->parent;
    return 1;
}

std::vector<std::string>* CFerroxTagTree::GetValues()
{
    return m_pCursor ? &m_pCursor->values : nullptr;
}

const char* CFerroxTagTree::GetValue(size_t index)
{
    if (!m_pCursor || index >= m_pCursor->values.size())
        return nullptr;
    return m_pCursor->values[index].c_str();
}

int CFerroxTagTree::AddChild(const char* name)
{
    if (!m_pCursor || !name || !*name || m_pCursor->depth >= FERROX_TAG_MAX_DEPTH)
        return 0;
    std::string shaped = name;
    if (shaped.front() != '<')
        shaped.insert(shaped.begin(), '<');
    if (shaped.back() != '>')
        shaped += '>';
    shaped += '\n';
    CFerroxTagNode* node = new CFerroxTagNode(shaped, static_cast<uint8_t>(m_pCursor->depth + 1), m_pCursor);
    m_pCursor->children.push_back(node);
    CFerroxTagParser::Tree tree = { m_pRoot, m_depthLists, m_maxDepth };
    m_pParser->RegisterNode(tree, node);
    return 1;
}

int CFerroxTagTree::AddValue(const char* value)
{
    if (!m_pCursor || !value)
        return 0;
    m_pCursor->values.emplace_back(value);
    return 1;
}

void CFerroxTagTree::DeleteCurrent()
{
    CFerroxTagNode* node = m_pCursor;
    if (!node || !node->parent)
        return;
    std::vector<CFerroxTagNode*>& siblings = node->parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
    // Every node of the subtree leaves its depth list before the subtree is freed.
    std::vector<CFerroxTagNode*> pending(1, node);
    while (!pending.empty()) {
        CFerroxTagNode* n = pending.back();
        pending.pop_back();
        if (n->depth < m_depthLists.size()) {
            std::vector<CFerroxTagNode*>& list = m_depthLists[n->depth];
            list.erase(std::remove(list.begin(), list.end(), n), list.end());
        }
        pending.insert(pending.end(), n->children.begin(), n->children.end());
    }
    m_pCursor = node->parent;
    delete node;
}
