// The include check: every #include of the tree read against the modules, folders and links CMake declares.
//   layercheck <table> <source tree> [map]
// The table is the configure's (mall_write_layer_table in cmake/modules.cmake). A file may include:
//   - headers of its own folder, and of the modules its library or programs link (a module's headers are the files
//     of its folders; a test or fuzz program links what its target links, MALL_TEST_DEPS_* included, and a program
//     reaches the modules whose sources it compiles itself); a header, what every file that includes it reaches;
//   - of its own module, headers of its own room and the rooms below it only: a module's folders are its rooms,
//     bottom-up in the order the table lists them. The libraries' files keep to this (a library's sources, and every
//     header a library's source includes); what only tests, fuzz targets and tools compile may include every room
//     of the module, as their programs may link above it;
//   - no *_local.h of another folder: what folders share is a public header;
//   - POSIX, SDL and GL headers only under platform/;
//   - given the map (ARCHITECTURE.md), a library's file includes of a module the map's table of allowed headers
//     covers only the headers the table lists for its module: the table names each header and the modules that
//     include it, and covers every module it names and every module owning a header it lists.
// Each break is printed as "file:line: rule: include"; the program fails when there is one.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kExitBroken = 1;
constexpr int kExitUsage = 2;

// The only folder whose files may include the system's platform headers.
const char* const kPlatformFolder = "platform";
// Platform headers by name, and by the start of their path.
const char* const kPlatformHeaders[] = {"unistd.h",  "fcntl.h",     "dirent.h", "dlfcn.h",  "pthread.h", "poll.h",
                                        "termios.h", "semaphore.h", "sched.h",  "glob.h",   "fnmatch.h", "libgen.h",
                                        "pwd.h",     "grp.h",       "spawn.h",  "syslog.h", "strings.h", "utime.h"};
const char* const kPlatformPrefixes[] = {"sys/", "arpa/", "netinet/", "net/", "SDL",
                                         "GL/",  "GLES",  "EGL/",     "KHR/", "X11/"};
const char* const kPrivateSuffix = "_local.h";
const char* const kSkippedFolder = "corpus";

using Names = std::set<std::string>;

// The map's table of allowed headers starts under this heading row and runs while its lines are table rows.
const char* const kAllowedHeading = "| Header | Included by | Why |";

struct Table {
    std::map<std::string, std::string> owner;                    // folder -> the module whose sources it holds
    std::map<std::string, size_t> room;                          // folder -> its place in its module, from 0 up
    std::map<std::string, Names> links;                          // target -> every module it links
    std::map<std::string, std::vector<std::string>> compiledBy;  // file -> the targets that compile it
    Names modules;
    Names roots;  // first folders of the tree that hold sources
    // From the map: header -> the modules whose libraries may include it; the modules it holds to the list, and
    // the modules whose headers it covers.
    std::map<std::string, Names> allowed;
    Names held;
    Names covered;
};

struct Include {
    int line;
    bool quoted;
    std::string name;
};

struct Reach {
    Names modules;  // modules whose headers the file may include
    Names who;      // the library or programs that give it those
};

std::string Folder(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string FirstFolder(const std::string& path) { return path.substr(0, path.find('/')); }

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::vector<std::string> Words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

void AddRecord(Table& table, const std::vector<std::string>& words)
{
    const std::string& kind = words[0];
    const std::string& name = words[1];
    if (kind == "module") {
        table.modules.insert(name);
        for (size_t i = 2; i < words.size(); ++i) {
            table.owner[words[i]] = name;
            table.room[words[i]] = i - 2;
            table.roots.insert(FirstFolder(words[i]));
        }
    } else if (kind == "links") {
        table.links[name].insert(words.begin() + 2, words.end());
    } else if (kind == "source" && words.size() == 3) {
        table.compiledBy[words[2]].push_back(name);
        table.roots.insert(FirstFolder(words[2]));
    }
}

bool ReadTable(const char* path, Table& table)
{
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "layercheck: cannot read the table %s\n", path);
        return false;
    }
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> words = Words(line);
        if (words.size() < 2) {
            std::fprintf(stderr, "layercheck: %s: a record without a name: '%s'\n", path, line.c_str());
            return false;
        }
        AddRecord(table, words);
    }
    if (table.modules.empty()) {
        std::fprintf(stderr, "layercheck: %s declares no module\n", path);
        return false;
    }
    return true;
}

