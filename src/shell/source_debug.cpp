#include "shell/source_debug.h"

#include "tools/source_map_files.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace quorvel::shell {

namespace {
std::filesystem::path toPath(const QString& path) { return std::filesystem::path(path.toStdU16String()); }
} // namespace

void SourceDebug::forget() {
    map_.reset();
    mapPath_.clear();
    breaks_.clear();
    files_.clear();
}

void SourceDebug::programLoaded(const QString& programPath) {
    forget();
    const QFileInfo program(programPath);
    const QString base = program.dir().filePath(program.completeBaseName());
    for (const QString& candidate : {base + ".cdb", base + ".lst", base + ".LST", base + ".CDB"})
        if (QFileInfo(candidate).isFile() && !load(candidate)) return;
}

std::optional<std::string> SourceDebug::load(const QString& path) {
    SourceMap map;
    if (auto error = loadSourceMap(toPath(path), map)) return error;
    if (map.empty())
        return QFileInfo(path).fileName().toStdString() + ": no source lines in this file";
    forget();
    map_ = std::move(map);
    // A program path finds its map beside it: name the map actually read.
    const QFileInfo file(path);
    const QString suffix = file.suffix().toLower();
    mapPath_ = file.absoluteFilePath();
    if (suffix != "lst" && suffix != "cdb") {
        const QString base = file.dir().filePath(file.completeBaseName());
        mapPath_ = QFileInfo(base + ".cdb").isFile() ? base + ".cdb" : base + ".lst";
    }
    showLines = true;
    return std::nullopt;
}

const QStringList& SourceDebug::fileLines(uint32_t file) const {
    auto it = files_.find(file);
    if (it != files_.end()) return it->second;
    QStringList lines;
    const QDir dir = QFileInfo(mapPath_).dir();
    const QString name = QString::fromStdString(map_->fileName(file));
    for (const QString& candidate : {dir.filePath(name), dir.filePath(QFileInfo(name).fileName())}) {
        std::string error;
        if (auto text = readSourceMapFile(toPath(candidate), error)) {
            lines = QString::fromUtf8(text->data(), qsizetype(text->size())).split('\n');
            break;
        }
    }
    return files_.emplace(file, std::move(lines)).first->second;
}

QString SourceDebug::lineText(const SourceLocation& where) const {
    if (!map_ || where.file >= map_->files().size()) return {};
    const QStringList& lines = fileLines(where.file);
    if (where.line == 0 || where.line > uint32_t(lines.size())) return {};
    QString text = lines[qsizetype(where.line - 1)].trimmed();
    text.replace('\t', ' ');
    return text;
}

bool SourceDebug::hasLineBreak(const SourceLocation& where) const {
    return std::find(breaks_.begin(), breaks_.end(), where) != breaks_.end();
}

void SourceDebug::toggleLineBreak(const SourceLocation& where) {
    auto it = std::find(breaks_.begin(), breaks_.end(), where);
    if (it != breaks_.end())
        breaks_.erase(it);
    else if (map_)
        breaks_.push_back(where);
}

CodeAddressSet SourceDebug::lineBreakAddresses() const {
    CodeAddressSet set;
    if (!map_) return set;
    for (const SourceLocation& where : breaks_)
        if (auto resolved = map_->resolveLine(map_->fileName(where.file), where.line))
            for (uint16_t address : resolved->addresses) set.set(address);
    return set;
}

} // namespace quorvel::shell
