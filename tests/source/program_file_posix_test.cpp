// A read-only program file must read. Root may open any file for writing, so when the test
// runs as root it reads the file as an ordinary user, for whom a read-write open would fail.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "app/program_files.h"
#include "source/files.h"
#include "source/program.h"
#include "tests/support/fresh_core.h"
#include "ui/log.h"

namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;

TEST(ProgramFilePosix, ReadOnlyFileReads) {
    FreshCore core;
    Session& S = core.S;
    fs::path path =
        fs::temp_directory_path() / ("qz_readonly_" + std::to_string(getpid()) + ".bas");
    ASSERT_TRUE(WriteWholeFile(path.u16string(), "10 PRINT 1\r\n"));
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);

    bool asOtherUser = geteuid() == 0;
    if (asOtherUser) {
        ASSERT_EQ(seteuid(kNobody), 0);
    }
    Text text = ReadProgramFile(S, path.u16string());
    if (asOtherUser) {
        ASSERT_EQ(seteuid(0), 0);
    }

    EXPECT_EQ(text, u"10 PRINT 1\r\n");
    EXPECT_EQ(LogText(S), u"");
    fs::remove(path);
}

}  // namespace
