// Internals of the tag-tree reader shared with its tests: how file bytes are cut into line pieces, and a tree dump.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

#include "engine/data/tagtree.h"

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
