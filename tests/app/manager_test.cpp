// End to end through Wine's TWAIN manager: the source installed as the manager expects it, and
// the command-line application listing and selecting it.
#include "dstest.h"

namespace {

// Runs a program of build/bin with its output in a file; returns the exit code (-1: no start).
int RunTool(const std::string &commandLine, std::string *output) {
    const std::string outPath = WindowsDir() + "\\manager_test.out";
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = out;
    si.hStdInput = nullptr;
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine;
    BOOL started = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(out);
    if (!started) return -1;
    DWORD code = 999;
    if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 998);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    *output = ReadFileText(outPath);
    DeleteFileA(outPath.c_str());
    return static_cast<int>(code);
}

TEST(Manager, ApplicationListsAndSelectsTheSource) {
    std::string out;
    ASSERT_EQ(RunTool("twacq.exe --list", &out), 0) << out;
    EXPECT_NE(out.find("\"JEX Virtual Scanner\" family \"JEX Scanners\" by \"Quilmet Systems, Inc.\" version 1.78 "
                       "(1.78) protocol 1.8 groups 0x3"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("selected: \"JEX Virtual Scanner\""), std::string::npos) << out;
    // Opened through the manager over the virtual scanner, asked, and closed.
    EXPECT_NE(out.find("opened: Id="), std::string::npos) << out;
    EXPECT_NE(out.find("capabilities: 40: 0x8100 0x1007"), std::string::npos) << out;
    EXPECT_NE(out.find("closed: rc 0"), std::string::npos) << out;
}

TEST(Manager, UnknownSourceNameFails) {
    std::string out;
    EXPECT_EQ(RunTool("twacq.exe --source \"No Such Scanner\"", &out), 2) << out;
    EXPECT_NE(out.find("no source named"), std::string::npos) << out;
}

}  // namespace
