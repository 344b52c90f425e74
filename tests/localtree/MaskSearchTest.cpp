// The file mask, one row per rule of its matcher.
#include "MaskSearch.h"

#include <gtest/gtest.h>

namespace {

TEST(MaskSearch, PatternsAgainstWholePaths)
{
    struct Row {
        const char *Mask, *Path;
        bool Matches;
    };
    const Row rows[] = {
        {"*.TXT;*.doc", "/A/Notes.txt", true},
        {"*.TXT;*.doc", "/A/b.DOC", true},
        {"*.TXT;*.doc", "/A/c.pas", false},
        {"", "/any/thing", true},                  // an empty mask is "*"
        {"*.*", "/a/b", true},                     // a name without "." gets one
        {"*.txt", "/a/readme", false},
        {"/a/b.txt", "/A/B.TXT", true},            // no wildcard: the same text
        {"b.txt", "/a/b.txt", false},              // the whole path is matched
        {"*b?.txt", "/a/b1.txt", true},
        {"*b?.txt", "/a/b.txt", false},
        {"*.t?t", "/x.txt", true},
        {"/a/*/c.txt", "/a/b/c.txt", true},
        {"/a/*/c.txt", "/a/b/d.txt", false},
        {"*data*", "/x/mydata.bin", true},
        {"*.txt ", "/a/b.txt", false},             // blanks stay part of a piece
        {";", "/a/b.txt", false},                  // one empty pattern matches nothing
        {"*.c;", "/a/b.c", true},                  // a final ";" is implied
    };
    for (const Row &row : rows) {
        TMaskSearch mask;
        mask.SetMask(QString::fromUtf8(row.Mask));
        EXPECT_EQ(mask.Matches(QString::fromUtf8(row.Path)), row.Matches) << row.Mask << " against " << row.Path;
    }
}

TEST(MaskSearch, PiecesAreLowerCaseAndSorted)
{
    TMaskSearch mask;
    mask.SetMask("*.TXT;*.Doc");
    EXPECT_EQ(mask.Patterns(), (QStringList{"*.doc", "*.txt"}));
}

}  // namespace
