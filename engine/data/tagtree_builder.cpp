// Tag text read from memory, for tests, fuzz targets and tools; the program does not link it.
#include "engine/data/tagtree.h"
#include "engine/data/tagtree_local.h"

void CFerroxTagParser::Read(Tree tree, const char* text, size_t size)
{
    ReadState state = {tree.root, 0};
    CFerroxTagPieceReader reader(text, size);
    HandlePieces(tree, state, reader, true);
}

int CFerroxTagTree::LoadFromMemory(const char* text, size_t size)
{
    Clear();
    CFerroxTagParser::Tree tree = {m_pRoot, m_depthLists, m_maxDepth, *m_pPool, *m_pText};
    m_pParser->CreateRoot(tree);
    m_pCursor = m_pRoot;
    m_loaded = true;
    if (!text)
        return 1;
    m_pParser->Read(tree, text, size);
    return 1;
}
