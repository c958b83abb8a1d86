// Fuzz target of the templates text checks: any text read as game data or as a particle configuration is
// walked, spliced and checked without a crash or a read past its end.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/data/tagtree.h"
#include "tools/content/templates_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    CFerroxTagTree tree;
    tree.LoadFromMemory(text.data(), text.size());
    ContentLintTemplates(ContentReadTemplates(&tree));
    ContentReadFloorTiles(&tree);
    ContentLintParticleText(text);
    std::string merged, error;
    ContentSpliceDataBlocks(text, "<TEMPLATES>\n</TEMPLATES>\n", &merged, &error);
    return 0;
}
