// SPDX-License-Identifier: MIT
#include "ui/log/log_import.h"

#include <QStringList>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace coffer {
namespace {

QString Imported(const QByteArray& file, qsizetype maxPartBytes, QStringList* parts = nullptr) {
    QString text;
    ForEachImportPiece(file, maxPartBytes, [&](const QString& piece) {
        if (parts != nullptr)
            *parts << piece;
        text += piece;
        return true;
    });
    return text;
}

// A line ends at CR or CR LF, a lone LF stays in its line, and every line follows a line break. Of the
// box's lines, every kLinesPerBlock-th starts a block, the others follow a line separator.
TEST(ImportPieces, EveryLineFollowsALineBreak) {
    const std::pair<QByteArray, QString> cases[] = {
        {"", ""},
        {"a\r\nb\r\nc", "\na\nb\nc"},
        {"a\rb\r", "\na\nb"},
        {"a\n\rb\n", "\na\n\nb\n"},
        {"a\r\n\r\n\r\nb\r\n", "\na\n\n\nb"},
        {"Gr\xc3\xbc\xc3\x9f\x65\r\n\xe2\x82\xac", QString::fromUtf8("\nGr\xc3\xbc\xc3\x9f\x65\n\xe2\x82\xac")},
    };
    for (const auto& [file, text] : cases)
        EXPECT_EQ(Imported(file, 1 << 20).replace(QChar::LineSeparator, u'\n'), text) << file.toStdString();
    const QString lines = Imported(QByteArray("y\nx\r").repeated(35), 100); // 70 lines of the box
    EXPECT_EQ(lines.count(u'\n'), 3);
    EXPECT_EQ(lines.count(QChar::LineSeparator), 67);
}

// What the analysis reads of an unedited import is what the text box gives back of the import's pieces.
TEST(ImportPieces, ShownTextIsWhatTheBoxGivesBack) {
    QByteArrayList files{"", "\r", "\r\r\n", "a\r\nb\rc\n", QByteArray("\xef\xbb\xbf<?xml\r\n\0\xef\xbf\xbc", 14)};
    QByteArray mixed; // every ending and every character the box turns into another at every place in a word
    const char* const endings[] = {"\r\n",         "\r",           "\n",           "\xc2\xa0", "\xe2\x80\xa8",
                                   "\xe2\x80\xa9", "\xef\xb7\x90", "\xef\xb7\x91", "\xc3\xa9", "\xe2\x82\xac"};
    for (int i = 0; i < 400; ++i)
        mixed += QByteArray(i % 19, 'x') + endings[i % std::size(endings)];
    files << mixed;
    for (const QByteArray& file : files) {
        QTextDocument box;
        QTextCursor(&box).insertText(Imported(file, 1 << 20));
        std::string shown = file.toStdString();
        ASSERT_TRUE(ToShownImportText(shown));
        EXPECT_EQ(shown, box.toPlainText().toStdString()) << file.toStdString();
    }
    std::string notUtf8 = "a\xff\r\nb"; // the box shows a replacement character
    EXPECT_FALSE(ToShownImportText(notUtf8));
    EXPECT_EQ(notUtf8, "a\xff\r\nb");
}

TEST(ImportPieces, LongLinesComeInPartsThatNeverSplitACharacter) {
    QByteArray file; // line feeds only: one line of about 400 kB, with three-byte characters and byte order marks
    for (int i = 0; i < 20000; ++i)
        file += "<banklog \xe2\x82\xac\xef\xbb\xbf" + QByteArray::number(i) + ">\n";
    QStringList parts;
    EXPECT_EQ(Imported(file, 1000, &parts), Imported(file, 1 << 20));
    ASSERT_GT(parts.size(), 250);
    for (const QString& part : parts)
        EXPECT_TRUE(QString(part).replace(QChar::LineSeparator, u'\n').toUtf8().size() <= 1000 &&
                    !part.contains(QChar::ReplacementCharacter));
}

} // namespace
} // namespace coffer
