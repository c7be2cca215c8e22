#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "classlib/Afx.h"
#include "win/Paths.h"
#include "win/WinApi.h"

namespace {

class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/classlib_file_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        win::setCDrive(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string bytesOf(const std::string& name) const {
        std::ifstream in(m_dir + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void writeBytes(const std::string& name, const std::string& bytes) const {
        std::ofstream out(m_dir + "/" + name, std::ios::binary);
        out << bytes;
    }

    std::string m_dir;
};

// Runs `f`, expecting a CFileException* with the given cause and Windows code.
template <class F>
void expectFileError(F f, int cause, LONG osError) {
    try {
        f();
        ADD_FAILURE() << "no exception";
    } catch (CFileException* e) {
        EXPECT_EQ(e->m_cause, cause);
        EXPECT_EQ(e->m_lOsError, osError);
        e->Delete();
    }
}

TEST_F(FileTest, TextModeWritesCrLfAndWindows1252) {
    CStdioFile f;
    ASSERT_TRUE(f.Open(L"C:\\report.txt", CFile::modeCreate | CFile::modeWrite | CFile::typeText));
    f.WriteString(L"Area m\x00b2\n");
    f.WriteString(L"\x20ac 5\nlast");
    f.Close();
    EXPECT_EQ(bytesOf("report.txt"), std::string("Area m\xB2\r\n\x80 5\r\nlast"));
}

TEST_F(FileTest, ReadStringStripsLineEndsAndDecodesWindows1252) {
    writeBytes("in.txt", "m\xB2\r\n\r\nunix\nlone\rcr\r\nend");
    CStdioFile f(L"C:\\in.txt", CFile::modeRead);
    CString line;
    ASSERT_TRUE(f.ReadString(line));
    EXPECT_EQ(line, L"m\x00b2");
    ASSERT_TRUE(f.ReadString(line));
    EXPECT_EQ(line, L""); // an empty line is still a line
    ASSERT_TRUE(f.ReadString(line));
    EXPECT_EQ(line, L"unix");
    ASSERT_TRUE(f.ReadString(line));
    EXPECT_EQ(line, L"lone\rcr");
    ASSERT_TRUE(f.ReadString(line));
    EXPECT_EQ(line, L"end"); // the last line needs no line end
    EXPECT_FALSE(f.ReadString(line));
    EXPECT_EQ(line, L"");
}

TEST_F(FileTest, ReadStringIntoBufferKeepsLineEndAndCuts) {
    writeBytes("b.txt", "abcdef\r\nx");
    CStdioFile f(L"C:\\b.txt", CFile::modeRead);
    wchar_t buf[4];
    ASSERT_NE(f.ReadString(buf, 4), nullptr);
    EXPECT_STREQ(buf, L"abc");
    ASSERT_NE(f.ReadString(buf, 4), nullptr);
    EXPECT_STREQ(buf, L"def");
    ASSERT_NE(f.ReadString(buf, 4), nullptr);
    EXPECT_STREQ(buf, L"\n");
    ASSERT_NE(f.ReadString(buf, 4), nullptr);
    EXPECT_STREQ(buf, L"x");
    EXPECT_EQ(f.ReadString(buf, 4), nullptr);
}

TEST_F(FileTest, LongLinesAcrossTheReadBuffer) {
    std::string big(200000, 'a');
    big[100000] = '\r';
    big[100001] = '\n';
    writeBytes("big.txt", big);
    CStdioFile f(L"C:\\big.txt", CFile::modeRead);
    CString line;
    ASSERT_TRUE(f.ReadString(line));
    EXPECT_EQ(line.GetLength(), 100000);
    ASSERT_TRUE(f.ReadString(line));
    EXPECT_EQ(line.GetLength(), 200000 - 100002);
    EXPECT_FALSE(f.ReadString(line));
}

TEST_F(FileTest, AppendModesWriteAtTheEnd) {
    writeBytes("log.txt", "old\r\n");
    {
        CStdioFile f(L"C:\\log.txt", CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite);
        f.WriteString(L"new\n");
    } // the destructor writes what is pending
    EXPECT_EQ(bytesOf("log.txt"), "old\r\nnew\r\n");
    {
        CStdioFile f(L"C:\\log.txt", CFile::modeCreate | CFile::modeWrite);
        f.WriteString(L"fresh");
    }
    EXPECT_EQ(bytesOf("log.txt"), "fresh");
}

TEST_F(FileTest, BinaryReadWriteSeekLength) {
    CFile f(L"C:\\data.bin", CFile::modeCreate | CFile::modeReadWrite);
    EXPECT_EQ(f.GetFilePath(), L"C:\\data.bin");
    EXPECT_EQ(f.GetFileName(), L"data.bin");
    EXPECT_EQ(f.GetFileTitle(), L"data");
    f.Write("0123456789", 10);
    EXPECT_EQ(f.GetLength(), 10u);
    EXPECT_EQ(f.Seek(-3, CFile::end), 7u);
    char buf[8] = {};
    EXPECT_EQ(f.Read(buf, 8), 3u);
    EXPECT_EQ(std::string(buf, 3), "789");
    f.SeekToBegin();
    f.Write("\n", 1); // binary: no translation
    f.SetLength(4);
    EXPECT_EQ(f.GetLength(), 4u);
    expectFileError([&] { f.Seek(-100, CFile::current); }, CFileException::badSeek, 131);
    f.Close();
    EXPECT_EQ(bytesOf("data.bin"), "\n123");
    expectFileError([&] { f.Write("x", 1); }, CFileException::invalidFile, 6);
}

TEST_F(FileTest, OpenFailuresReportCauses) {
    CFile f;
    CFileException error;
    EXPECT_FALSE(f.Open(L"C:\\missing.txt", CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(error.m_lOsError, 2);
    EXPECT_EQ(error.m_strFileName, L"C:\\missing.txt");
    EXPECT_EQ(GetLastError(), 2u);
    EXPECT_FALSE(f.Open(L"C:\\no\\such\\dir.txt", CFile::modeCreate | CFile::modeWrite, &error));
    EXPECT_EQ(error.m_cause, CFileException::badPath);
    EXPECT_FALSE(f.Open(L"Q:\\x.txt", CFile::modeRead, &error));
    EXPECT_EQ(error.m_lOsError, 3);
    mkdir((m_dir + "/folder").c_str(), 0777);
    EXPECT_FALSE(f.Open(L"C:\\folder", CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::accessDenied);
    expectFileError([] { CStdioFile g(L"C:\\missing.txt", CFile::modeRead); }, CFileException::fileNotFound, 2);
    expectFileError(
        [] {
            CFile g(L"C:\\ro.txt", CFile::modeCreate | CFile::modeRead);
            g.Write("x", 1);
        },
        CFileException::accessDenied, 5);
}

TEST_F(FileTest, SharingRemoveRename) {
    writeBytes("a.txt", "a");
    {
        CFile held(L"C:\\a.txt", CFile::modeRead | CFile::shareDenyWrite);
        CFile reader;
        EXPECT_TRUE(reader.Open(L"c:/A.TXT", CFile::modeRead | CFile::shareDenyNone));
        reader.Close();
        CFile writer;
        CFileException error;
        EXPECT_FALSE(writer.Open(L"C:\\a.txt", CFile::modeWrite, &error));
        EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
        expectFileError([] { CFile::Remove(L"C:\\a.txt"); }, CFileException::sharingViolation, 32);
        expectFileError([] { CFile::Rename(L"C:\\a.txt", L"C:\\b.txt"); }, CFileException::sharingViolation, 32);
    }
    writeBytes("c.txt", "c");
    expectFileError([] { CFile::Rename(L"C:\\a.txt", L"C:\\c.txt"); }, CFileException::accessDenied, 183);
    CFile::Rename(L"C:\\a.txt", L"C:\\b.txt");
    EXPECT_EQ(bytesOf("b.txt"), "a");
    CFile::Remove(L"C:\\b.txt");
    expectFileError([] { CFile::Remove(L"C:\\b.txt"); }, CFileException::fileNotFound, 2);
    mkdir((m_dir + "/dir").c_str(), 0777);
    expectFileError([] { CFile::Remove(L"C:\\dir"); }, CFileException::accessDenied, 5);
}

TEST_F(FileTest, StatusWithModificationTime) {
    writeBytes("s.txt", "12345");
    struct timespec times[2] = {{1412339405, 0}, {1412339405, 0}};
    utimensat(AT_FDCWD, (m_dir + "/s.txt").c_str(), times, 0);
    CFileStatus st;
    ASSERT_TRUE(CFile::GetStatus(L"C:\\s.txt", st));
    EXPECT_EQ(st.m_size, 5u);
    EXPECT_EQ(st.m_mtime.GetTime(), 1412339405);
    EXPECT_EQ(st.m_attribute & CFile::directory, 0);
    EXPECT_STREQ(st.m_szFullName, L"C:\\s.txt");
    ASSERT_TRUE(CFile::GetStatus(L"C:\\", st)); // a folder has a status too
    EXPECT_NE(st.m_attribute & CFile::directory, 0);
    EXPECT_FALSE(CFile::GetStatus(L"C:\\nothing", st));
    EXPECT_FALSE(CFile::GetStatus(L"", st));

    CFile open(L"C:\\s.txt", CFile::modeRead);
    ASSERT_TRUE(open.GetStatus(st));
    EXPECT_EQ(st.m_mtime.GetTime(), 1412339405);
}

TEST_F(FileTest, MixedReadAndWriteKeepPositions) {
    CStdioFile f(L"C:\\mix.txt", CFile::modeCreate | CFile::modeReadWrite);
    f.WriteString(L"one\ntwo\n");
    EXPECT_EQ(f.GetPosition(), 10u);
    f.SeekToBegin();
    CString line;
    ASSERT_TRUE(f.ReadString(line));
    EXPECT_EQ(line, L"one");
    EXPECT_EQ(f.GetPosition(), 5u);
    f.WriteString(L"TWO");
    f.Close();
    EXPECT_EQ(bytesOf("mix.txt"), "one\r\nTWO\r\n");
}

} // namespace
