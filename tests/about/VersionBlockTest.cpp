// The version reader against crafted blocks in crafted ELF files, and
// against the program's own file.
#include "ElfWriter.h"
#include "FileVersionInfo.h"
#include "TempDir.h"
#include "VersionBlock.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

VersionBlock::Contents FullContents()
{
    VersionBlock::Contents contents;
    contents.Strings = {
        {"CompanyName", "Acme"},         {"FileDescription", "A tool\r\nwith two lines"},
        {"FileVersion", "1.2.3.4"},      {"InternalName", "Tool1"},
        {"LegalCopyright", "(C) Acme"},  {"LegalTrademarks", "Tool™"},
        {"OriginalFilename", "tool"},    {"ProductName", "Tool"},
        {"ProductVersion", "1.2"},       {"Comments", "none"},
    };
    return contents;
}

class VersionFile : public ::testing::Test {
protected:
    std::string Write(const VersionBlock::Contents &contents)
    {
        const std::string path = Dir.File("program");
        WriteElfWithSection(path, VersionBlock::SectionName, VersionBlock::Build(contents));
        return path;
    }

    TempDir Dir;
};

TEST_F(VersionFile, MatchingTranslationAndTableGiveEveryValue)
{
    TBrelFileVersionInfo info;
    info.SetExecutableFile(Write(FullContents()));
    EXPECT_EQ(info.CountryCode, "040904E4");
    EXPECT_EQ(info.CompanyName, "Acme");
    EXPECT_EQ(info.FileDescription, "A tool\r\nwith two lines");
    EXPECT_EQ(info.FileVersion, "1.2.3.4");
    EXPECT_EQ(info.InternalName, "Tool1");
    EXPECT_EQ(info.LegalCopyright, "(C) Acme");
    // The block says "LegalTrademarks"; names compare without regard to case.
    EXPECT_EQ(info.LegalTradeMarks, "Tool™");
    EXPECT_EQ(info.OriginalFilename, "tool");
    EXPECT_EQ(info.ProductName, "Tool");
    EXPECT_EQ(info.ProductVersion, "1.2");
    EXPECT_EQ(info.Comments, "none");
}

TEST_F(VersionFile, TableKeyedOtherThanTheTranslationGivesOnlyTheCountryCode)
{
    auto contents = FullContents();
    contents.TableKey = "040904B0";
    TBrelFileVersionInfo info;
    info.SetExecutableFile(Write(contents));
    EXPECT_EQ(info.CountryCode, "040904E4");
    EXPECT_EQ(info.CompanyName, "");
    EXPECT_EQ(info.FileVersion, "");
}

TEST_F(VersionFile, CountryCodeSpellsLanguageThenCodePageInUpperCase)
{
    auto contents = FullContents();
    contents.Language = 0x0c0a;
    contents.CodePage = 0x04b0;
    TBrelFileVersionInfo info;
    info.SetExecutableFile(Write(contents));
    EXPECT_EQ(info.CountryCode, "0C0A04B0");
    EXPECT_EQ(info.ProductName, "Tool");
}

TEST_F(VersionFile, BlockWithoutTranslationGivesEmptyValues)
{
    auto contents = FullContents();
    contents.HasTranslation = false;
    TBrelFileVersionInfo info;
    info.SetExecutableFile(Write(contents));
    EXPECT_EQ(info.CountryCode, "");
    EXPECT_EQ(info.ProductName, "");
}

TEST_F(VersionFile, MissingNonElfAndSectionlessFilesEmptyEveryValue)
{
    TBrelFileVersionInfo info;
    const std::string good = Write(FullContents());
    const std::string text = Dir.File("text");
    std::ofstream(text) << "#!/bin/sh\necho not an executable\n";
    const std::string sectionless = Dir.File("other");
    WriteElfWithSection(sectionless, ".data", VersionBlock::Build(FullContents()));

    for (const std::string &path : {Dir.File("missing"), text, sectionless}) {
        info.SetExecutableFile(good);
        ASSERT_EQ(info.ProductName, "Tool");
        info.SetExecutableFile(path);
        EXPECT_EQ(info.ExecutableFile(), path);
        EXPECT_EQ(info.ProductName, "") << path;
        EXPECT_EQ(info.CountryCode, "") << path;
    }
}