std::string Trim(const std::string& text, const char* strip)
{
    const size_t first = text.find_first_not_of(strip);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(strip) - first + 1);
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

// One row of the allowed headers: "| `header` | module, module | why |".
bool AddAllowedRow(Table& table, const std::string& line)
{
    const std::vector<std::string> cells = Split(line, '|');
    if (cells.size() < 4)
        return false;
    const std::string header = Trim(cells[1], " `");
    const auto owner = table.owner.find(Folder(header));
    if (header.empty() || owner == table.owner.end())
        return false;
    table.covered.insert(owner->second);
    for (const std::string& name : Split(cells[2], ',')) {
        const std::string module = Trim(name, " `");
        if (table.modules.count(module) == 0)
            return false;
        table.allowed[header].insert(module);
        table.held.insert(module);
    }
    return true;
}

bool ReadMap(const char* path, Table& table)
{
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "layercheck: cannot read the map %s\n", path);
        return false;
    }
    std::string line;
    while (std::getline(in, line) && Trim(line, " ") != kAllowedHeading) {}
    if (!in) {
        std::fprintf(stderr, "layercheck: %s has no table of allowed headers ('%s')\n", path, kAllowedHeading);
        return false;
    }
    std::getline(in, line);  // the rule under the heading
    while (std::getline(in, line) && !line.empty() && line[0] == '|') {
        if (!AddAllowedRow(table, line)) {
            std::fprintf(stderr, "layercheck: %s: a row that names no header of a module, or an unknown module: '%s'\n",
                         path, line.c_str());
            return false;
        }
    }
    if (table.allowed.empty()) {
        std::fprintf(stderr, "layercheck: %s: the table of allowed headers is empty\n", path);
        return false;
    }
    return true;
}

// Targets named in one message at most; the rest are counted.
constexpr size_t kNamedTargets = 3;

std::string Join(const Names& names)
{
    std::string text;
    size_t named = 0;
    for (const std::string& name : names) {
        if (named == kNamedTargets) {
            return text + " and " + std::to_string(names.size() - named) + " more";
        }
        text += (text.empty() ? "" : ", ") + name;
        ++named;
    }
    return text;
}

// What a target reaches: the modules it links, the module of its own name and the modules of the folders whose
// sources it compiles itself.
void AddTarget(const Table& table, const std::string& target, Reach& reach)
{
    const auto linked = table.links.find(target);
    if (linked != table.links.end()) {
        reach.modules.insert(linked->second.begin(), linked->second.end());
    }
    if (table.modules.count(target) != 0) {
        reach.modules.insert(target);
    }
    for (const auto& [source, targets] : table.compiledBy) {
        const auto owner = table.owner.find(Folder(source));
        if (owner != table.owner.end() && std::count(targets.begin(), targets.end(), target) != 0) {
            reach.modules.insert(owner->second);
        }
    }
    reach.who.insert(target);
}

// What a compiled file reaches: a source of a module's library what the library links, whatever else compiles it;
// a test, fuzz or tool source what its programs link.
Reach CompiledReach(const Table& table, const std::string& file, const std::vector<std::string>& targets)
{
    Reach reach;
    const auto owner = table.owner.find(Folder(file));
    if (owner != table.owner.end() && std::count(targets.begin(), targets.end(), owner->second) != 0) {
        AddTarget(table, owner->second, reach);
    } else {
        for (const std::string& target : targets) {
            AddTarget(table, target, reach);
        }
    }
    return reach;
}

// What a header no compiled file includes reaches: what the module of its folder links, else what the programs
// built from its folder link.
Reach UnusedHeaderReach(const Table& table, const std::string& file)
{
    Reach reach;
    const std::string folder = Folder(file);
    const auto owner = table.owner.find(folder);
    if (owner != table.owner.end()) {
        AddTarget(table, owner->second, reach);
    } else {
        for (const auto& [source, targets] : table.compiledBy) {
            if (Folder(source) == folder) {
                for (const std::string& target : targets) {
                    AddTarget(table, target, reach);
                }
            }
        }
    }
    return reach;
}

std::vector<Include> ReadIncludes(const fs::path& path)
{
    static const std::regex directive(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<Include> includes;
    std::ifstream in(path);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        std::smatch match;
        if (std::regex_search(line, match, directive)) {
            includes.push_back({number, match[1] == "\"", match[2]});
        }
    }
    return includes;
}

