// Internals of the tag-tree reader shared with its tests and its builder: how file bytes are cut into line pieces, a
// tree dump, and the parser.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "engine/data/tagtree.h"

struct GxFile;

// One piece of a line: its visible bytes without the line end, and whether the line end is visible
// after them.
struct FerroxTagPiece {
    const char* text;
    size_t length;
    bool lineEnd;
};

// Cuts text into pieces as the file layer's line reads do: at most FERROX_TAG_LINE_BUFFER - 1
// bytes, ending after the first LF, a CR directly before that LF dropped (a CR that ends a piece
// without its LF stays in it), and a NUL byte ending the visible text.
class CFerroxTagPieceReader {
public:
    // Text without a NUL, the usual kind, is searched for one once instead of line by line.
    CFerroxTagPieceReader(const char* text, size_t size)
        : m_pText(text), m_size(size), m_pos(0), m_hasNul(size > 0 && std::memchr(text, '\0', size) != nullptr)
    {}
    bool Next(FerroxTagPiece& piece);
    // As Next, but before the text's end (atEnd false) only a piece that more text could not change.
    bool NextWhole(FerroxTagPiece& piece, bool atEnd);
    size_t GetPosition() const { return m_pos; }

private:
    const char* m_pText;
    size_t m_size;
    size_t m_pos;
    bool m_hasNul;
};

// The whole tree below node as text: each node's depth, name and values, in depth-first order.
inline std::string FerroxTagNodeDump(const CFerroxTagNode* node)
{
    std::string out = std::to_string(node->depth) + "[" + node->name + "]";
    for (const CFerroxTagValue& value : node->values)
        out += "{" + value.str() + "}";
    for (const CFerroxTagNode* child : node->children)
        out += FerroxTagNodeDump(child);
    return out;
}

// Carries the read and write routines; it keeps no state of its own.
class CFerroxTagParser {
public:
    struct Tree {
        CFerroxTagNode*& root;
        std::vector<std::vector<CFerroxTagNode*>>& depthLists;
        uint8_t& maxDepth;
        CFerroxTagNodePool& pool;
        CFerroxTagTextStore& text;
    };

    void RegisterNode(Tree tree, CFerroxTagNode* node);
    void CreateRoot(Tree tree);
    // Text held in memory, read by the same rules as a file (tagtree_builder.cpp).
    void Read(Tree tree, const char* text, size_t size);
    // Reads the file in blocks, cutting each block's whole pieces; false past kMaxTagFileSize.
    bool ReadFile(Tree tree, GxFile* file);
    // The whole text; 0, writing nothing, when it would be larger than maxBytes.
    int Write(CFerroxTagNode* root, const char* fileName, size_t maxBytes);
    void WriteNode(CFerroxTagNode* node, std::string& out);
    int WriteSplit(CFerroxTagNode* root, const char* prefix);
    void WriteNodeSplit(CFerroxTagNode* node, std::string& tags, std::string& data);

private:
    struct ReadState {
        CFerroxTagNode* current;
        unsigned skippedDepth;  // opening lines kept as values because the tree is too deep
    };
    void HandleLine(Tree tree, ReadState& state, const FerroxTagPiece& piece);
    void HandlePieces(Tree tree, ReadState& state, CFerroxTagPieceReader& reader, bool atEnd);
};