TEST_F(VersionFile, AssigningAValueReadsNothing)
{
    TBrelFileVersionInfo info;
    info.SetExecutableFile(Write(FullContents()));
    info.ProductName = "Changed";
    EXPECT_EQ(info.ProductName, "Changed");
    EXPECT_EQ(info.CompanyName, "Acme");
}

// A damaged block must give empty or partial values, never a read past the
// block: every truncation and a block whose lengths lie.
TEST(VersionBlockQuery, TruncatedAndLyingBlocksStayInBounds)
{
    const auto block = VersionBlock::Build(FullContents());
    for (size_t size = 0; size < block.size(); ++size) {
        // A copy of exactly `size` bytes, so that a read past it is a real
        // out-of-bounds access for the memory checkers.
        std::vector<uint8_t> part(block.begin(), block.begin() + long(size));
        VersionBlock::Value value;
        if (VersionBlock::VerQueryValue(part, "\\StringFileInfo\\040904E4\\Comments", value))
            EXPECT_LE(value.Bytes.data() + value.Bytes.size(), part.data() + part.size());
    }

    auto lying = block;
    lying[0] = 0xFF;  // the root claims more than there is
    lying[1] = 0xFF;
    VersionBlock::Value value;
    EXPECT_FALSE(VersionBlock::VerQueryValue(lying, "\\VarFileInfo\\Translation", value));
}

TEST(VersionBlockQuery, PathsCompareWithoutRegardToCaseAndIgnoreExtraSlashes)
{
    const auto block = VersionBlock::Build(FullContents());
    VersionBlock::Value value;
    ASSERT_TRUE(VersionBlock::VerQueryValue(block, "\\stringfileinfo\\040904e4\\productname", value));
    EXPECT_EQ(value.Type, VersionBlock::ValueType::Text);
    EXPECT_EQ(VersionBlock::TextOf(value), "Tool");
    ASSERT_TRUE(VersionBlock::VerQueryValue(block, "\\\\VarFileInfo\\Translation\\", value));
    EXPECT_EQ(value.Type, VersionBlock::ValueType::Binary);
    EXPECT_EQ(value.Bytes.size(), 4u);
    EXPECT_FALSE(VersionBlock::VerQueryValue(block, "\\StringFileInfo\\040904E4\\Nothing", value));
}

TEST(ProgramVersion, TheProgramCarriesItsOwnBlock)
{
    TBrelFileVersionInfo info;
    info.SetExecutableFile(VELDRA_EXECUTABLE);
    EXPECT_EQ(info.CountryCode, "040904E4");
    EXPECT_EQ(info.FileVersion, "3.1.2.149");
    EXPECT_EQ(info.ProductVersion, "3.1");
    EXPECT_EQ(info.CompanyName, "Tarnwick");
    EXPECT_EQ(info.ProductName, "Veldra");
    EXPECT_EQ(info.InternalName, "Veldra3");
    EXPECT_EQ(info.LegalTradeMarks, "");
    EXPECT_FALSE(info.FileDescription.empty());
    EXPECT_FALSE(info.Comments.empty());
    EXPECT_FALSE(info.LegalCopyright.empty());
    EXPECT_FALSE(info.OriginalFilename.empty());
}

TEST(ProgramVersion, ConstructionReadsTheRunningProgram)
{
    // This test program carries no version block.
    TBrelFileVersionInfo info;
    EXPECT_NE(info.ExecutableFile(), "");
    EXPECT_EQ(info.FileVersion, "");
}

}  // namespace
