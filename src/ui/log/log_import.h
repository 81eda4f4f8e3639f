// SPDX-License-Identifier: MIT
#pragma once
// The text that importing a bank log file adds to the text box, in the pieces in which it is added.
// A line ends at a carriage return or a carriage return and line feed; a lone line feed stays part
// of its line. Every line is preceded by a line break, so the import starts with one; an empty file
// gives nothing. Of the line feeds that the pieces hold (the breaks and the lone ones, each a line
// of the text box), every kLinesPerBlock-th one stays a line feed, which starts a new block of the
// box, and the others become line separators (U+2028), line breaks inside a block: the box shows, and
// gives back, both alike, but a document of millions of blocks gets slower to add to the longer the
// text. The pieces hold at most the given number of bytes, so that the window can answer in between,
// and joined they are the text. The file is UTF-8, and no piece ends inside a character.

#include <QByteArrayView>
#include <QString>
#include <functional>
#include <string>

namespace coffer {

inline constexpr int kLinesPerBlock = 32;

// Calls `append` with each piece in order; stops early when it returns false.
void ForEachImportPiece(QByteArrayView file, qsizetype maxPieceBytes,
                        const std::function<bool(const QString& piece)>& append);

// Turns the file, in place, into the text its import adds as the text box gives it back (UTF-8, "\n"
// between lines, line and paragraph separators as "\n", no-break spaces as spaces), so that an
// unedited import need not be read out of the box again. False, the file unchanged, when it is not
// UTF-8: the box then holds replacement characters. One byte of spare capacity spares a copy.
bool ToShownImportText(std::string& file);

} // namespace coffer
