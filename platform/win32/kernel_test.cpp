// Tests of the kernel stand-in: path mapping, files, overlapped transfers, errors, locks, timers, debug output.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/testsupport/debugoutput.h"
#include "platform/testsupport/filefaults.h"
#include "platform/win32/kernel_local.h"
#include "platform/win32/windows.h"

namespace {

// Whether an event is set: the program never waits on one, so its state is read from the kernel's record.
bool Signalled(HANDLE event)
{
    KernelObject* object = KernelAcquire(event, KernelType::Event);
    if (object == nullptr)
        return false;
    bool set = false;
    {
        std::lock_guard<std::mutex> lock(KernelLock());
        set = static_cast<EventObject*>(object)->signalled;
    }
    KernelRelease(object);
    return set;
}

std::string WinPath(const std::string& native)
{
    std::string out = "C:";
    for (char c : native)
        out += c == '/' ? '\\' : c;
    return out;
}

std::string Mapped(const std::string& path)
{
    char out[4096];
    if (!StandInMapPath(path.c_str(), out, sizeof(out)))
        return "<fail " + std::to_string(GetLastError()) + ">";
    return out;
}

std::string ReadAll(const std::string& native)
{
    std::ifstream in(native, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class KernelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kernel_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        StandInDeferOverlappedIo(FALSE);
        StandInFailWritesAfter(-1);
        std::filesystem::remove_all(dir);
    }
    void Write(const std::string& name, const std::string& data)
    {
        std::ofstream(dir + "/" + name, std::ios::binary) << data;
    }
    HANDLE Open(const std::string& name, DWORD access, DWORD disposition, DWORD flags = FILE_ATTRIBUTE_NORMAL)
    {
        return CreateFileA(WinPath(dir + "/" + name).c_str(), access, 0, nullptr, disposition, flags, nullptr);
    }
    std::string dir;
};

TEST_F(KernelTest, PathsMapDriveSeparatorsAndRelativeNames)
{
    EXPECT_EQ(Mapped("C:\\tmp"), "/tmp");
    EXPECT_EQ(Mapped("c:/tmp//"), "/tmp");
    EXPECT_EQ(Mapped("C:\\"), "/");
    EXPECT_EQ(Mapped("\\tmp\\x"), "/tmp/x");
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    std::string base = std::string(cwd) == "/" ? "" : cwd;
    EXPECT_EQ(Mapped("sub\\file.txt"), base + "/sub/file.txt");
    EXPECT_EQ(Mapped("C:sub/file.txt"), base + "/sub/file.txt");
    // Only the one drive exists; bad arguments fail cleanly.
    EXPECT_EQ(Mapped("D:\\tmp"), "<fail 3>");
    EXPECT_EQ(Mapped(""), "<fail 3>");
    char small[4];
    EXPECT_FALSE(StandInMapPath("C:\\tmp\\longer", small, sizeof(small)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_FALSE(StandInMapPath(nullptr, small, sizeof(small)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(KernelTest, NamesNotFoundAsWrittenAreMatchedWithoutCase)
{
    ASSERT_EQ(mkdir((dir + "/Data").c_str(), 0777), 0);
    ASSERT_EQ(mkdir((dir + "/Data/Textures").c_str(), 0777), 0);
    Write("Data/Textures/Wall.TXD", "x");
    EXPECT_EQ(Mapped(WinPath(dir) + "\\data\\TEXTURES\\wall.txd"), dir + "/Data/Textures/Wall.TXD");
    // The part that matches nothing is kept as written, so new files land in the matched folder.
    EXPECT_EQ(Mapped(WinPath(dir) + "\\DATA\\New.txt"), dir + "/Data/New.txt");
    EXPECT_EQ(Mapped(WinPath(dir) + "\\nothing\\here"), dir + "/nothing/here");
    HANDLE h = CreateFileA((WinPath(dir) + "\\data\\textures\\WALL.txd").c_str(), GENERIC_READ, FILE_SHARE_READ,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_READONLY, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(h, nullptr), 1u);
    EXPECT_TRUE(CloseHandle(h));
}

TEST_F(KernelTest, GetcwdGivesTheDriveForm)
{
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    std::string expected = std::string(cwd) == "/" ? "C:\\" : WinPath(cwd);
    char* allocated = _getcwd(nullptr, 260);
    ASSERT_NE(allocated, nullptr);
    EXPECT_EQ(std::string(allocated), expected);
    std::free(allocated);
    char buffer[4096];
    EXPECT_EQ(_getcwd(buffer, sizeof(buffer)), buffer);
    EXPECT_EQ(std::string(buffer), expected);
    char tiny[2];
    EXPECT_EQ(_getcwd(tiny, sizeof(tiny)), nullptr);
    EXPECT_EQ(errno, ERANGE);
}

TEST_F(KernelTest, OpenErrorsMapToWin32Codes)
{
    EXPECT_EQ(Open("missing.bin", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Open("nodir/missing.bin", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    ASSERT_EQ(mkdir((dir + "/folder").c_str(), 0777), 0);
    EXPECT_EQ(Open("folder", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    // A device named as a file would be read without end, and a pipe would hold the open: neither opens.
    EXPECT_EQ(CreateFileA("/dev/zero", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0666), 0);
    EXPECT_EQ(Open("pipe", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Open("pipe", GENERIC_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open("x", GENERIC_READ, 99), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    Write("old.bin", "abc");
    EXPECT_EQ(Open("old.bin", GENERIC_READ, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    HANDLE h = Open("old.bin", GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

TEST_F(KernelTest, ReadWriteSeekAndAttributes)
{
    HANDLE h = Open("data.bin", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(h, "0123456789", 10, &done, nullptr));
    EXPECT_EQ(done, 10u);
    EXPECT_EQ(GetFileSize(h, nullptr), 10u);
    EXPECT_EQ(SetFilePointer(h, 2, nullptr, FILE_BEGIN), 2u);
    EXPECT_EQ(SetFilePointer(h, 3, nullptr, FILE_CURRENT), 5u);
    char buffer[16] = {};
    ASSERT_TRUE(ReadFile(h, buffer, 3, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "567");
    EXPECT_EQ(SetFilePointer(h, -2, nullptr, FILE_END), 8u);
    // A move before the start fails and leaves the pointer where it was.
    EXPECT_EQ(SetFilePointer(h, -100, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 8u);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
    LONG high = 0;
    EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_END), 10u);
    EXPECT_EQ(high, 0);
    // Reading at the end of a synchronous handle succeeds with nothing.
    ASSERT_TRUE(ReadFile(h, buffer, 4, &done, nullptr));
    EXPECT_EQ(done, 0u);
    EXPECT_TRUE(CloseHandle(h));

    h = Open("data.bin", GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_READONLY);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFile(h, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(ReadFile(h, buffer, 1, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(ReadFile(h, buffer, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    EXPECT_EQ(GetFileAttributesA(WinPath(dir + "/data.bin").c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA(WinPath(dir).c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesA(WinPath(dir + "/none").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA(WinPath(dir + "/no/none").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(KernelTest, OpenAlwaysKeepsContents)
{
    Write("keep.txt", "hello");
    HANDLE h = Open("keep.txt", GENERIC_WRITE, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(GetFileSize(h, nullptr), 5u);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(h, "J", 1, &done, nullptr));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(ReadAll(dir + "/keep.txt"), "Jello");
}

TEST_F(KernelTest, InjectedWriteFailuresStartAfterTheGivenCount)
{
    HANDLE h = Open("full.txt", GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    StandInFailWritesAfter(1);
    DWORD done = 0;
    EXPECT_TRUE(WriteFile(h, "ab", 2, &done, nullptr));
    EXPECT_FALSE(WriteFile(h, "cd", 2, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(done, 0u);
    EXPECT_FALSE(WriteFile(h, "ef", 2, &done, nullptr));
    StandInFailWritesAfter(-1);
    EXPECT_TRUE(WriteFile(h, "gh", 2, &done, nullptr));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(ReadAll(dir + "/full.txt"), "abgh");
}

TEST_F(KernelTest, MoveFileReplacesOnlyWhenAsked)
{
    Write("new.txt", "new");
    Write("old.txt", "old");
    const std::string from = WinPath(dir + "/new.txt");
    const std::string to = WinPath(dir + "/old.txt");
    EXPECT_FALSE(MoveFileExA(from.c_str(), to.c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(ReadAll(dir + "/old.txt"), "new");
    EXPECT_FALSE(std::filesystem::exists(dir + "/new.txt"));
    EXPECT_FALSE(MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING));
}

TEST_F(KernelTest, OverlappedReadsCompleteAtOnceWithTheirEvent)
{
    Write("big.bin", "abcdefghij");
    HANDLE h = Open("big.bin", GENERIC_READ, OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    OVERLAPPED ov = {};
    ov.Offset = 4;
    ov.hEvent = event;
    char buffer[8] = {};
    DWORD done = 0;
    ASSERT_TRUE(ReadFile(h, buffer, 3, &done, &ov));
    EXPECT_EQ(done, 3u);
    EXPECT_EQ(std::string(buffer, 3), "efg");
    EXPECT_TRUE(Signalled(event));
    DWORD transferred = 0;
    EXPECT_TRUE(GetOverlappedResult(h, &ov, &transferred, FALSE));
    EXPECT_EQ(transferred, 3u);
    // Past the end an overlapped read reports the end of the file.
    ov = {};
    ov.Offset = 10;
    ov.hEvent = event;
    EXPECT_FALSE(ReadFile(h, buffer, 3, &done, &ov));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HANDLE_EOF));
    EXPECT_FALSE(GetOverlappedResult(h, &ov, &transferred, TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HANDLE_EOF));
    // An overlapped handle has no position to read from.
    EXPECT_FALSE(ReadFile(h, buffer, 3, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_TRUE(CloseHandle(h));
}

TEST_F(KernelTest, DeferredOverlappedReadsStayPendingUntilCompleted)
{
    Write("slow.bin", "0123456789");
    HANDLE h = Open("slow.bin", GENERIC_READ, OPEN_EXISTING, FILE_FLAG_OVERLAPPED);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    StandInDeferOverlappedIo(TRUE);
    OVERLAPPED ov = {};
    ov.Offset = 6;
    ov.hEvent = event;
    char buffer[4] = {};
    DWORD done = 99;
    EXPECT_FALSE(ReadFile(h, buffer, 4, &done, &ov));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_EQ(done, 0u);
    // Starting the transfer resets the event.
    EXPECT_FALSE(Signalled(event));
    DWORD transferred = 0;
    EXPECT_FALSE(GetOverlappedResult(h, &ov, &transferred, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    EXPECT_EQ(StandInCompletePendingIo(), 1);
    EXPECT_TRUE(Signalled(event));
    EXPECT_TRUE(GetOverlappedResult(h, &ov, &transferred, FALSE));
    EXPECT_EQ(transferred, 4u);
    EXPECT_EQ(std::string(buffer, 4), "6789");

    // A waiting GetOverlappedResult completes the transfer itself.
    ov = {};
    ov.hEvent = event;
    EXPECT_FALSE(ReadFile(h, buffer, 2, &done, &ov));
    EXPECT_TRUE(GetOverlappedResult(h, &ov, &transferred, TRUE));
    EXPECT_EQ(std::string(buffer, 2), "01");

    // Closing the file aborts what is still pending.
    ov = {};
    ov.hEvent = event;
    EXPECT_FALSE(ReadFile(h, buffer, 2, &done, &ov));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(ov.Internal, static_cast<ULONG_PTR>(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(StandInCompletePendingIo(), 0);
    EXPECT_TRUE(CloseHandle(event));
}

TEST(KernelSync, CriticalSectionsAreRecursiveAndExclusive)
{
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EXPECT_EQ(cs.RecursionCount, 2);
    // Leaving from a thread that does not own it changes nothing.
    std::thread([&] { LeaveCriticalSection(&cs); }).join();
    EXPECT_EQ(cs.RecursionCount, 2);
    LeaveCriticalSection(&cs);
    EXPECT_EQ(cs.RecursionCount, 1);
    LeaveCriticalSection(&cs);
    EXPECT_EQ(cs.RecursionCount, 0);
    // A counter bumped under the section from several threads loses nothing.
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++) {
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; i++) {
                EnterCriticalSection(&cs);
                EnterCriticalSection(&cs);
                counter++;
                LeaveCriticalSection(&cs);
                LeaveCriticalSection(&cs);
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(counter, 4000);
    DeleteCriticalSection(&cs);
    // A deleted section is inert rather than a crash.
    EnterCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    EXPECT_EQ(cs.RecursionCount, 0);
}

TEST(KernelTime, CountersAdvanceWithTheSteadyClock)
{
    LARGE_INTEGER frequency;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 1000000000);
    LARGE_INTEGER before, after;
    ASSERT_TRUE(QueryPerformanceCounter(&before));
    DWORD ticks = GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(QueryPerformanceCounter(&after));
    EXPECT_GE(after.QuadPart - before.QuadPart, 19000000);
    EXPECT_GE(GetTickCount() - ticks, 19u);
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
}

std::vector<std::string> captured;
void Capture(const char* text) { captured.push_back(text); }

TEST(KernelDebug, DebugOutputCanBeSilencedAndCaptured)
{
    StandInSetDebugOutputHook(Capture);
    StandInSetDebugOutput(FALSE);
    testing::internal::CaptureStderr();
    OutputDebugStringA("quiet\n");
    OutputDebugStringA(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    StandInSetDebugOutput(TRUE);
    testing::internal::CaptureStderr();
    OutputDebugStringA("loud\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "loud\n");
    StandInSetDebugOutputHook(nullptr);
    EXPECT_EQ(captured, (std::vector<std::string>{"quiet\n", "loud\n"}));
}

TEST(KernelCrt, CaseFoldingHelpers)
{
    EXPECT_EQ(_stricmp("C:", "c:"), 0);
    EXPECT_LT(_stricmp("abc", "ABD"), 0);
    EXPECT_GT(_stricmp("abcd", "ABC"), 0);
    EXPECT_EQ(_strnicmp("Data.XML", "data.xmlx", 8), 0);
    char text[] = "MiXed 1";
    EXPECT_STREQ(_strupr(text), "MIXED 1");
    EXPECT_STREQ(_strlwr(text), "mixed 1");
    EXPECT_EQ(_strupr(nullptr), nullptr);
}

}  // namespace
