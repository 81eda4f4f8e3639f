#include "ui/log_import.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace coffer {
namespace {

QStringList Pieces(const QByteArray& file, int stopAfter = -1) {
    QStringList pieces;
    ForEachImportPiece(file, [&](const QString& piece) {
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

} // namespace
} // namespace coffer
