// Fuzz target: listing names made of arbitrary UTF-16 code units (folder flag in the first byte of each name,
// names split at zero units) through the classification and the display order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/game/filecanvas.h"

namespace {
constexpr size_t kMaxNames = 64;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<FileEntry> entries;
    size_t at = 0;
    while (at < size && entries.size() < kMaxNames) {
        const bool folder = (data[at++] & 1) != 0;
        std::u16string name;
        while (at + 1 < size) {
            const char16_t unit = static_cast<char16_t>(data[at] | (data[at + 1] << 8));
            at += 2;
            if (unit == 0)
                break;
            name += unit;
        }
        FileEntry entry;
        if (!FileCanvasClassify(name.c_str(), folder, &entry))
            continue;
        // A save keeps its stem, a folder its whole name; dot folders never list.
        if (entry.kind == FILE_ENTRY_SAVE && entry.name + u".fds" != name)
            __builtin_trap();
        if (entry.kind == FILE_ENTRY_FOLDER && (entry.name != name || name == u"." || name == u".."))
            __builtin_trap();
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end(), FileCanvasEntryBefore);
    for (size_t i = 1; i < entries.size(); i++) {
        if (FileCanvasEntryBefore(entries[i], entries[i - 1]))
            __builtin_trap();
    }
    return 0;
}
