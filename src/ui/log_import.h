#pragma once
// The text that importing a bank log file adds to the text box, in the pieces in which it is added.
// A line ends at a carriage return or a carriage return and line feed; a lone line feed stays part
// of its line. Every line is preceded by a line break (CR LF), so the import starts with one. The
// first piece holds 101 lines, each later one 100, the last whatever is left; an empty file gives
// none. A piece longer than the given size is given in parts (a file whose lines end with line feeds
// only is one long line), so that the window can answer in between; the parts joined are the piece.
// The file is UTF-8, and no part ends inside a character.

#include <QByteArrayView>
#include <QString>
#include <functional>
#include <string>

namespace coffer {

// Calls `append` with each piece (or part of one) in order; stops early when it returns false.
void ForEachImportPiece(QByteArrayView file, qsizetype maxPartBytes,
                        const std::function<bool(const QString& piece)>& append);

// Turns the file, in place, into the text its import adds as the text box gives it back (UTF-8, "\n"
// between lines, line and paragraph separators as "\n", no-break spaces as spaces), so that an
// unedited import need not be read out of the box again. False, the file unchanged, when it is not
// UTF-8: the box then holds replacement characters. One byte of spare capacity spares a copy.
bool ToShownImportText(std::string& file);

} // namespace coffer
