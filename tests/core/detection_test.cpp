// Format detection: the first identifying line decides, header_line keeps it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "hx_util2.h"
#include "testsupport.h"

namespace {

TEST(Detection, FirstIdentifyingLineDecides) {
    struct Case {
        const char* name;
        std::string content;
        hx::Tlog_type type;
        std::string header;  // expected header_line when recognised
    } cases[] = {
        {"ALL header", "Mivo for Windows \r\nx\r\n", hx::lt_all, "Mivo for Windows "},
        {"ALL header, LF only", "Mivo for Windows \nx\n", hx::lt_all, "Mivo for Windows "},
        {"ALL without trailing blank", "Mivo for Windows\n", hx::lt_unknown, ""},
        {"ALL with two trailing blanks", "Mivo for Windows  \n", hx::lt_unknown, ""},
        {"ALL with version", "Mivo for Windows 4.0\n", hx::lt_unknown, ""},
        {"ALL in capitals", "MIVO for Windows \n", hx::lt_unknown, ""},
        {"Cabrillo after blank lines", "\n\nSTART-OF-LOG: 3.0\n", hx::lt_cabrillo, "START-OF-LOG: 3.0"},
        {"Cabrillo lower case", "start-of-log: 3.0\n", hx::lt_unknown, ""},
        {"Cabrillo too short", "START-OF-LOG\n", hx::lt_unknown, ""},
        {"TXT with leading tab and blanks", "\t  mon day time MHz\n", hx::lt_txt, "\t  mon day time MHz"},
        {"TXT after more blanks than a line keeps", std::string(5000, ' ') + "mon day time\n", hx::lt_txt,
         std::string(5000, ' ') + "mon day time"},
        {"TXT capitalised", "Mon day time\n", hx::lt_unknown, ""},
        {"TXT with two blanks", "mon  day time\n", hx::lt_unknown, ""},
        {"TXT before Cabrillo", "x\nmon day time\n\n\nSTART-OF-LOG:\n", hx::lt_txt, "mon day time"},
        {"empty file", "", hx::lt_unknown, ""},
        {"blank lines only", "\n\n  \n", hx::lt_unknown, ""},
        {"Ctrl-Z hides what follows", "\x1aMivo for Windows \n", hx::lt_unknown, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hx::test::Ttemp_dir dir;
        hx::header_line = "before";
        EXPECT_EQ(hx::check_log_type(dir.write_file("log", c.content)), c.type);
        EXPECT_EQ(hx::header_line, c.type == hx::lt_unknown ? "before" : c.header);
    }
}

TEST(Detection, AnythingButARegularFileIsUnknown) {
    hx::test::Ttemp_dir dir;
    hx::header_line = "kept";
    ::mkfifo(dir.file("fifo").c_str(), 0600);
    ::symlink(dir.file("nowhere").c_str(), dir.file("dangling").c_str());
    for (const std::string& p : {dir.file("missing"), dir.path(), dir.file("fifo"),
                                 dir.file("dangling"), std::string("/dev/null"), std::string()}) {
        SCOPED_TRACE(p);
        EXPECT_EQ(hx::check_log_type(p), hx::lt_unknown);
    }
    EXPECT_EQ(hx::header_line, "kept");
}

TEST(Detection, IdentifyingLineLongerThanAnyBufferIsKeptWhole) {
    hx::test::Ttemp_dir dir;
    std::string txt = std::string(5000, ' ') + "mon day time" + std::string(3u << 20, 'x');
    EXPECT_EQ(hx::check_log_type(dir.write_file("log", "junk\n" + txt + "\r\nmore\n")), hx::lt_txt);
    EXPECT_EQ(hx::header_line, txt);
}

}  // namespace
