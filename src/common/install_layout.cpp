#include "common/install_layout.h"

namespace quorvel {

namespace fs = std::filesystem;

namespace {

bool isFolder(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool isFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

} // namespace

fs::path resourceDirOf(const fs::path& programDir) {
    if (isFolder(programDir / "DemoPrograms") || isFolder(programDir / "help")) return programDir;
    const fs::path installed = (programDir / kInstalledDataDir).lexically_normal();
    return isFolder(installed) ? installed : programDir;
}

fs::path bundledAssemblerOf(const fs::path& resourceDir, const fs::path& programDir) {
    const fs::path inResources = resourceDir / "Assembler" / "asm51";
    if (isFile(inResources)) return inResources;
    const fs::path beside = programDir / "asm51";
    return isFile(beside) ? beside : inResources;
}

fs::path mod51Beside(const fs::path& programDir) { return programDir / "Mod51"; }

fs::path installedMod51(const fs::path& programDir) {
    // asm51 sits in <prefix>/bin, its data in <prefix>/share/quorvel.
    return (programDir / kInstalledDataDir / "Assembler" / "Mod51").lexically_normal();
}

} // namespace quorvel
