// The program's source map as the windows use it: the map found beside the
// loaded program (or loaded by hand), the text of its source files, whether
// the program window shows the lines, and the source-line breakpoints.
//
// A new program forgets the map and its line breakpoints. The addresses of
// the line breakpoints are handed to the debug session (DebugSession::
// setLineBreaks) by the frame's commands, never by this object.
#pragma once

#include "machine/executor.h"
#include "tools/source_map.h"

#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::shell {

class SourceDebug {
public:
    // The map in use, or null.
    const SourceMap* map() const { return map_ ? &*map_ : nullptr; }
    // The file the map was read from (empty without a map).
    const QString& mapPath() const { return mapPath_; }

    // A program was loaded from `programPath`: forgets the old map and looks
    // for the program's own beside it (.cdb, else .lst of the same name).
    // Finding none is not an error.
    void programLoaded(const QString& programPath);
    // Loads the map `path` names (.lst, .cdb, or a program whose map lies
    // beside it). On failure keeps the current map and returns the message.
    std::optional<std::string> load(const QString& path);
    void forget();

    // The "Source Lines" switch of the View menu; on again with each new map.
    bool showLines = true;
    bool linesShown() const { return showLines && map_; }

    // The text of a source line without its leading and trailing blanks;
    // empty when the file cannot be read or has no such line. Files are
    // looked for beside the map (as named, else by their base name) and
    // read once.
    QString lineText(const SourceLocation& where) const;

    // Source-line breakpoints, on lines of the primary level.
    bool hasLineBreak(const SourceLocation& where) const;
    void toggleLineBreak(const SourceLocation& where);
    const std::vector<SourceLocation>& lineBreaks() const { return breaks_; }
    // The first addresses of the code of every line breakpoint.
    CodeAddressSet lineBreakAddresses() const;

private:
    const QStringList& fileLines(uint32_t file) const;

    std::optional<SourceMap> map_;
    QString mapPath_;
    std::vector<SourceLocation> breaks_;
    mutable std::map<uint32_t, QStringList> files_; // source text by file index
};

} // namespace quorvel::shell
