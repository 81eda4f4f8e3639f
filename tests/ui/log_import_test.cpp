#include "ui/log_import.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace coffer {
namespace {

constexpr qsizetype kNoLimit = qsizetype(1) << 40;

QStringList Pieces(const QByteArray& file, int stopAfter = -1, qsizetype maxPartBytes = kNoLimit) {
    QStringList pieces;
    ForEachImportPiece(file, maxPartBytes, [&](const QString& piece) {
        pieces << piece;
        return pieces.size() != stopAfter;
    });
    return pieces;
}

QByteArray Lines(int count, const char* ending) {
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += "line " + QByteArray::number(i) + ending;
    return text;
}

QString Expected(int first, int last) {
    QString text;
    for (int i = first; i <= last; ++i)
        text += QStringLiteral("\r\nline %1").arg(i);
    return text;
}

struct TextCase {
    const char* name;
    QByteArray file;
    QStringList pieces;
};

class ImportPieces : public testing::TestWithParam<TextCase> {};

TEST_P(ImportPieces, EveryLineFollowsALineBreak) { EXPECT_EQ(Pieces(GetParam().file), GetParam().pieces); }

INSTANTIATE_TEST_SUITE_P(
    Files, ImportPieces,
    testing::Values(
        TextCase{"empty", "", {}},
        TextCase{"threeLinesCrLf", "a\r\nb\r\nc\r\n", {"\r\na\r\nb\r\nc"}},
        TextCase{"lastLineUnended", "a\r\nb\r\nc", {"\r\na\r\nb\r\nc"}},
        TextCase{"crOnly", "a\rb\r", {"\r\na\r\nb"}},
        TextCase{"lineFeedsStayInTheLine", "a\nb\nc\n", {"\r\na\nb\nc\n"}},
        TextCase{"lineFeedBeforeCr", "a\n\rb", {"\r\na\n\r\nb"}},
        TextCase{"emptyLinesKept", "a\r\n\r\n\r\nb", {"\r\na\r\n\r\n\r\nb"}},
        TextCase{"oneEmptyLine", "\r\n", {"\r\n"}},
        TextCase{"utf8", "Gr\xc3\xbc\xc3\x9f\x65\r\n\xe2\x82\xac", {QString::fromUtf8("\r\nGr\xc3\xbc\xc3\x9f\x65\r\n\xe2\x82\xac")}},
        TextCase{"exactly101Lines", Lines(101, "\r\n"), {Expected(1, 101)}},
        TextCase{"102Lines", Lines(102, "\r\n"), {Expected(1, 101), Expected(102, 102)}},
        TextCase{"250Lines", Lines(250, "\r\n"), {Expected(1, 101), Expected(102, 201), Expected(202, 250)}},
        TextCase{"301LinesEndOnAFlush", Lines(301, "\r"), {Expected(1, 101), Expected(102, 201), Expected(202, 301)}}),
    [](const testing::TestParamInfo<TextCase>& info) { return info.param.name; });

TEST(ImportPieces, StopsWhenAsked) {
    EXPECT_EQ(Pieces(Lines(250, "\r\n"), 1), QStringList{Expected(1, 101)});
}

TEST(ImportPieces, LongLinesComeInPartsThatNeverSplitACharacter) {
    // Line feeds only: one line of about 300 kB, with three-byte characters that parts must not cut.
    QByteArray file;
    for (int i = 0; i < 20000; ++i)
        file += "<banklog \xe2\x82\xac" + QByteArray::number(i) + ">\n";
    const QStringList parts = Pieces(file, -1, 1000);
    ASSERT_GT(parts.size(), 250);
    EXPECT_EQ(parts.join(QString()), Pieces(file).join(QString()));
    for (const QString& part : parts) {
        EXPECT_LE(part.toUtf8().size(), 1000);
        EXPECT_FALSE(part.contains(QChar::ReplacementCharacter));
    }
}

TEST(ImportPieces, PartsKeepTheFlushes) {
    QByteArray file = Lines(250, "\r\n");
    const QStringList parts = Pieces(file, -1, 512);
    EXPECT_EQ(parts.join(QString()), Expected(1, 250));
    // A flush still ends a part after lines 101 and 201.
    QString joined;
    QStringList ends;
    for (const QString& part : parts) {
        joined += part;
        ends << joined.section(QStringLiteral("\r\n"), -1);
    }
    EXPECT_TRUE(ends.contains(QStringLiteral("line 101")));
    EXPECT_TRUE(ends.contains(QStringLiteral("line 201")));
}

} // namespace
} // namespace coffer
