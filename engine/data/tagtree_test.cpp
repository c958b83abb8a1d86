// Tag tree: reading rules, search orders, editing, and the plain and split writers.
#include "engine/data/tagtree.h"
#include "engine/data/tagtree_local.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/testsupport/files.h"
#include "gfx/core/filesys.h"

namespace {

void LoadText(CFerroxTagTree& tree, const std::string& text)
{
    ASSERT_EQ(1, tree.LoadFromMemory(text.data(), text.size()));
}

std::vector<std::string> Texts(const CFerroxTagValues& values)
{
    std::vector<std::string> texts;
    for (const CFerroxTagValue& value : values)
        texts.emplace_back(value.view());
    return texts;
}

CFerroxTagNode* Child(CFerroxTagNode* node, size_t i)
{
    return i < node->children.size() ? node->children[i] : nullptr;
}

TEST(TagTreeRead, NamesKeepTheirWholeLineAndValuesLoseTheirLineEnd)
{
    CFerroxTagTree tree;
    LoadText(tree, "<Game_Data>\r\n<Language> trailing\r\n0\r\n</Language>\r\n</Game_Data>\r\n");
    CFerroxTagNode* root = tree.GetRoot();
    EXPECT_EQ("root", root->name);
    ASSERT_EQ(1u, root->children.size());
    CFerroxTagNode* game = Child(root, 0);
    EXPECT_EQ("<Game_Data>\n", game->name);
    EXPECT_EQ(1, game->depth);
    CFerroxTagNode* language = Child(game, 0);
    ASSERT_NE(nullptr, language);
    EXPECT_EQ("<Language> trailing\n", language->name);
    EXPECT_EQ(2, language->depth);
    EXPECT_EQ(game, language->parent);
    ASSERT_EQ(1u, language->values.size());
    EXPECT_EQ("0", language->values[0]);
    EXPECT_EQ(root, tree.GetCursor());
}

TEST(TagTreeRead, CommentsBlankLedValuesEmptyLinesAndLooseClosings)
{
    CFerroxTagTree tree;
    LoadText(tree, "#comment\n</stray>\nroot value\n<A>\n <B>\n\n#x\nv\n</anything>\n</A>\n</A>\n<C>\n");
    CFerroxTagNode* root = tree.GetRoot();
    EXPECT_EQ(1, tree.IsLoaded());
    ASSERT_EQ(2u, root->children.size());
    CFerroxTagNode* a = Child(root, 0);
    ASSERT_EQ(3u, a->values.size());
    EXPECT_EQ(" <B>", a->values[0]);
    EXPECT_EQ("", a->values[1]);
    EXPECT_EQ("v", a->values[2]);
    // "</anything>" closed <A>; the extra closings at the root changed nothing; text outside every tag is the
    // root's.
    EXPECT_TRUE(a->children.empty());
    EXPECT_EQ((std::vector<std::string>{"root value"}), Texts(root->values));
    // A node left open at the end stays in the tree.
    EXPECT_EQ("<C>\n", Child(root, 1)->name);
}

TEST(TagTreeRead, LongLinesAreSplitIntoPiecesOf1023Bytes)
{
    CFerroxTagTree tree;
    std::string longValue(1500, 'x');
    std::string exact(1023, 'y');
    std::string exactCrlf(1023, 'z');
    std::string crSplit(1022, 'w');
    std::string longName = "<" + std::string(1100, 'n') + ">";
    LoadText(tree, "<A>\n" + longValue + "\n" + exact + "\n" + exactCrlf + "\r\n" + crSplit + "\r\nlast\n" + longName +
                       "\n</A>\n");
    CFerroxTagNode* a = Child(tree.GetRoot(), 0);
    // A line that fills a piece leaves its line end to the next piece, an empty value; a CR that is a piece's last
    // byte stays in it, since its LF is not among the bytes read.
    EXPECT_EQ((std::vector<std::string>{longValue.substr(0, 1023), longValue.substr(1023), exact, "", exactCrlf, "",
                                        crSplit + "\r", "", "last"}),
              Texts(a->values));
    // The rest of a long opening line is a value of the node it opened.
    CFerroxTagNode* named = Child(a, 0);
    ASSERT_NE(nullptr, named);
    EXPECT_EQ(1023u, named->name.size());
    ASSERT_EQ(1u, named->values.size());
    EXPECT_EQ(std::string(1100 - 1022, 'n') + ">", named->values[0]);
}

// A CR is dropped only before an LF: a last line ending in a lone CR keeps it, and so does a line with a CR inside.
TEST(TagTreeRead, ALoneCrStaysInItsLine)
{
    CFerroxTagTree tree;
    LoadText(tree, "<A>\na\rb\r\r\nlast\r");
    EXPECT_EQ("0[root]1[<A>\n]{a\rb\r}{last\r}", FerroxTagNodeDump(tree.GetRoot()));
    LoadText(tree, "<A>\r");
    EXPECT_EQ("0[root]1[<A>\r]", FerroxTagNodeDump(tree.GetRoot()));
}

TEST(TagTreeRead, ANulByteEndsTheVisibleLineOnly)
{
    CFerroxTagTree tree;
    LoadText(tree, std::string("<A>\nab\0cd\n\nef\n", 14));
    CFerroxTagNode* a = Child(tree.GetRoot(), 0);
    ASSERT_EQ(3u, a->values.size());
    EXPECT_EQ("ab", a->values[0]);
    EXPECT_EQ("", a->values[1]);
    EXPECT_EQ("ef", a->values[2]);
}

TEST(TagTreeRead, NodesDeeperThanTheLimitBecomeValues)
{
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "<d" + std::to_string(i) + ">\n";
    text += "deep\n";
    for (int i = 299; i >= 0; --i)
        text += "</d" + std::to_string(i) + ">\n";
    text += "<after>\n</after>\n";
    CFerroxTagTree tree;
    LoadText(tree, text);
    EXPECT_EQ(FERROX_TAG_MAX_DEPTH, tree.GetMaxDepth());
    ASSERT_EQ(1u, tree.GetDepthLists()[FERROX_TAG_MAX_DEPTH].size());
    CFerroxTagNode* deepest = tree.GetDepthLists()[FERROX_TAG_MAX_DEPTH][0];
    // 45 opening lines, the value and 45 closing lines stay with the deepest node.
    ASSERT_EQ(91u, deepest->values.size());
    EXPECT_EQ("<d255>", deepest->values.front());
    EXPECT_EQ("deep", deepest->values[45]);
    EXPECT_EQ("</d255>", deepest->values.back());
    // The structure after the deep part is intact.
    ASSERT_EQ(2u, tree.GetRoot()->children.size());
    EXPECT_EQ("<after>\n", Child(tree.GetRoot(), 1)->name);
    ASSERT_TRUE(tree.FindNode("d254>", 1));
    EXPECT_EQ(0, tree.AddChild("tooDeep"));
}

// Values read from text live in the tree's store; copies and values set by callers own their text.
TEST(TagTreeRead, ValuesOutliveTheirTreeWhenCopiedAndTakeEditsOfTheirOwnText)
{
    CFerroxTagValue copy;
    {
        CFerroxTagTree tree;
        LoadText(tree, "<A>\nfirst value of a\nsecond\nthird\n</A>\n<B>\nb\n</B>\n");
        CFerroxTagNode* a = Child(tree.GetRoot(), 0);
        ASSERT_EQ(3u, a->values.size());
        copy = a->values[0];
        // Set from part of itself, then grown past its first place and emptied for reuse.
        a->values[1] = a->values[1].view().substr(2);
        EXPECT_EQ("cond", a->values[1]);
        a->values.push_back(CFerroxTagValue("fourth"));
        ASSERT_EQ(4u, a->values.size());
        EXPECT_EQ("fourth", a->values.back());
        EXPECT_EQ("first value of a", a->values.front());
        a->values.clear();
        EXPECT_TRUE(a->values.empty());
        a->values.push_back(CFerroxTagValue("again"));
        EXPECT_STREQ("again", a->values[0].c_str());
        // The tree's store is reused by the next load; the copy keeps its own text.
        LoadText(tree, "<C>\n" + std::string(200, 'c') + "\n</C>\n");
        EXPECT_EQ(std::string(200, 'c'), Child(tree.GetRoot(), 0)->values[0]);
    }
    CFerroxTagTree later;
    LoadText(later, "<D>\n" + std::string(300, 'd') + "\n</D>\n");
    EXPECT_EQ("first value of a", copy);
    EXPECT_EQ(std::string(300, 'd'), Child(later.GetRoot(), 0)->values[0]);
}

const char kSearchTree[] = "<A>\n<A1>\n<X>\n1\n</X>\n</A1>\n<A2>\n</A2>\n</A>\n"
                           "<B>\n<Language>\n<LanguageCode>\n</LanguageCode>\n</Language>\n<X>\nb\n</X>\n</B>\n";

TEST(TagTreeSearch, FindNodeWalksDepthByDepthFromTheStartDepth)
{
    CFerroxTagTree tree;
    LoadText(tree, kSearchTree);
    EXPECT_EQ(0, tree.FindNode(nullptr, 1));
    ASSERT_TRUE(tree.FindNode("", 1));
    EXPECT_EQ(tree.GetRoot(), tree.GetCursor());
    // <X> under B (depth 2) comes before <X> under A1 (depth 3).
    ASSERT_TRUE(tree.FindNode("X", 1));
    EXPECT_EQ("b", tree.GetCursor()->values[0]);
    // From depth 2 in A's branch: finds B's <Language> at depth 2, never <B> at depth 1.
    ASSERT_TRUE(tree.FindNode("A1", 1));
    ASSERT_TRUE(tree.FindNode("Lang", 0));
    EXPECT_EQ("<Language>\n", tree.GetCursor()->name);
    EXPECT_EQ(0, tree.FindNode("B", 0));
    EXPECT_EQ("<Language>\n", tree.GetCursor()->name);
}

TEST(TagTreeSearch, FindChildNextSiblingAndHasChild)
{
    CFerroxTagTree tree;
    LoadText(tree, "<P>\n<A>\n</A>\n<B>\n</B>\n<C>\n</C>\n</P>\n");
    ASSERT_TRUE(tree.FindChild("P"));
    EXPECT_TRUE(tree.HasChild("C"));
    EXPECT_EQ(0, tree.HasChild("D"));
    ASSERT_TRUE(tree.FindChild(nullptr));
    CFerroxTagNode* a = tree.GetCursor();
    EXPECT_EQ("<A>\n", a->name);
    // Only the sibling directly after is looked at.
    EXPECT_EQ(0, tree.NextSibling("C"));
    EXPECT_EQ(a, tree.GetCursor());
    EXPECT_TRUE(tree.NextSibling("B"));
    EXPECT_TRUE(tree.NextSibling(nullptr));
    EXPECT_EQ(0, tree.NextSibling(nullptr));
    EXPECT_EQ("<C>\n", tree.GetCursor()->name);
    EXPECT_EQ(0, tree.FindChild(nullptr));
    EXPECT_TRUE(tree.MoveToParent());
    EXPECT_TRUE(tree.MoveToParent());
    EXPECT_EQ(0, tree.MoveToParent());
    EXPECT_EQ(tree.GetRoot(), tree.GetCursor());
    EXPECT_EQ(0, tree.NextSibling(nullptr));
}

TEST(TagTreeEdit, AddChildShapesNamesAndDeleteCurrentUnregisters)
{
    CFerroxTagTree tree;
    ASSERT_EQ(1, tree.Load(nullptr));
    EXPECT_EQ(0, tree.AddChild(""));
    ASSERT_EQ(1, tree.AddChild("Application_Data"));
    ASSERT_TRUE(tree.FindChild("Application_Data"));
    ASSERT_EQ(1, tree.AddChild("VideoModeWidth"));
    ASSERT_EQ(1, tree.AddChild("<Bits>"));
    EXPECT_EQ("<VideoModeWidth>\n", tree.GetCursor()->children[0]->name);
    EXPECT_EQ("<Bits>\n", tree.GetCursor()->children[1]->name);
    ASSERT_TRUE(tree.FindChild("VideoModeWidth"));
    ASSERT_EQ(1, tree.AddValue("800"));
    EXPECT_STREQ("800", tree.GetValue(0));
    EXPECT_EQ(nullptr, tree.GetValue(1));
    (*tree.GetValues())[0] = "1024";
    EXPECT_STREQ("1024", tree.GetValue(0));

    tree.DeleteCurrent();
    EXPECT_EQ("<Application_Data>\n", tree.GetCursor()->name);
    EXPECT_EQ(0, tree.FindNode("VideoModeWidth", 1));
    EXPECT_EQ(1u, tree.GetDepthLists()[2].size());
    ASSERT_TRUE(tree.FindNode("Application_Data", 1));
    tree.DeleteCurrent();
    EXPECT_TRUE(tree.GetRoot()->children.empty());
    EXPECT_TRUE(tree.GetDepthLists()[2].empty());
    tree.DeleteCurrent();  // at the root: nothing
    EXPECT_EQ(tree.GetRoot(), tree.GetCursor());
}

class TagTreeFiles : public FerroxTestFiles {};

// Names and values are appended as given, whatever they hold; the writer then writes them by its rules.
TEST_F(TagTreeFiles, AddChildAndAddValueAppendWhatTheyAreGiven)
{
    CFerroxTagTree tree;
    tree.Load(nullptr);
    ASSERT_EQ(1, tree.AddValue("at the root"));
    EXPECT_EQ(1u, tree.GetRoot()->values.size());
    ASSERT_EQ(1, tree.AddChild("/x"));
    ASSERT_EQ(1, tree.AddChild("a\nb"));
    const std::string longName(1100, 'n');
    ASSERT_EQ(1, tree.AddChild(longName.c_str()));
    EXPECT_EQ("</x>\n", tree.GetRoot()->children[0]->name);
    EXPECT_EQ("<a\nb>\n", tree.GetRoot()->children[1]->name);
    EXPECT_EQ("<" + longName + ">\n", tree.GetRoot()->children[2]->name);
    ASSERT_EQ(1, tree.AddChild("V"));
    ASSERT_TRUE(tree.FindChild("V"));
    const std::string longValue(1500, 'v');
    for (const std::string& value : {longValue, std::string("<x>"), std::string("#x"), std::string("a\nb")})
        ASSERT_EQ(1, tree.AddValue(value.c_str()));
    EXPECT_EQ((std::vector<std::string>{longValue, "<x>", "#x", "a\nb"}), Texts(tree.GetCursor()->values));
    EXPECT_EQ(0, tree.AddValue(nullptr));

    // The root's value is not written; the rest is written as it stands, by the writer's rules.
    CFerroxTagTree written;
    written.Load(nullptr);
    ASSERT_EQ(1, written.AddValue("at the root"));
    ASSERT_EQ(1, written.AddChild("a\nb"));
    ASSERT_TRUE(written.FindChild(nullptr));
    ASSERT_EQ(1, written.AddValue("<x>"));
    ASSERT_EQ(1, written.AddValue("c\nd"));
    const std::string out = Path("added.xml");
    ASSERT_EQ(1, written.Save(out.c_str()));
    EXPECT_EQ("<a\r\n<x>\r\nc\nd\r\n</a\r\n", ReadFile(out));
}

// Before Load the cursor is null: the searches answer 0 and the edits add nothing.
TEST(TagTreeEdit, OperationsWithoutARootFailQuietly)
{
    CFerroxTagTree tree;
    EXPECT_EQ(0, tree.FindNode("", 1));
    EXPECT_EQ(0, tree.FindChild(nullptr));
    EXPECT_EQ(0, tree.HasChild(nullptr));
    EXPECT_EQ(0, tree.AddChild("x"));
    EXPECT_EQ(0, tree.AddValue("x"));
    EXPECT_EQ(nullptr, tree.GetRoot());
}

// Child searches over many children find the first name holding the text, wherever it stands.
TEST(TagTreeSearch, FindChildAmongManyTakesTheFirstMatch)
{
    std::string text = "<P>\n";
    for (int i = 0; i < 11; ++i)
        text += "<child_" + std::to_string(i) + ">\n</child_" + std::to_string(i) + ">\n";
    text += "</P>\n";
    CFerroxTagTree tree;
    LoadText(tree, text);
    for (int i = 0; i < 11; ++i) {
        ASSERT_TRUE(tree.FindNode("P", 1));
        const std::string name = "<child_" + std::to_string(i) + ">";
        ASSERT_TRUE(tree.FindChild(name.c_str())) << i;
        EXPECT_EQ(name + "\n", tree.GetCursor()->name);
    }
    ASSERT_TRUE(tree.FindNode("P", 1));
    ASSERT_TRUE(tree.FindChild("child_1"));  // child_1 before child_10
    EXPECT_EQ("<child_1>\n", tree.GetCursor()->name);
    ASSERT_TRUE(tree.FindNode("P", 1));
    EXPECT_EQ(0, tree.HasChild("<child_11>"));
    EXPECT_EQ(1, tree.HasChild("_10>"));
    tree.FindChild("<child_4>");
    tree.DeleteCurrent();
    EXPECT_EQ(0, tree.HasChild("<child_4>"));
    ASSERT_TRUE(tree.FindChild("<child_9>"));
    EXPECT_EQ("<child_9>\n", tree.GetCursor()->name);
}

// Every line written ends with CR LF, whatever line ends the text read had: the three lines <A>, x and </A>
// come back as the same three lines, each ending with CR LF.
TEST_F(TagTreeFiles, WritesCrLfLinesAndReadsBackWhatItWrote)
{
    std::string in = Path("in.xml");
    std::string out = Path("out.xml");
    CFerroxTagTree tree;
    for (const char* text : {"<A>\nx\n</A>\n", "<A>\r\nx\r\n</A>\r\n", "<A>\nx\r\n</A>"}) {
        WriteFile(in, text);
        ASSERT_EQ(1, tree.Load(in.c_str()));
        ASSERT_EQ(1, tree.Save(out.c_str()));
        EXPECT_EQ("<A>\r\nx\r\n</A>\r\n", ReadFile(out)) << text;
    }

    WriteFile(in, "<A>\nx\n</A>\n<Empty>\n</Empty>\n<C>\nz\r\r\n</C>\n");
    ASSERT_EQ(1, tree.Load(in.c_str()));
    ASSERT_TRUE(tree.FindNode("A", 1));
    ASSERT_EQ(1, tree.AddChild("Added"));
    ASSERT_TRUE(tree.FindChild("Added"));
    tree.AddValue("with LF\n");
    ASSERT_EQ(1, tree.Save(out.c_str()));
    EXPECT_EQ("<A>\r\nx\r\n<Added>\r\nwith LF\n</Added>\r\n</A>\r\n<Empty>\r\n\r\n</Empty>\r\n<C>\r\nz\r\r\n</C>\r\n",
              ReadFile(out));

    CFerroxTagTree again;
    ASSERT_EQ(1, again.Load(out.c_str()));
    ASSERT_TRUE(again.FindNode("Empty", 1));
    ASSERT_EQ(1u, again.GetValues()->size());
    EXPECT_EQ("", (*again.GetValues())[0]);
    ASSERT_TRUE(again.FindNode("Added", 1));
    EXPECT_STREQ("with LF", again.GetValue(0));
    // A value's own final CR survives the CR LF after it.
    ASSERT_TRUE(again.FindNode("C", 1));
    EXPECT_STREQ("z\r", again.GetValue(0));

    CFerroxTagTree made;
    made.Load(nullptr);
    ASSERT_EQ(1, made.AddChild("K"));
    ASSERT_TRUE(made.FindChild("K"));
    ASSERT_EQ(1, made.AddValue("1"));
    ASSERT_EQ(1, made.Save(out.c_str()));
    EXPECT_EQ("<K>\r\n1\r\n</K>\r\n", ReadFile(out));
    EXPECT_TRUE(Temporaries().empty());
}

// Names and values at the longest a line piece holds come back whole.
TEST_F(TagTreeFiles, LongestNamesAndValuesOfOnePieceReadBackUnchanged)
{
    CFerroxTagTree tree;
    tree.Load(nullptr);
    const std::string name(1019, 'n');
    const std::string value(1021, 'v');
    ASSERT_EQ(1, tree.AddChild(name.c_str()));
    ASSERT_TRUE(tree.FindChild(nullptr));
    ASSERT_EQ(1, tree.AddValue(value.c_str()));
    ASSERT_EQ(1, tree.AddValue((value + "\n").c_str()));
    ASSERT_EQ(1, tree.AddChild(("<" + name + ">").c_str()));
    std::string out = Path("long.xml");
    ASSERT_EQ(1, tree.Save(out.c_str()));
    CFerroxTagTree again;
    ASSERT_EQ(1, again.Load(out.c_str()));
    const std::string bracketed = "<" + name + ">\n";
    EXPECT_EQ("0[root]1[" + bracketed + "]{" + value + "}{" + value + "}2[" + bracketed + "]{}",
              FerroxTagNodeDump(again.GetRoot()));

    // A longer name read from a file is written with a closing line that still fits one piece: the node
    // closes where it did, and only its full opening line's end comes back, as an empty value.
    const std::string in = Path("in.xml");
    WriteFile(in, "<A>\n<" + std::string(1100, 'n') + ">\nx\n</n>\n</A>\n");
    ASSERT_EQ(1, again.Load(in.c_str()));
    ASSERT_EQ(1, again.Save(out.c_str()));
    ASSERT_EQ(1, again.Load(out.c_str()));
    CFerroxTagNode* a = Child(again.GetRoot(), 0);
    ASSERT_EQ(1u, a->children.size());
    EXPECT_TRUE(a->values.empty());
    const CFerroxTagValues& values = a->children[0]->values;
    ASSERT_EQ(3u, values.size());
    EXPECT_EQ("", values[0]);
    EXPECT_EQ(std::string(1100 - 1022, 'n') + ">", values[1]);
    EXPECT_EQ("x", values[2]);
}

// The reader cuts the bytes it loads into the same pieces as line reads of the file layer.
TEST_F(TagTreeFiles, PiecesMatchTheFileLayersLineReads)
{
    const std::string texts[] = {
        "<A>\r\n" + std::string(1022, 'a') + "\r\n" + std::string(1023, 'b') + "\r\n</A>\r\n",
        "<A>\n" + std::string(2046, 'c') + "\r\n" + std::string(1021, 'd') + "\r\r\n</A>",
        "\r\n\r\r\n<\n</\n#\n<x>y\r",
        std::string("<A>\nab\0cd\nef\n\0", 15),
        "\r",
        "no line end at all",
    };
    int i = 0;
    for (const std::string& text : texts) {
        std::string path = Path("t" + std::to_string(i++) + ".xml");
        WriteFile(path, text);
        std::vector<std::string> expected;
        GxFile* file = GxFileOpen(path.c_str(), "r");
        ASSERT_NE(nullptr, file);
        char buffer[FERROX_TAG_LINE_BUFFER];
        while (GxFileGets(buffer, sizeof(buffer), file))
            expected.push_back(buffer);
        GxFileClose(file);
        std::vector<std::string> pieces;
        CFerroxTagPieceReader reader(text.data(), text.size());
        FerroxTagPiece piece;
        while (reader.Next(piece))
            pieces.push_back(std::string(piece.text, piece.length) + (piece.lineEnd ? "\n" : ""));
        EXPECT_EQ(expected, pieces) << "text " << i - 1;
    }
    CFerroxTagTree tree;
    ASSERT_EQ(1, tree.Load(Path("t0.xml").c_str()));
    EXPECT_EQ("0[root]1[<A>\n]{" + std::string(1022, 'a') + "\r}{}{" + std::string(1023, 'b') + "}{}",
              FerroxTagNodeDump(tree.GetRoot()));
}

// Files are read in blocks: pieces that straddle a block's end come out as from one whole text.
TEST_F(TagTreeFiles, AFileReadInBlocksGivesTheTreeOfItsWholeText)
{
    std::string text;
    unsigned state = 7;
    while (text.size() < 300000) {
        state = state * 1103515245u + 12345u;
        size_t length = (state >> 8) % 2100;
        const char starts[] = {'<', '<', 'v', '#', '\r', '\0'};
        std::string line(length, static_cast<char>('a' + (state >> 4) % 26));
        if (length > 0)
            line[0] = starts[(state >> 12) % sizeof(starts)];
        if (length > 1 && (state >> 20) % 3 == 0)
            line[1] = '/';
        text += line + ((state >> 24) % 4 == 0 ? "\r\n" : "\n");
        if ((state >> 16) % 5 == 0)
            text += '\r';
    }
    const std::string path = Path("big.xml");
    WriteFile(path, text);
    CFerroxTagTree fromFile;
    ASSERT_EQ(1, fromFile.Load(path.c_str()));
    CFerroxTagTree fromMemory;
    LoadText(fromMemory, text);
    size_t nodes = 0;
    for (const auto& list : fromMemory.GetDepthLists())
        nodes += list.size();
    EXPECT_GT(nodes, 20u);
    EXPECT_EQ(FerroxTagNodeDump(fromMemory.GetRoot()), FerroxTagNodeDump(fromFile.GetRoot()));
}

TEST_F(TagTreeFiles, MissingOrUnwritableFilesFail)
{
    CFerroxTagTree tree;
    EXPECT_EQ(0, tree.Load(Path("missing.xml").c_str()));
    ASSERT_NE(nullptr, tree.GetRoot());
    EXPECT_EQ(tree.GetRoot(), tree.GetCursor());
    // A file past 64 MiB is not read at all: the tree keeps only its root.
    WriteFile(Path("huge.xml"), "<A>\n" + std::string((64u << 20) - 3, 'a'));
    EXPECT_EQ(0, tree.Load(Path("huge.xml").c_str()));
    EXPECT_EQ(0, tree.IsLoaded());
    EXPECT_TRUE(tree.GetRoot()->children.empty());
    EXPECT_EQ(0, tree.Save(Path("no/such/dir/out.xml").c_str()));
    EXPECT_EQ(0, tree.SaveSplit(Path("no/such/dir/lang").c_str()));
}

// A save that cannot write everything reports failure and leaves the files it would replace as they were.
TEST_F(TagTreeFiles, FailedWritesKeepTheOldFilesAndReportFailure)
{
    CFerroxTagTree tree;
    LoadText(tree, "<LANGUAGE>\n<maps>\n<0>\nLondon\n</0>\n</maps>\n</LANGUAGE>\n");
    const std::string out = Path("out.xml");
    const std::string prefix = Path("lang");
    WriteFile(out, "old tree");
    WriteFile(prefix + "_DATA.txt", "old data");
    WriteFile(prefix + "_TAGS.xml", "old tags");
    for (LONG successes = 0; successes < 2; ++successes) {
        FerroxFailWritesAfter full(successes);
        if (successes == 0) {
            EXPECT_EQ(0, tree.Save(out.c_str()));
        }
        EXPECT_EQ(0, tree.SaveSplit(prefix.c_str())) << successes;
    }
    EXPECT_EQ("old tree", ReadFile(out));
    EXPECT_EQ("old data", ReadFile(prefix + "_DATA.txt"));
    EXPECT_EQ("old tags", ReadFile(prefix + "_TAGS.xml"));
    EXPECT_TRUE(Temporaries().empty());
    ASSERT_EQ(1, tree.Save(out.c_str()));
    EXPECT_EQ("<LANGUAGE>\r\n<maps>\r\n<0>\r\nLondon\r\n</0>\r\n</maps>\r\n</LANGUAGE>\r\n", ReadFile(out));
    EXPECT_TRUE(Temporaries().empty());
}

// The file system's renames, with those onto a tags file refused.
GxBool (*g_plainRename)(GxFileSystem*, const char*, const char*) = nullptr;
GxBool RenameRefusingTags(GxFileSystem* fs, const char* from, const char* to)
{
    const std::string target = to;
    const std::string tags = "_TAGS.xml";
    if (target.size() >= tags.size() && target.compare(target.size() - tags.size(), tags.size(), tags) == 0)
        return 0;
    return g_plainRename(fs, from, to);
}

// The data file is replaced first; when the tags file then cannot be, the old data comes back.
TEST_F(TagTreeFiles, AFailedSecondRenameOfASplitSavePutsTheOldDataBack)
{
    const std::string prefix = Path("language");
    const std::string data = prefix + "_DATA.txt";
    const std::string tags = prefix + "_TAGS.xml";
    WriteFile(data, "old data");
    WriteFile(tags, "old tags");
    CFerroxTagTree tree;
    LoadText(tree, "<A>\nnew\n</A>\n");
    GxFileSystem* fs = GxFileSystemManagerGetDefault();
    ASSERT_NE(nullptr, fs);
    g_plainRename = fs->ops.rename;
    fs->ops.rename = RenameRefusingTags;
    EXPECT_EQ(0, tree.SaveSplit(prefix.c_str()));
    EXPECT_EQ("old data", ReadFile(data));
    EXPECT_EQ("old tags", ReadFile(tags));
    // Without an old data file, the new one goes again.
    std::filesystem::remove(data);
    EXPECT_EQ(0, tree.SaveSplit(prefix.c_str()));
    EXPECT_FALSE(Exists(data));
    fs->ops.rename = g_plainRename;
    EXPECT_FALSE(Exists(data + ".old"));
    EXPECT_TRUE(Temporaries().empty());

    WriteFile(data, "old data");
    ASSERT_EQ(1, tree.SaveSplit(prefix.c_str()));
    EXPECT_EQ("new\t\r\n", ReadFile(data));
    EXPECT_EQ("<A>\r\n\r\n</A>\r\n", ReadFile(tags));
    EXPECT_FALSE(Exists(data + ".old"));
}

TEST_F(TagTreeFiles, SaveSplitWritesStructureAndFirstValues)
{
    std::string in = Path("lang.xml");
    WriteFile(in, "<LANGUAGE>\n<maps>\n<0>\nLondon\nLondres\n</0>\n<1>\n</1>\n</maps>\n</LANGUAGE>\n");
    CFerroxTagTree tree;
    ASSERT_EQ(1, tree.Load(in.c_str()));
    ASSERT_TRUE(tree.FindNode("<1>", 1));
    tree.GetValues()->clear();
    std::string prefix = Path("language");
    ASSERT_EQ(1, tree.SaveSplit(prefix.c_str()));
    EXPECT_EQ("<LANGUAGE>\r\n<maps>\r\n<0>\r\n\r\n</0>\r\n<1>\r\n\r\n</1>\r\n</maps>\r\n</LANGUAGE>\r\n",
              ReadFile(prefix + "_TAGS.xml"));
    EXPECT_EQ("London\t\r\n", ReadFile(prefix + "_DATA.txt"));
}

}  // namespace