bool IsPlatformHeader(const std::string& name)
{
    for (const char* header : kPlatformHeaders) {
        if (name == header) {
            return true;
        }
    }
    for (const char* prefix : kPlatformPrefixes) {
        if (name.compare(0, std::char_traits<char>::length(prefix), prefix) == 0) {
            return true;
        }
    }
    return false;
}

// The tree's file an include names, relative to the tree, as the compiler finds it: a quoted name beside the
// includer first, then from the top of the tree; empty when the header is not the tree's.
std::string Resolve(const fs::path& root, const std::string& file, const Include& include)
{
    std::vector<fs::path> candidates;
    if (include.quoted) {
        candidates.push_back(fs::path(Folder(file)) / include.name);
    }
    candidates.push_back(fs::path(include.name));
    for (const fs::path& candidate : candidates) {
        std::error_code error;
        if (fs::is_regular_file(root / candidate, error)) {
            return candidate.lexically_normal().generic_string();
        }
    }
    return std::string();
}

struct File {
    std::vector<Include> includes;
    std::vector<std::string> headers;  // the tree's file each include names, empty for a system header
};

// A header is compiled in every file that includes it, directly or through other headers, so it may include only
// what every one of those reaches. A compiled file reaches what its library or programs link.
class Checker {
public:
    Checker(const Table& table, const fs::path& root) : m_table(table), m_root(root) {}

    void Read(const std::vector<std::string>& files)
    {
        for (const std::string& name : files) {
            File& file = m_files[name];
            file.includes = ReadIncludes(m_root / name);
            for (const Include& include : file.includes) {
                file.headers.push_back(Resolve(m_root, name, include));
            }
        }
        for (const auto& [name, targets] : m_table.compiledBy) {
            if (m_files.count(name) != 0) {
                m_reach[name] = CompiledReach(m_table, name, targets);
                Names seen;
                MarkUsers(name, name, seen);
            }
        }
    }

    void Check()
    {
        for (const auto& [name, file] : m_files) {
            for (size_t i = 0; i < file.includes.size(); ++i) {
                CheckInclude(name, file.includes[i], file.headers[i]);
            }
        }
    }

    int Breaks() const { return m_breaks; }

private:
    // Records the compiled file as a user of every header it reaches from the given file.
    void MarkUsers(const std::string& compiled, const std::string& name, Names& seen)
    {
        const auto file = m_files.find(name);
        if (file == m_files.end()) {
            return;
        }
        for (const std::string& header : file->second.headers) {
            if (!header.empty() && seen.insert(header).second) {
                m_users[header].push_back(compiled);
                MarkUsers(compiled, header, seen);
            }
        }
    }

    void Report(const std::string& file, const Include& include, const std::string& rule)
    {
        const char open = include.quoted ? '"' : '<';
        const char close = include.quoted ? '"' : '>';
        std::printf("%s:%d: %s: #include %c%s%c\n", file.c_str(), include.line, rule.c_str(), open,
                    include.name.c_str(), close);
        ++m_breaks;
    }

    // Whether the module's library compiles the file; for a header, whether a library of any module compiles a file
    // that includes it (a header nothing includes counts as its module's library's).
    bool IsLibraryFile(const std::string& file, const std::string& module)
    {
        const auto compiled = m_table.compiledBy.find(file);
        if (compiled != m_table.compiledBy.end())
            return std::count(compiled->second.begin(), compiled->second.end(), module) != 0;
        const auto users = m_users.find(file);
        if (users == m_users.end())
            return true;
        for (const std::string& user : users->second) {
            for (const std::string& target : m_table.compiledBy.at(user)) {
                if (m_table.modules.count(target) != 0)
                    return true;
            }
        }
        return false;
    }

    // A file of the module's library that includes a header of a room above its own.
    bool ClimbsARoom(const std::string& file, const std::string& folder, const std::string& module)
    {
        const auto owner = m_table.owner.find(Folder(file));
        if (owner == m_table.owner.end() || owner->second != module)
            return false;
        return m_table.room.at(folder) > m_table.room.at(owner->first) && IsLibraryFile(file, module);
    }

