// The legacy INI reader: names without regard to case, values exactly as
// written apart from surrounding blanks and one pair of quotes.
#include "IniFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

class IniFile : public ::testing::Test {
protected:
    TIniFile Load(const std::string &text)
    {
        const std::string path = Dir.File("FTP.Ini");
        std::ofstream(path, std::ios::binary) << text;
        return TIniFile(QString::fromStdString(path));
    }
    TempDir Dir;
};

TEST_F(IniFile, SectionAndKeyNamesIgnoreLetterCase)
{
    const TIniFile ini = Load("[sites]\nsite0.address=ftp.example.com\n[General]\nSITES=3\n");
    EXPECT_EQ(ini.ReadString("SITES", "Site0.Address", "x"), "ftp.example.com");
    EXPECT_EQ(ini.ReadInteger("GENERAL", "Sites", 0), 3);
}

TEST_F(IniFile, ValuesArriveAsWrittenWithoutInterpretation)
{
    const TIniFile ini = Load("[SITES]\r\n"
                              "Site0.Password = a,b%c\\d \r\n"
                              "Site1.Password=\"quoted, with blanks \"\r\n"
                              "Site2.Password=\"unbalanced\r\n"
                              "Site3.Password=x=y\r\n"
                              "Site4.Password=\r\n");
    EXPECT_EQ(ini.ReadString("SITES", "Site0.Password", ""), "a,b%c\\d");
    EXPECT_EQ(ini.ReadString("SITES", "Site1.Password", ""), "quoted, with blanks ");
    EXPECT_EQ(ini.ReadString("SITES", "Site2.Password", ""), "\"unbalanced");
    EXPECT_EQ(ini.ReadString("SITES", "Site3.Password", ""), "x=y");
    EXPECT_EQ(ini.ReadString("SITES", "Site4.Password", "default"), "");
}

TEST_F(IniFile, CommentsOtherSectionsAndMissingKeysGiveDefaults)
{
    const TIniFile ini = Load(";Site0.Address=commented\n[OTHER]\nSite0.Address=elsewhere\n[SITES]\nno pair here\n");
    EXPECT_EQ(ini.ReadString("SITES", "Site0.Address", "default"), "default");
    EXPECT_EQ(ini.ReadString("SITES", ";Site0.Address", "default"), "default");
}

TEST_F(IniFile, FirstOfTwoEqualKeysWins)
{
    const TIniFile ini = Load("[FILES]\nLastFile=/first\nlastfile=/second\n");
    EXPECT_EQ(ini.ReadString("FILES", "LastFile", ""), "/first");
}

TEST_F(IniFile, IntegersThatDoNotParseGiveTheDefault)
{
    const TIniFile ini = Load("[GENERAL]\nA= 12 \nB=0x1F\nC=twelve\nD=12abc\nE=99999999999\nF=-4\n");
    EXPECT_EQ(ini.ReadInteger("GENERAL", "A", 7), 12);
    EXPECT_EQ(ini.ReadInteger("GENERAL", "B", 7), 31);
    EXPECT_EQ(ini.ReadInteger("GENERAL", "C", 7), 7);
    EXPECT_EQ(ini.ReadInteger("GENERAL", "D", 7), 7);
    EXPECT_EQ(ini.ReadInteger("GENERAL", "E", 7), 7);
    EXPECT_EQ(ini.ReadInteger("GENERAL", "F", 7), -4);
}

TEST_F(IniFile, MissingFileReadsAsEmpty)
{
    const TIniFile ini(QString::fromStdString(Dir.File("absent.ini")));
    EXPECT_EQ(ini.ReadString("FILES", "LastFile", "/default"), "/default");
    EXPECT_EQ(ini.ReadInteger("GENERAL", "Sites", 0), 0);
}

TEST_F(IniFile, EightBitFilesReadAsLatin1)
{
    const TIniFile ini = Load("[SITES]\nSite0.UserName=J\xf6rg\n");
    EXPECT_EQ(ini.ReadString("SITES", "Site0.UserName", ""), QString::fromUtf8("Jörg"));
}

}  // namespace
