// Tests of the file-system manager, the file functions and the Win32 file system on real files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/core/filesys_testing.h"
#include "gfx/core/win32fs.h"
#include "gfx/testsupport/engine_gtest.h"
#include "gfx/testsupport/temp_dir.h"
#include "platform/testsupport/filefaults.h"
#include "platform/win32/windows.h"

namespace fs = std::filesystem;

namespace {

std::vector<GxInt32> reported;
void Record(GxInt32 code) { reported.push_back(code); }

std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A file system that only records what reaches it, for the manager's routing.
struct FakeCalls {
    std::string lastOpen;
    std::string lastExists;
};
FakeCalls fake;
GxFile fakeSlots[1];

GxFile* FakeGetFile(GxFileSystem*, GxInt32 index) { return index == 0 ? &fakeSlots[0] : nullptr; }
GxInt32 FakeOpen(GxFileSystem*, GxFile* file, const char* path, GxUInt32)
{
    fake.lastOpen = path;
    file->status = gxFILESTATUSREADY;
    return gxFILEOPENOK;
}
void FakeClose(GxFile* file) { file->status = gxFILESTATUSFREE; }
GxBool FakeExists(GxFileSystem*, const char* path)
{
    fake.lastExists = path;
    return 1;
}

GxFileSystem* MakeFake(const char* name, const char* device)
{
    auto* record = static_cast<GxFileSystem*>(GxMalloc(sizeof(GxFileSystem), 0x401BE));
    std::memset(record, 0, sizeof(*record));
    std::strcpy(record->name, name);
    record->deviceName = static_cast<char*>(GxMalloc(std::strlen(device) + 1, 0x401BE));
    std::strcpy(record->deviceName, device);
    record->numFiles = 1;
    record->getFile = FakeGetFile;
    record->ops.open = FakeOpen;
    record->ops.close = FakeClose;
    record->ops.exists = FakeExists;
    fakeSlots[0] = GxFile{};
    fakeSlots[0].status = gxFILESTATUSFREE;
    fakeSlots[0].fileSystem = record;
    return record;
}

class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GxTestEngineSetup setup = GxTestRecordingSetup();
        setup.start = false;
        engine.emplace(setup);
        GX_ASSERT_ENGINE_STARTED(*engine);
        ASSERT_TRUE(GxFileSystemManagerOpen(2));
        reported.clear();
        GxFileSystemManagerSetErrorCallBack(Record);
        dir = fs::temp_directory_path() /
              (std::string("filesys_test_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        ASSERT_TRUE(fs::create_directory(dir));
    }
    void TearDown() override
    {
        StandInDeferOverlappedIo(FALSE);
        GxFileSystemManagerClose();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
        EXPECT_TRUE(GxEngineTerm());
        engine.reset();
    }
    std::optional<GxTestEngine> engine;
    // Creates, registers and makes default the drive file system.
    GxFileSystem* MakeDrive(GxInt32 slots = 10)
    {
        GxFileSystem* drive = GxWin32FileSystemCreate(slots, "C:", "KFS");
        if (drive != nullptr && GxFileSystemRegister(drive))
            GxFileSystemManagerSetDefault(drive);
        return drive;
    }
    // The drive path of a file in the test folder, written with forward slashes.
    std::string Path(const std::string& name) const { return "C:" + (dir / name).generic_string(); }
    void Put(const std::string& name, const std::string& data) const
    {
        std::ofstream(dir / name, std::ios::binary) << data;
    }
    fs::path dir;
};

TEST_F(FileSystemTest, RegistrationRefusesDuplicatesAndExcess)
{
    GxFileSystem* drive = GxWin32FileSystemCreate(4, "C:", "KFS");
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(drive->state, 2);
    EXPECT_STREQ(drive->deviceName, "C:");
    ASSERT_TRUE(GxFileSystemRegister(drive));
    EXPECT_FALSE(GxFileSystemRegister(drive));
    // Same name or same device: no second file system.
    EXPECT_EQ(GxWin32FileSystemCreate(4, "D:", "KFS"), nullptr);
    EXPECT_EQ(GxWin32FileSystemCreate(4, "c:", "OTHER"), nullptr);
    EXPECT_EQ(GxFileSystemFind("KFS"), drive);
    EXPECT_EQ(GxFileSystemFindByDevice("c:"), drive);
    EXPECT_EQ(GxFileSystemFind("NONE"), nullptr);

    GxFileSystem* second = MakeFake("FAKE", "X:");
    ASSERT_TRUE(GxFileSystemRegister(second));
    // The manager was opened for two.
    reported.clear();
    EXPECT_EQ(GxWin32FileSystemCreate(4, "D:", "THIRD"), nullptr);
    EXPECT_EQ(reported, std::vector<GxInt32>{gxFSERRTOOMANY});
    EXPECT_EQ(GxFileSystemManagerGet()->numFileSystems, 2);

    EXPECT_TRUE(GxFileSystemManagerSetDefault(drive));
    GxFileSystemUnregister(drive);
    EXPECT_EQ(GxFileSystemManagerGetDefault(), nullptr);
    EXPECT_EQ(GxFileSystemFind("KFS"), nullptr);
    EXPECT_EQ(GxFileSystemManagerGet()->numFileSystems, 1);
    reported.clear();
    GxFileSystemUnregister(nullptr);
    EXPECT_EQ(reported, std::vector<GxInt32>{gxFSERRNOFILESYSTEM});
}

TEST_F(FileSystemTest, NamesLongerThanTheFieldAreRefused)
{
    EXPECT_EQ(GxWin32FileSystemCreate(4, "C:", "EIGHTCHR"), nullptr);
    EXPECT_EQ(GxWin32FileSystemCreate(4, "C:", ""), nullptr);
    GxFileSystem* seven = GxWin32FileSystemCreate(4, "C:", "SEVENCH");
    ASSERT_NE(seven, nullptr);
    EXPECT_STREQ(seven->name, "SEVENCH");
    // A record whose name fills the field with no NUL is refused too.
    std::memset(seven->name, 'A', sizeof(seven->name));
    EXPECT_FALSE(GxFileSystemRegister(seven));
    std::strcpy(seven->name, "SEVENCH");
    EXPECT_TRUE(GxFileSystemRegister(seven));
    // A default must be registered; it is freed when unregistered.
    GxFileSystem* loose = GxWin32FileSystemCreate(4, "D:", "LOOSE");
    ASSERT_NE(loose, nullptr);
    EXPECT_FALSE(GxFileSystemManagerSetDefault(loose));
    GxFileSystemRegister(loose);
}

TEST_F(FileSystemTest, PathsGoToTheDeviceOrTheDefault)
{
    reported.clear();
    EXPECT_EQ(GxFileOpen("data.xml", "r"), nullptr);
    EXPECT_EQ(reported, std::vector<GxInt32>{gxFSERRNOTFOUND});

    GxFileSystem* drive = MakeDrive();
    ASSERT_NE(drive, nullptr);
    GxFileSystem* other = MakeFake("FAKE", "X:");
    ASSERT_TRUE(GxFileSystemRegister(other));
    GxFile* file = GxFileOpen("x:\\models\\a.gxs", "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->fileSystem, other);
    EXPECT_EQ(fake.lastOpen, "x:\\models\\a.gxs");
    GxFileClose(file);
    EXPECT_TRUE(GxFileExists("X:thing"));
    EXPECT_EQ(fake.lastExists, "X:thing");
    // Devices are whole prefixes: "Y:X:" is no device of the fake, so the default answers.
    fake.lastExists.clear();
    EXPECT_FALSE(GxFileExists("Y:X:thing"));
    EXPECT_EQ(fake.lastExists, "");

    Put("data.xml", "<x>");
    EXPECT_TRUE(GxFileExists(Path("data.xml").c_str()));
    // An unknown device falls back to the default, which drops the prefix.
    EXPECT_TRUE(GxFileExists(("Q:" + (dir / "data.xml").generic_string()).c_str()));
    EXPECT_FALSE(GxFileExists(Path("nothing.xml").c_str()));

    GxFileSystemManagerSetDefault(nullptr);
    reported.clear();
    EXPECT_EQ(GxFileOpen(Path("data.xml").c_str() + 2, "r"), nullptr);
    EXPECT_EQ(reported, std::vector<GxInt32>{gxFSERRNOTFOUND});
}

TEST_F(FileSystemTest, FullPathsUseTheDeviceAndBackslashes)
{
    GxFileSystem* drive = MakeDrive();
    ASSERT_NE(drive, nullptr);
    char out[gxFILEMAXPATH + 1];
    ASSERT_TRUE(GxWin32FileSystemFullPath(drive, "C:/textures/a.txd", out, sizeof(out)));
    EXPECT_STREQ(out, "C:\\textures\\a.txd");
    ASSERT_TRUE(GxWin32FileSystemFullPath(drive, "X:models/b.gxs", out, sizeof(out)));
    EXPECT_STREQ(out, "C:models\\b.gxs");
    ASSERT_TRUE(GxWin32FileSystemFullPath(drive, "data.xml", out, sizeof(out)));
    EXPECT_STREQ(out, "C:data.xml");

    // 255 characters fit; one more is refused without touching past the buffer.
    std::string fits(gxFILEMAXPATH - 2, 'a');
    ASSERT_TRUE(GxWin32FileSystemFullPath(drive, fits.c_str(), out, sizeof(out)));
    EXPECT_EQ(std::strlen(out), static_cast<size_t>(gxFILEMAXPATH));
    std::string tooLong(gxFILEMAXPATH - 1, 'a');
    EXPECT_FALSE(GxWin32FileSystemFullPath(drive, tooLong.c_str(), out, sizeof(out)));
    EXPECT_FALSE(GxWin32FileSystemFullPath(drive, "abc", out, 3));
    GxFile slot = {};
    EXPECT_EQ(GxWin32FileOpen(drive, &slot, tooLong.c_str(), gxFILEMODEREAD), gxFILEOPENPATHTOOLONG);
    EXPECT_EQ(GxFileOpen(std::string(4000, 'b').c_str(), "wb"), nullptr);
    EXPECT_FALSE(GxFileExists(std::string(4000, 'b').c_str()));
    // The refused open gave its slot back.
    for (GxInt32 i = 0; i < drive->numFiles; i++)
        EXPECT_EQ(drive->getFile(drive, i)->status, gxFILESTATUSFREE);
}

TEST_F(FileSystemTest, SlotsRunOutWithTheNoSlotError)
{
    GxFileSystem* drive = MakeDrive(2);
    ASSERT_NE(drive, nullptr);
    Put("a.bin", "a");
    GxFile* first = GxFileOpen(Path("a.bin").c_str(), "rb");
    GxFile* second = GxFileOpen(Path("a.bin").c_str(), "rb");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    reported.clear();
    EXPECT_EQ(GxFileOpen(Path("a.bin").c_str(), "rb"), nullptr);
    EXPECT_EQ(GxFileSystemManagerGet()->lastError, 8u);
    EXPECT_EQ(reported, std::vector<GxInt32>{gxFSERRNOSLOT});
    EXPECT_EQ(GxFileClose(first), 0);
    GxFile* again = GxFileOpen(Path("a.bin").c_str(), "rb");
    EXPECT_EQ(again, first);
    char byte = 0;
    EXPECT_EQ(GxFileRead(&byte, 1, 1, second), 1u);
    EXPECT_EQ(byte, 'a');
    GxFileClose(again);
    GxFileClose(second);
    // A missing file fails and keeps its slot free.
    EXPECT_EQ(GxFileOpen(Path("none.bin").c_str(), "rb"), nullptr);
    EXPECT_EQ(GxFileSystemManagerGet()->lastError, static_cast<GxUInt32>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(drive->files[0].status, gxFILESTATUSFREE);
    EXPECT_EQ(drive->files[1].status, gxFILESTATUSFREE);
}

TEST_F(FileSystemTest, ReadWriteSeekTellAndEof)
{
    ASSERT_NE(MakeDrive(), nullptr);
    EXPECT_EQ(GxFileOpen(Path("new.bin").c_str(), "rb"), nullptr);
    GxFile* file = GxFileOpen(Path("new.bin").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(GxFileEof(file));
    const GxInt32 values[3] = {7, -1, 1000};
    EXPECT_EQ(GxFileWrite(values, sizeof(GxInt32), 3, file), 3u);
    EXPECT_EQ(GxFileTell(file), 12);
    EXPECT_EQ(GxFilePuts("", file), 0);
    EXPECT_EQ(GxFilePuts("end", file), 3);
    GxFileClose(file);
    EXPECT_EQ(fs::file_size(dir / "new.bin"), 15u);

    file = GxFileOpen(Path("NEW.BIN").c_str(), "rb");  // the name is matched without case
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(GxFileEof(file));
    GxInt32 read[3] = {};
    EXPECT_EQ(GxFileRead(read, sizeof(GxInt32), 3, file), 3u);
    EXPECT_EQ(read[2], 1000);
    EXPECT_EQ(GxFileSeek(file, -8, 1), 0);
    EXPECT_EQ(GxFileTell(file), 4);
    EXPECT_EQ(GxFileRead(read, sizeof(GxInt32), 1, file), 1u);
    EXPECT_EQ(read[0], -1);
    EXPECT_EQ(GxFileSeek(file, -3, 2), 0);
    EXPECT_EQ(GxFileTell(file), 12);
    // Items count whole: 3 bytes left give no 4-byte item.
    EXPECT_EQ(GxFileRead(read, sizeof(GxInt32), 1, file), 0u);
    EXPECT_TRUE(GxFileEof(file));
    EXPECT_EQ(GxFileSeek(file, 0, 0), 0);
    EXPECT_FALSE(GxFileEof(file));
    // A bad origin fails and keeps the position; a move before the start fails and leaves the file ended.
    EXPECT_EQ(GxFileSeek(file, 0, 3), -1);
    EXPECT_EQ(GxFileTell(file), 0);
    EXPECT_EQ(GxFileSeek(file, -5, 1), -1);
    EXPECT_EQ(GxFileTell(file), -1);
    EXPECT_TRUE(GxFileEof(file));
    EXPECT_EQ(GxFileSeek(file, 0, 0), 0);
    EXPECT_EQ(GxFileWrite("x", 1, 1, file), 0u);  // opened for reading only
    GxFileClose(file);
}

// A write that failed is reported again by the close, and a whole-file write replaces the old
// file only when every byte arrived, leaving no temporary behind either way.
TEST_F(FileSystemTest, FailedWritesReachTheCloseAndReplacingKeepsTheOldFile)
{
    ASSERT_NE(MakeDrive(), nullptr);
    GxFile* file = GxFileOpen(Path("lost.bin").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    StandInFailWritesAfter(0);
    EXPECT_EQ(GxFileWrite("abc", 1, 3, file), 0u);
    StandInFailWritesAfter(-1);
    EXPECT_EQ(GxFileClose(file), -1);
    file = GxFileOpen(Path("kept.bin").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(GxFileWrite("abc", 1, 3, file), 3u);
    EXPECT_EQ(GxFileClose(file), 0);

    Put("target.bin", "old");
    const std::string target = Path("target.bin");
    StandInFailWritesAfter(0);
    EXPECT_FALSE(GxFileWriteReplacing(target.c_str(), "new contents", 12));
    StandInFailWritesAfter(-1);
    EXPECT_EQ(fs::file_size(dir / "target.bin"), 3u);
    EXPECT_TRUE(GxTestTemporariesIn(dir).empty());
    EXPECT_TRUE(GxFileWriteReplacing(target.c_str(), "new contents", 12));
    EXPECT_EQ(fs::file_size(dir / "target.bin"), 12u);
    EXPECT_TRUE(GxTestTemporariesIn(dir).empty());
    EXPECT_FALSE(GxFileWriteReplacing(Path("no_such_folder/x.bin").c_str(), "x", 1));
    EXPECT_TRUE(GxFileRename(target.c_str(), Path("moved.bin").c_str()));
    EXPECT_TRUE(fs::exists(dir / "moved.bin"));
    EXPECT_TRUE(GxFileRemove(Path("moved.bin").c_str()));
    EXPECT_FALSE(GxFileRemove(Path("moved.bin").c_str()));
}

// A temporary replaces its target only when it was written whole and closed; every other way it goes, and the
// target keeps its bytes: not written, a close that could not flush, a rename that failed.
TEST_F(FileSystemTest, ATemporaryReplacesItsTargetOnlyWhenWrittenAndClosed)
{
    ASSERT_NE(MakeDrive(), nullptr);
    Put("target.bin", "old");
    const std::string target = Path("target.bin");
    char temporary[gxFILEMAXPATH + 1];
    auto open = [&](const char* bytes) {
        GxFile* file = GxFileOpenTemporary(target.c_str(), temporary, sizeof(temporary));
        EXPECT_NE(file, nullptr);
        if (file != nullptr)
            GxFileWrite(bytes, 1, std::strlen(bytes), file);
        return file;
    };

    EXPECT_FALSE(GxFileCommitTemporary(open("unwanted"), temporary, target.c_str(), 0));
    EXPECT_EQ(Slurp(dir / "target.bin"), "old");
    EXPECT_TRUE(GxTestTemporariesIn(dir).empty());

    GxFile* unflushed = GxFileOpenTemporary(target.c_str(), temporary, sizeof(temporary));
    ASSERT_NE(unflushed, nullptr);
    StandInFailWritesAfter(0);
    GxFileWrite("lost", 1, 4, unflushed);
    EXPECT_FALSE(GxFileCommitTemporary(unflushed, temporary, target.c_str(), 1));
    StandInFailWritesAfter(-1);
    EXPECT_EQ(Slurp(dir / "target.bin"), "old");
    EXPECT_TRUE(GxTestTemporariesIn(dir).empty());

    EXPECT_FALSE(GxFileCommitTemporary(open("astray"), temporary, Path("no_such_folder/t.bin").c_str(), 1));
    EXPECT_TRUE(GxTestTemporariesIn(dir).empty());

    GxFile* first = open("first");
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(GxFileCloseTemporary(first, temporary, 1));
    EXPECT_EQ(Slurp(dir / "target.bin"), "old");
    EXPECT_TRUE(GxFileRenameTemporary(temporary, target.c_str()));
    EXPECT_EQ(Slurp(dir / "target.bin"), "first");
    EXPECT_TRUE(GxFileCommitTemporary(open("new"), temporary, target.c_str(), 1));
    EXPECT_EQ(Slurp(dir / "target.bin"), "new");
    EXPECT_TRUE(GxTestTemporariesIn(dir).empty());
    EXPECT_FALSE(GxFileCommitTemporary(nullptr, temporary, target.c_str(), 1));
}

// A temporary is a new file under a name of its own each time, made exclusively: no existing name is opened so,
// a link among them. Nothing is written through a link, while reads still follow one.
TEST_F(FileSystemTest, TemporariesAreNewFilesAndNoWriteFollowsALink)
{
    ASSERT_NE(MakeDrive(), nullptr);
    char first[gxFILEMAXPATH + 1];
    char second[gxFILEMAXPATH + 1];
    GxFile* a = GxFileOpenTemporary(Path("save.fds").c_str(), first, sizeof(first));
    GxFile* b = GxFileOpenTemporary(Path("save.fds").c_str(), second, sizeof(second));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_STRNE(first, second);
    EXPECT_EQ(GxFileTemporaryTargetLength(fs::path(first).filename().string().c_str()), std::strlen("save.fds"));
    GxFileClose(a);
    GxFileClose(b);
    EXPECT_EQ(GxTestTemporariesIn(dir, "save.fds").size(), 2u);
    EXPECT_EQ(GxFileOpen(first, "wx"), nullptr);
    EXPECT_EQ(GxFileSystemManagerGet()->lastError, static_cast<GxUInt32>(ERROR_FILE_EXISTS));

    Put("target.txt", "precious");
    fs::create_symlink(dir / "target.txt", dir / "link.txt");
    for (const char* mode : {"w", "wx", "wb", "a", "r+"})
        EXPECT_EQ(GxFileOpen(Path("link.txt").c_str(), mode), nullptr) << mode;
    EXPECT_EQ(Slurp(dir / "target.txt"), "precious");
    GxFile* read = GxFileOpen(Path("link.txt").c_str(), "r");
    EXPECT_NE(read, nullptr);
    GxFileClose(read);

    for (const char* other : {"save.fds.tmp", ".0123456789abcdef.tmp", "x.0123456789abcde.tmp",
                              "x.0123456789abcdeg.tmp", "x.0123456789abcdef.tm", "x_0123456789abcdef.tmp"})
        EXPECT_EQ(GxFileTemporaryTargetLength(other), 0u) << other;
    EXPECT_EQ(GxFileOpenTemporary(Path(std::string(gxFILEMAXPATH, 'n')).c_str(), first, sizeof(first)), nullptr);
    EXPECT_EQ(GxFileOpenTemporary(Path("no_such_folder/x").c_str(), first, sizeof(first)), nullptr);
}

TEST_F(FileSystemTest, ModesTruncateKeepAndAppend)
{
    ASSERT_NE(MakeDrive(), nullptr);
    Put("log.txt", "one\n");
    GxFile* file = GxFileOpen(Path("log.txt").c_str(), "ab");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(GxFileTell(file), 4);
    GxFilePuts("two\n", file);
    // Appending writes at the end even after a seek.
    GxFileSeek(file, 0, 0);
    GxFilePuts("three\n", file);
    GxFileClose(file);
    EXPECT_EQ(Slurp(dir / "log.txt"), "one\ntwo\nthree\n");

    file = GxFileOpen(Path("fresh.txt").c_str(), "a");
    ASSERT_NE(file, nullptr);
    GxFilePuts("x", file);
    GxFileClose(file);
    EXPECT_EQ(Slurp(dir / "fresh.txt"), "x");

    file = GxFileOpen(Path("log.txt").c_str(), "r+");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(GxFileTell(file), 0);
    GxFilePuts("ONE", file);
    char buffer[8] = {};
    EXPECT_EQ(GxFileRead(buffer, 1, 4, file), 4u);
    EXPECT_STREQ(buffer, "\ntwo");
    GxFileSeek(file, 0, 2);
    GxFilePuts("four", file);
    // Written data moves the end, so the end test follows it.
    EXPECT_TRUE(GxFileEof(file));
    GxFileSeek(file, -2, 1);
    EXPECT_FALSE(GxFileEof(file));
    GxFileClose(file);
    EXPECT_EQ(Slurp(dir / "log.txt"), "ONE\ntwo\nthree\nfour");

    file = GxFileOpen(Path("log.txt").c_str(), "w");
    ASSERT_NE(file, nullptr);
    GxFileClose(file);
    EXPECT_EQ(fs::file_size(dir / "log.txt"), 0u);
}

TEST_F(FileSystemTest, GetsSplitsLinesAndDropsCrBeforeLf)
{
    ASSERT_NE(MakeDrive(), nullptr);
    Put("lines.txt", "ab\r\ncd");
    GxFile* file = GxFileOpen(Path("lines.txt").c_str(), "r");
    ASSERT_NE(file, nullptr);
    char buffer[10];
    ASSERT_EQ(GxFileGets(buffer, 10, file), buffer);
    EXPECT_STREQ(buffer, "ab\n");
    EXPECT_EQ(GxFileTell(file), 4);
    ASSERT_EQ(GxFileGets(buffer, 10, file), buffer);
    EXPECT_STREQ(buffer, "cd");
    EXPECT_TRUE(GxFileEof(file));
    std::strcpy(buffer, "kept");
    EXPECT_EQ(GxFileGets(buffer, 10, file), nullptr);
    EXPECT_STREQ(buffer, "kept");
    GxFileClose(file);

    Put("mixed.txt", "\n\nx\ry\n");
    file = GxFileOpen(Path("mixed.txt").c_str(), "r");
    std::vector<std::string> lines;
    while (GxFileGets(buffer, 10, file) != nullptr)
        lines.push_back(buffer);
    EXPECT_EQ(lines, (std::vector<std::string>{"\n", "\n", "x\ry\n"}));
    GxFileClose(file);
}

TEST_F(FileSystemTest, GetsNeverOverrunsSmallBuffers)
{
    ASSERT_NE(MakeDrive(), nullptr);
    Put("long.txt", "abcdefgh\nxy\r\nz");
    GxFile* file = GxFileOpen(Path("long.txt").c_str(), "r");
    ASSERT_NE(file, nullptr);
    // A canary after the part handed to GxFileGets.
    char buffer[8];
    std::memset(buffer, '#', sizeof(buffer));
    std::vector<std::string> pieces;
    while (GxFileGets(buffer, 4, file) != nullptr) {
        pieces.push_back(buffer);
        EXPECT_EQ(buffer[4], '#');
    }
    // Long lines come in pieces; a CR is dropped only before an LF among the bytes read, so one that ends a piece
    // stays in it and its LF comes alone.
    EXPECT_EQ(pieces, (std::vector<std::string>{"abc", "def", "gh\n", "xy\r", "\n", "z"}));
    EXPECT_TRUE(GxFileEof(file));

    GxFileSeek(file, 0, 0);
    std::strcpy(buffer, "same");
    EXPECT_EQ(GxFileGets(buffer, 1, file), nullptr);
    EXPECT_EQ(GxFileGets(buffer, 0, file), nullptr);
    EXPECT_EQ(GxFileGets(buffer, -5, file), nullptr);
    EXPECT_STREQ(buffer, "same");
    EXPECT_EQ(GxFileTell(file), 0);
    // Two bytes hold one character: the CR of a CR LF comes alone, then the LF.
    Put("cr.txt", "\r\n");
    GxFile* cr = GxFileOpen(Path("cr.txt").c_str(), "r");
    ASSERT_EQ(GxFileGets(buffer, 2, cr), buffer);
    EXPECT_STREQ(buffer, "\r");
    ASSERT_EQ(GxFileGets(buffer, 2, cr), buffer);
    EXPECT_STREQ(buffer, "\n");
    EXPECT_EQ(GxFileGets(buffer, 2, cr), nullptr);
    GxFileClose(cr);
    GxFileClose(file);
}

struct Completion {
    int calls = 0;
    GxUInt32 value = 0;
    GxInt32 status = 0;
    GxInt32 operation = 0;
};

void OnComplete(GxFile*, GxUInt32 value, GxInt32 status, GxInt32 operation, void* data)
{
    auto* completion = static_cast<Completion*>(data);
    completion->calls++;
    completion->value = value;
    completion->status = status;
    completion->operation = operation;
}

TEST_F(FileSystemTest, OverlappedReadsCompleteAtOnceOrThroughSync)
{
    GxFileSystem* drive = MakeDrive();
    ASSERT_NE(drive, nullptr);
    drive->async = 1;
    Put("async.bin", "0123456789");
    GxFile* file = GxFileOpen(Path("async.bin").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->async);
    EXPECT_EQ(file->status, gxFILESTATUSREADY);
    Completion done;
    file->callback = OnComplete;
    file->callbackData = &done;
    file->operation = gxFILEOPREAD;

    char buffer[8] = {};
    EXPECT_EQ(GxFileRead(buffer, 1, 4, file), 4u);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(GxFileTell(file), 4);
    EXPECT_EQ(done.calls, 1);
    EXPECT_EQ(done.value, 4u);
    EXPECT_EQ(done.operation, gxFILEOPREAD);

    StandInDeferOverlappedIo(TRUE);
    EXPECT_EQ(GxFileRead(buffer, 1, 3, file), 0u);
    EXPECT_EQ(file->status, gxFILESTATUSBUSY);
    EXPECT_EQ(GxWin32FileSync(file, 0), gxFILESTATUSBUSY);
    EXPECT_EQ(GxWin32FileWait(file), gxFILESTATUSBUSY);
    EXPECT_EQ(GxFileSystemManagerGet()->lastError, static_cast<GxUInt32>(ERROR_IO_INCOMPLETE));
    EXPECT_EQ(StandInCompletePendingIo(), 1);
    EXPECT_EQ(GxWin32FileSync(file, 0), gxFILESTATUSREADY);
    EXPECT_EQ(file->bytes, 3u);
    EXPECT_EQ(std::string(buffer, 3), "456");
    EXPECT_EQ(GxFileTell(file), 7);
    EXPECT_EQ(done.calls, 2);
    EXPECT_EQ(done.value, 3u);

    // A waiting sync completes by itself.
    EXPECT_EQ(GxFileRead(buffer, 1, 2, file), 0u);
    EXPECT_EQ(GxWin32FileSync(file, 1), gxFILESTATUSREADY);
    EXPECT_EQ(std::string(buffer, 2), "78");

    // A seek on an asynchronous file completes at once and reports the position.
    file->operation = gxFILEOPNONE;
    EXPECT_EQ(GxFileSeek(file, 8, 0), 0);
    EXPECT_EQ(file->status, gxFILESTATUSREADY);
    EXPECT_EQ(done.operation, gxFILEOPSEEK);
    EXPECT_EQ(done.value, 8u);

    // A direct short read marks the slot failed, and the end is reached.
    StandInDeferOverlappedIo(FALSE);
    EXPECT_EQ(GxFileRead(buffer, 1, 5, file), 2u);
    EXPECT_EQ(file->status, gxFILESTATUSFAILED);
    EXPECT_TRUE(GxFileEof(file));
    EXPECT_EQ(GxFileRead(buffer, 1, 1, file), 0u);
    GxFileClose(file);
    EXPECT_EQ(file->event, nullptr);
}

TEST_F(FileSystemTest, OverlappedWritesCompleteThroughSyncAndAReleasedSlotLetsItsFileGo)
{
    GxFileSystem* drive = MakeDrive();
    ASSERT_NE(drive, nullptr);
    drive->async = 1;
    GxFile* file = GxFileOpen(Path("async_out.bin").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    StandInDeferOverlappedIo(TRUE);
    EXPECT_EQ(GxFileWrite("abcd", 1, 4, file), 0u);
    EXPECT_EQ(file->status, gxFILESTATUSBUSY);
    EXPECT_EQ(StandInCompletePendingIo(), 1);
    // A pending write completes through the sync as a read does.
    EXPECT_EQ(GxWin32FileSync(file, 0), gxFILESTATUSREADY);
    EXPECT_EQ(file->bytes, 4u);
    EXPECT_EQ(GxFileTell(file), 4);
    StandInDeferOverlappedIo(FALSE);

    // Releasing the slot closes its file: nothing stays open or locked.
    GxWin32FileRelease(file);
    EXPECT_EQ(file->status, gxFILESTATUSFREE);
    EXPECT_EQ(file->handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(file->event, nullptr);
    GxFile* again = GxFileOpen(Path("async_out.bin").c_str(), "rb");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->sizeLow, 4u);
    GxFileClose(again);
}

TEST_F(FileSystemTest, ClosingTheManagerClosesOpenFiles)
{
    ASSERT_NE(MakeDrive(), nullptr);
    Put("open.bin", "x");
    ASSERT_NE(GxFileOpen(Path("open.bin").c_str(), "rb"), nullptr);
    // TearDown closes the manager with the file still open; the sanitizers see no leak.
}

}  // namespace
