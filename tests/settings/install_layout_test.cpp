// Where the programs look for their data: beside themselves in a build tree,
// in <prefix>/share/quorvel when installed.
#include "common/install_layout.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using quorvel::support::TempDir;

TEST(InstallLayout, ResourceFolderOfBuildTreeInstallationAndBareFolder) {
    TempDir t;
    for (const char* folder : {"build/DemoPrograms", "prefix/bin", "prefix/share/quorvel/DemoPrograms", "portable/help",
                               "prefix/share/quorvel/help", "deep/bare", "share/quorvel"})
        fs::create_directories(t / folder);
    // The build tree's own folders win over a share/quorvel above it.
    EXPECT_EQ(quorvel::resourceDirOf(t / "build"), t / "build");
    EXPECT_EQ(quorvel::resourceDirOf(t / "prefix/bin"), t / "prefix/share/quorvel");
    EXPECT_EQ(quorvel::resourceDirOf(t / "portable"), t / "portable");
    EXPECT_EQ(quorvel::resourceDirOf(t / "deep/bare"), t / "deep/bare");
}

TEST(InstallLayout, BundledAssemblerAndItsDefinitions) {
    TempDir t;
    t.write("build/Assembler/asm51", "x");
    t.write("prefix/bin/asm51", "x");
    fs::create_directories(t / "prefix/share/quorvel/Assembler");
    EXPECT_EQ(quorvel::bundledAssemblerOf(t / "build", t / "build"), t / "build/Assembler/asm51");
    EXPECT_EQ(quorvel::bundledAssemblerOf(t / "prefix/share/quorvel", t / "prefix/bin"), t / "prefix/bin/asm51");
    // Neither there: the Run Assembler dialog shows the resource folder's.
    EXPECT_EQ(quorvel::bundledAssemblerOf(t / "none", t / "none"), t / "none/Assembler/asm51");
    EXPECT_EQ(quorvel::mod51Beside(t / "build/Assembler"), t / "build/Assembler/Mod51");
    EXPECT_EQ(quorvel::installedMod51(t / "prefix/bin"), t / "prefix/share/quorvel/Assembler/Mod51");
}
