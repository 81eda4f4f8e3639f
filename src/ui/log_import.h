#pragma once
// The text that importing a bank log file adds to the text box, in the pieces in which it is added.
// A line ends at a carriage return or a carriage return and line feed; a lone line feed stays part
// of its line. Every line is preceded by a line break (CR LF), so the import starts with one. The
// first piece holds 101 lines, each later one 100, the last whatever is left; an empty file gives
// none. The file is UTF-8, and pieces end at line ends, so no character is split.

#include <QByteArray>
#include <QString>
#include <functional>

namespace coffer {

// Calls `append` with each piece in order; stops early when it returns false.
void ForEachImportPiece(const QByteArray& file, const std::function<bool(const QString& piece)>& append);

} // namespace coffer