    // A file of a library the map holds that includes a header of a module the map covers, and not one the map
    // lists for that library.
    bool OutsideTheMap(const std::string& file, const std::string& header, const std::string& module)
    {
        const auto owner = m_table.owner.find(Folder(file));
        if (owner == m_table.owner.end() || owner->second == module || m_table.held.count(owner->second) == 0 ||
            m_table.covered.count(module) == 0 || !IsLibraryFile(file, owner->second))
            return false;
        const auto allowed = m_table.allowed.find(header);
        return allowed == m_table.allowed.end() || allowed->second.count(owner->second) == 0;
    }

    // The targets, among those that compile the file, that do not link the module; empty when all do.
    Names Lacking(const std::string& file, const std::string& module)
    {
        const auto reach = m_reach.find(file);
        if (reach != m_reach.end()) {
            return reach->second.modules.count(module) != 0 ? Names() : reach->second.who;
        }
        const auto users = m_users.find(file);
        if (users == m_users.end()) {
            const Reach unused = UnusedHeaderReach(m_table, file);
            return unused.modules.count(module) != 0 ? Names() : unused.who;
        }
        Names lacking;
        for (const std::string& user : users->second) {
            const Reach& userReach = m_reach[user];
            if (userReach.modules.count(module) == 0) {
                lacking.insert(userReach.who.begin(), userReach.who.end());
            }
        }
        return lacking;
    }

    void CheckInclude(const std::string& file, const Include& include, const std::string& header)
    {
        if (header.empty()) {
            if (FirstFolder(file) != kPlatformFolder && IsPlatformHeader(include.name)) {
                Report(file, include, "a platform header outside platform/");
            }
            return;
        }
        const std::string folder = Folder(header);
        if (folder == Folder(file)) {
            return;
        }
        if (EndsWith(header, kPrivateSuffix)) {
            Report(file, include, "the private header of another folder");
            return;
        }
        const auto owner = m_table.owner.find(folder);
        if (owner == m_table.owner.end()) {
            Report(file, include, "a header of " + folder + "/, which belongs to no module");
            return;
        }
        if (ClimbsARoom(file, folder, owner->second)) {
            Report(file, include, "a header of " + folder + "/, a room above " + Folder(file) + "/");
            return;
        }
        if (OutsideTheMap(file, header, owner->second)) {
            Report(file, include,
                   "a header of " + owner->second + " that the map does not list for " +
                       m_table.owner.at(Folder(file)));
            return;
        }
        const Names lacking = Lacking(file, owner->second);
        if (lacking.size() == 1) {
            Report(file, include, "a header of " + owner->second + ", which " + Join(lacking) + " does not link");
        } else if (!lacking.empty()) {
            Report(file, include, "a header of " + owner->second + ", which " + Join(lacking) + " do not link");
        }
    }

    const Table& m_table;
    fs::path m_root;
    std::map<std::string, File> m_files;
    std::map<std::string, Reach> m_reach;                     // compiled file -> what it reaches
    std::map<std::string, std::vector<std::string>> m_users;  // header -> the compiled files that include it
    int m_breaks = 0;
};

bool IsSource(const fs::path& path) { return path.extension() == ".cpp" || path.extension() == ".h"; }

// Every .cpp and .h under the first folders that hold sources, in a stable order.
std::vector<std::string> ListFiles(const Table& table, const fs::path& root)
{
    std::vector<std::string> files;
    for (const std::string& first : table.roots) {
        std::error_code error;
        fs::recursive_directory_iterator it(root / first, error);
        for (const fs::recursive_directory_iterator end; !error && it != end; it.increment(error)) {
            if (it->is_directory() && it->path().filename() == kSkippedFolder) {
                it.disable_recursion_pending();
            } else if (it->is_regular_file() && IsSource(it->path())) {
                files.push_back(it->path().lexically_relative(root).generic_string());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: layercheck <table> <source tree> [map]\n");
        return kExitUsage;
    }
    Table table;
    if (!ReadTable(argv[1], table) || (argc == 4 && !ReadMap(argv[3], table))) {
        return kExitUsage;
    }
    const fs::path root(argv[2]);
    Checker checker(table, root);
    const std::vector<std::string> files = ListFiles(table, root);
    checker.Read(files);
    checker.Check();
    if (checker.Breaks() != 0) {
        std::printf("layercheck: %d includes break the layers in %zu files\n", checker.Breaks(), files.size());
        return kExitBroken;
    }
    std::printf("layercheck: %zu files keep the layers\n", files.size());
    return 0;
}
