// Fuzz target of the tag-tree reader: file and memory reading must agree, and every operation stays safe.
#include <cstdlib>
#include <string>

#include "engine/data/tagtree.h"
#include "engine/data/tagtree_local.h"
#include "engine/testsupport/fuzz_files.h"

namespace {

// Values of the root are never written, so they are left out of the comparison after writing.
std::string DumpWritten(const CFerroxTagNode* root)
{
    std::string out;
    for (const CFerroxTagNode* child : root->children)
        out += FerroxTagNodeDump(child);
    return out;
}

std::string g_input;
std::string g_output;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_tagtree_in");
    g_output = GxFuzzScratchPath("ferrox_tagtree_out");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    // The reader's pieces are those of the file layer's line reads.
    GxFile* file = GxFileOpen(g_input.c_str(), "r");
    if (!file)
        std::abort();
    CFerroxTagPieceReader reader(reinterpret_cast<const char*>(data), size);
    FerroxTagPiece piece;
    char buffer[FERROX_TAG_LINE_BUFFER];
    while (GxFileGets(buffer, sizeof(buffer), file)) {
        if (!reader.Next(piece) || std::string(piece.text, piece.length) + (piece.lineEnd ? "\n" : "") != buffer)
            std::abort();
    }
    GxFileClose(file);
    if (reader.Next(piece))
        std::abort();

    CFerroxTagTree fromFile;
    if (fromFile.Load(g_input.c_str()) != 1)
        std::abort();
    CFerroxTagTree fromMemory;
    fromMemory.LoadFromMemory(reinterpret_cast<const char*>(data), size);
    if (FerroxTagNodeDump(fromFile.GetRoot()) != FerroxTagNodeDump(fromMemory.GetRoot()))
        std::abort();

    // Searches and edits with a name taken from the input.
    std::string text(reinterpret_cast<const char*>(data), size < 4 ? size : 4);
    fromFile.FindNode(text.c_str(), 1);
    fromFile.FindChild(nullptr);
    fromFile.NextSibling(text.c_str());
    fromFile.HasChild(text.c_str());
    fromFile.FindNode("", 0);
    fromFile.AddChild(text.c_str());
    fromFile.AddValue(text.c_str());
    fromFile.DeleteCurrent();
    fromFile.MoveToParent();

    // What is written reads back, and after one round trip writing and reading change nothing more.
    if (fromFile.Save(g_output.c_str()) != 1)
        std::abort();
    CFerroxTagTree again;
    again.Load(g_output.c_str());
    again.Save(g_output.c_str());
    CFerroxTagTree third;
    third.Load(g_output.c_str());
    if (DumpWritten(again.GetRoot()) != DumpWritten(third.GetRoot()))
        std::abort();
    return 0;
}
