// Where the programs look for their data: beside themselves in a build tree,
// in <prefix>/share/quorvel when installed.
#include "common/install_layout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

struct Tree {
    fs::path root = fs::temp_directory_path() /
                    ("quorvel-layout-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Tree() { fs::remove_all(root); }
    ~Tree() { fs::remove_all(root); }
    void folder(const fs::path& relative) { fs::create_directories(root / relative); }
    void file(const fs::path& relative) {
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative) << "x";
    }
};

} // namespace

TEST(InstallLayout, ResourceFolderOfBuildTreeInstallationAndBareFolder) {
    Tree t;
    t.folder("build/DemoPrograms");
    t.folder("prefix/bin");
    t.folder("prefix/share/quorvel/DemoPrograms");
    t.folder("portable/help");
    t.folder("prefix/share/quorvel/help");
    t.folder("deep/bare");
    // The build tree's own folders win over a share/quorvel above it.
    t.folder("share/quorvel");
    EXPECT_EQ(quorvel::resourceDirOf(t.root / "build"), t.root / "build");
    EXPECT_EQ(quorvel::resourceDirOf(t.root / "prefix/bin"), t.root / "prefix/share/quorvel");
    EXPECT_EQ(quorvel::resourceDirOf(t.root / "portable"), t.root / "portable");
    EXPECT_EQ(quorvel::resourceDirOf(t.root / "deep/bare"), t.root / "deep/bare");
}

TEST(InstallLayout, BundledAssemblerAndItsDefinitions) {
    Tree t;
    t.file("build/Assembler/asm51");
    t.file("prefix/bin/asm51");
    t.folder("prefix/share/quorvel/Assembler");
    EXPECT_EQ(quorvel::bundledAssemblerOf(t.root / "build", t.root / "build"), t.root / "build/Assembler/asm51");
    EXPECT_EQ(quorvel::bundledAssemblerOf(t.root / "prefix/share/quorvel", t.root / "prefix/bin"),
              t.root / "prefix/bin/asm51");
    // Neither there: the Run Assembler dialog shows the resource folder's.
    EXPECT_EQ(quorvel::bundledAssemblerOf(t.root / "none", t.root / "none"), t.root / "none/Assembler/asm51");
    EXPECT_EQ(quorvel::mod51Beside(t.root / "build/Assembler"), t.root / "build/Assembler/Mod51");
    EXPECT_EQ(quorvel::installedMod51(t.root / "prefix/bin"), t.root / "prefix/share/quorvel/Assembler/Mod51");
}
