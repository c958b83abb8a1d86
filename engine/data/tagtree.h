// The tag text format in memory: a tree of named nodes with value lines, a cursor, and the file reader and writers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "gfx/core/assert.h"

// Nodes deeper than this below the root are not created; their lines are kept as values.
constexpr unsigned FERROX_TAG_MAX_DEPTH = 255;
// Read buffer of one piece of a line: at most FERROX_TAG_LINE_BUFFER - 1 bytes a piece.
constexpr size_t FERROX_TAG_LINE_BUFFER = 1024;

// One bit for each pair of adjacent bytes of a text: a name can contain a search text only
// when it has every bit of the text's mask, which rules out most names in one test.
uint64_t FerroxTagPairMask(const char* text, size_t length);

// A node name as written between its brackets: without the line end, the leading "<" and the final ">".
std::string FerroxTagNameText(const std::string& name);

// One value line, always followed by a NUL. A line read from text points into its tree's
// text store and lives until the tree loads again or goes; a line a caller sets, adds or copies
// owns its own copy.
class CFerroxTagValue {
public:
    CFerroxTagValue() = default;
    explicit CFerroxTagValue(std::string_view text) { Assign(text); }
    // Text kept elsewhere for at least as long as the value; text[size] must be a NUL.
    static CFerroxTagValue Kept(const char* text, size_t size);
    CFerroxTagValue(const CFerroxTagValue& other) { Assign(other.view()); }
    CFerroxTagValue(CFerroxTagValue&& other) noexcept
        : m_text(other.m_text), m_size(other.m_size), m_owned(other.m_owned)
    {
        other.m_text = "";
        other.m_size = 0;
        other.m_owned = false;
    }
    CFerroxTagValue& operator=(const CFerroxTagValue& other)
    {
        Assign(other.view());
        return *this;
    }
    CFerroxTagValue& operator=(CFerroxTagValue&& other) noexcept;
    CFerroxTagValue& operator=(std::string_view text);
    ~CFerroxTagValue() { Free(); }

    const char* c_str() const { return m_text; }
    const char* data() const { return m_text; }
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    std::string_view view() const { return std::string_view(m_text, m_size); }
    std::string str() const { return std::string(m_text, m_size); }

    friend bool operator==(const CFerroxTagValue& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(std::string_view a, const CFerroxTagValue& b) { return a == b.view(); }
    friend bool operator!=(const CFerroxTagValue& a, std::string_view b) { return a.view() != b; }
    friend bool operator!=(std::string_view a, const CFerroxTagValue& b) { return a != b.view(); }

private:
    void Assign(std::string_view text);
    void Free();

    const char* m_text = "";
    uint32_t m_size = 0;
    bool m_owned = false;
};

inline std::ostream& operator<<(std::ostream& out, const CFerroxTagValue& value) { return out << value.view(); }

// A node's value lines in file order. The first is held in place, so a node with one value
// (the usual case) allocates nothing for it; more move to an array of their own.
class CFerroxTagValues {
public:
    CFerroxTagValues() = default;
    CFerroxTagValues(const CFerroxTagValues&) = delete;
    CFerroxTagValues& operator=(const CFerroxTagValues&) = delete;

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    CFerroxTagValue* begin() { return Data(); }
    CFerroxTagValue* end() { return Data() + m_size; }
    const CFerroxTagValue* begin() const { return Data(); }
    const CFerroxTagValue* end() const { return Data() + m_size; }
    CFerroxTagValue& operator[](size_t index) { return Data()[Checked(index)]; }
    const CFerroxTagValue& operator[](size_t index) const { return Data()[Checked(index)]; }
    CFerroxTagValue& front() { return Data()[Checked(0)]; }
    const CFerroxTagValue& front() const { return Data()[Checked(0)]; }
    CFerroxTagValue& back() { return Data()[Checked(m_size - 1)]; }
    const CFerroxTagValue& back() const { return Data()[Checked(m_size - 1)]; }
    void push_back(CFerroxTagValue value);
    // Empties the list; an array already made is kept for the next values.
    void clear()
    {
        for (CFerroxTagValue& value : *this)
            value = CFerroxTagValue();
        m_size = 0;
    }

private:
    CFerroxTagValue* Data() { return m_pMore ? m_pMore.get() : &m_first; }
    size_t Checked(size_t index) const
    {
        GX_ASSERT(index < m_size, "a value index lies below the node's value count");
        return index;
    }
    const CFerroxTagValue* Data() const { return m_pMore ? m_pMore.get() : &m_first; }

