// Where the programs find their data, relative to their own executable, so
// that a build tree and an installation under any prefix both work without a
// path compiled in.
//
// A build tree keeps everything in one folder: the executables with
// Assembler/ (asm51 and Mod51), DemoPrograms/ and help/ beside them. An
// installation follows the usual prefix layout: the executables (asm51
// among them) in <prefix>/bin, the data in <prefix>/share/quorvel with
// Assembler/Mod51, DemoPrograms/ and help/.
#pragma once

#include <filesystem>

namespace quorvel {

// The data folder below an installation prefix, relative to its bin/.
inline constexpr const char* kInstalledDataDir = "../share/quorvel";

// The folder of Assembler/, DemoPrograms/ and help/ for a program started
// from `programDir`: `programDir` itself when it holds DemoPrograms/ or help/
// (a build tree, a portable folder), else <programDir>/../share/quorvel when
// that exists, else `programDir`.
std::filesystem::path resourceDirOf(const std::filesystem::path& programDir);

// The bundled assembler: <resourceDir>/Assembler/asm51 when it exists (a
// build tree), else asm51 beside the program (an installation puts it in
// bin/). When neither exists, the first, so that the Run Assembler dialog
// shows where it was looked for.
std::filesystem::path bundledAssemblerOf(const std::filesystem::path& resourceDir,
                                         const std::filesystem::path& programDir);

// Where asm51, started from `programDir`, looks for its Mod51 file after the
// current and the source folder: beside itself (a build tree), then in the
// installed data folder.
std::filesystem::path mod51Beside(const std::filesystem::path& programDir);
std::filesystem::path installedMod51(const std::filesystem::path& programDir);

} // namespace quorvel
