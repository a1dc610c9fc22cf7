// Every saver - the settings files' atomic writer, Save Memory and the
// assembler's outputs - writes beside its target and renames over it. On a
// FIFO or a folder that would replace the node: each refuses instead and
// leaves it as it was. Through a symbolic link each replaces the file the
// link points to and keeps the link.
#include "test_support.h"

#include "settings/settings_io.h"
#include "tools/memory_saver.h"

#include <sys/stat.h>

#include <iterator>

using namespace quorvel;
using namespace quorvel::support;

namespace {

// Saves to `target` with one of the savers; returns whether the saver
// reported success.
using Saver = bool (*)(const TempDir& folder, const fs::path& target);

bool settingsWriter(const TempDir&, const fs::path& target) {
    const uint8_t bytes[] = {'S', 'E', 'T'};
    return writeFileAtomically(target, bytes);
}

bool memorySaver(const TempDir&, const fs::path& target) {
    Machine machine = makeMachine();
    MemorySaver saver;
    SaveSettings settings;
    settings.end = 0x0F;
    settings.format = SaveFormat::Binary;
    if (saver.begin(target, settings)) return false;
    while (saver.step(machine.chip)) {
    }
    return saver.finished() && saver.outcome().icon == UserMessage::Icon::Information;
}

// The target is the listing of x.asm, beside it.
bool assembler(const TempDir& folder, const fs::path&) {
    folder.write("x.asm", "        NOP\n        END\n");
    return runProcess(folder.path, asm51Program().string(), {"x"}).status == 0;
}

} // namespace

TEST(SaveTargets, EverySaverLeavesSpecialFilesAloneAndFollowsLinks) {
    const struct {
        const char* name;
        Saver save;
    } savers[] = {
        {"settings writer", settingsWriter},
        {"Save Memory", memorySaver},
        {"asm51 listing", assembler},
    };
    for (const auto& saver : savers) {
        SCOPED_TRACE(saver.name);
        {
            TempDir folder;
            const fs::path target = folder / "x.lst";
            ASSERT_EQ(::mkfifo(target.c_str(), 0600), 0);
            EXPECT_FALSE(saver.save(folder, target));
            EXPECT_TRUE(fs::is_fifo(target)) << "the FIFO is still there";
        }
        {
            TempDir folder;
            const fs::path target = folder / "x.lst";
            fs::create_directory(target);
            EXPECT_FALSE(saver.save(folder, target));
            EXPECT_TRUE(fs::is_directory(target));
        }
        {
            TempDir folder;
            fs::create_directory(folder / "real");
            folder.write("real/kept.lst", "old");
            const fs::path target = folder / "x.lst";
            fs::create_symlink(folder / "real" / "kept.lst", target);
            EXPECT_TRUE(saver.save(folder, target));
            EXPECT_TRUE(fs::is_symlink(target)) << "the link stays";
            EXPECT_NE(folder.read("real/kept.lst"), "old") << "the file it points to is replaced";
            // No temporary file is left beside the real target.
            const auto inReal = std::distance(fs::directory_iterator(folder / "real"),
                                              fs::directory_iterator());
            EXPECT_EQ(inReal, 1);
        }
    }
}