    CFerroxTagValue m_first;
    std::unique_ptr<CFerroxTagValue[]> m_pMore;  // all the values once there were more than one
    uint32_t m_size = 0;
    uint32_t m_capacity = 1;
};

class CFerroxTagNode {
public:
    CFerroxTagNode(std::string nodeName, uint8_t nodeDepth, CFerroxTagNode* nodeParent)
        : name(std::move(nodeName)), pairMask(FerroxTagPairMask(name.data(), name.size())), depth(nodeDepth),
          parent(nodeParent)
    {}
    // Named by an opening line read from text, with an LF after it when the line had one.
    CFerroxTagNode(std::string_view line, bool lineEnd, uint8_t nodeDepth, CFerroxTagNode* nodeParent)
        : name(NameLine(line, lineEnd)), pairMask(FerroxTagPairMask(name.data(), name.size())), depth(nodeDepth),
          parent(nodeParent)
    {}
    CFerroxTagNode(const CFerroxTagNode&) = delete;
    CFerroxTagNode& operator=(const CFerroxTagNode&) = delete;

    const std::string name;                 // the opening line as read, with its LF
    const uint64_t pairMask;                // FerroxTagPairMask of the name, for quick rejection
    uint8_t depth;                          // root 0
    CFerroxTagValues values;                // value lines in file order
    CFerroxTagNode* parent;                 // null for the root
    std::vector<CFerroxTagNode*> children;  // in file order; every node is owned by its tree
    std::vector<uint64_t> childMasks;       // pairMask of each child, kept in step by the tree's edits

private:
    static std::string NameLine(std::string_view line, bool lineEnd);
};

class CFerroxTagParser;
class CFerroxTagNodePool;
class CFerroxTagTextStore;

class CFerroxTagTree {
public:
    CFerroxTagTree();
    ~CFerroxTagTree();
    CFerroxTagTree(const CFerroxTagTree&) = delete;
    CFerroxTagTree& operator=(const CFerroxTagTree&) = delete;

    void Init();
    // Reads a tag text file; with no name only the root is made. 0 when the file is missing, unreadable or
    // larger than 64 MiB (the root still exists and holds the cursor). A tree already loaded is cleared first.
    int Load(const char* fileName);
    // Reads tag text held in memory, by the same rules as a file (tagtree_builder.cpp: the program does not link it).
    int LoadFromMemory(const char* text, size_t size);
    // 1 when the last load read its file or text; 0 before any and after one that failed. Only a tree that
    // loaded may be saved over its file.
    int IsLoaded() const { return m_loaded ? 1 : 0; }
    // Write every child subtree of the root; 0 when the file cannot be made or any write fails.
    // The text goes to a temporary file beside the target, which replaces the target only when whole.
    // Every line ends with CR LF (a value that ends with its own LF keeps it). A text larger than Load reads
    // is not written.
    int Save(const char* fileName);
    // "<prefix>_TAGS.xml" and the first values in "<prefix>_DATA.txt", replaced the same way.
    int SaveSplit(const char* prefix);

    int FindNode(const char* text, int fromRoot);
    int FindChild(const char* text);
    int NextSibling(const char* text);
    int HasChild(const char* text);
    // Cursor to its parent; 0 (no move) at the root.
    int MoveToParent();
    // The cursor node's value lines; callers may change them.
    CFerroxTagValues* GetValues();
    // Value line index of the cursor node, or null when it has no such value.
    const char* GetValue(size_t index);
    // New child of the cursor named "<name>" plus LF ("<" and ">" added when missing); the cursor stays.
    // 0 without a cursor, without a name, or below the deepest level a depth holds.
    int AddChild(const char* name);
    // Appends a copy of the value to the cursor node's values. 0 without a cursor or a value.
    int AddValue(const char* value);
    void DeleteCurrent();

    CFerroxTagNode* GetRoot() const { return m_pRoot; }
    CFerroxTagNode* GetCursor() const { return m_pCursor; }
    void SetCursor(CFerroxTagNode* node) { m_pCursor = node; }
    uint8_t GetMaxDepth() const { return m_maxDepth; }
    const std::vector<std::vector<CFerroxTagNode*>>& GetDepthLists() const { return m_depthLists; }

private:
    void Clear();

    std::unique_ptr<CFerroxTagParser> m_pParser;
    std::unique_ptr<CFerroxTagNodePool> m_pPool;
    std::unique_ptr<CFerroxTagTextStore> m_pText;  // the value lines read from files
    CFerroxTagNode* m_pRoot;
    CFerroxTagNode* m_pCursor;
    std::vector<std::vector<CFerroxTagNode*>> m_depthLists;
    uint8_t m_maxDepth;
    bool m_loaded = false;
};
