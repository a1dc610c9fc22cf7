// Every saver - the settings files' atomic writer, Save Memory, the transfer
// lists and the assembler's outputs - writes beside its target and renames
// over it. On a FIFO or a folder that would replace the node: each refuses
// instead and leaves it as it was. Through a symbolic link each replaces the
// file the link points to and keeps the link. A temporary file that a killed
// save left behind is removed by the next save of the same file.
#include "test_support.h"

#include "modules/transfer_lists.h"
#include "settings/settings_io.h"
#include "tools/memory_saver.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

bool transferListSaver(const TempDir&, const fs::path& target) {
    return saveTextFile(target, "41(A)").outcome == SaveOutcome::Saved;
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
        {"transfer list", transferListSaver},
        {"asm51 listing", assembler},
    };
    // The process number of a process that has ended.
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_GT(ended, 0);
    ::waitpid(ended, nullptr, 0);
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
        {
            // What a save killed halfway left goes; a running save's
            // temporary and other files stay.
            TempDir folder;
            const std::string abandoned = ".x.lst." + std::to_string(ended) + "-17.tmp";
            const std::string running = ".x.lst." + std::to_string(::getppid()) + "-17.tmp";
            const std::string other = ".y.lst." + std::to_string(ended) + "-17.tmp";
            for (const auto& name : {abandoned, running, other}) folder.write(name, "half");
            EXPECT_TRUE(saver.save(folder, folder / "x.lst"));
            EXPECT_FALSE(folder.exists(abandoned));
            EXPECT_TRUE(folder.exists(running));
            EXPECT_TRUE(folder.exists(other));
        }
    }
}

// On a read-only medium Save Memory and the transfer lists say "Disk is
// Write Protected" and offer Retry, whether the file exists or not. The
// medium is a read-only tmpfs mounted in a mount namespace of a child
// process, which reports what it saw through its exit status.
TEST(SaveTargets, ReadOnlyMediumOffersRetryForNewAndExistingFiles) {
    TempDir folder;
    fs::create_directory(folder / "medium");
    const fs::path medium = folder / "medium";
    const pid_t child = ::fork();
    if (child == 0) {
        const bool root = ::geteuid() == 0;
        if (::unshare(root ? CLONE_NEWNS : (CLONE_NEWUSER | CLONE_NEWNS)) != 0) ::_exit(10);
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) ::_exit(11);
        if (::mount("tmpfs", medium.c_str(), "tmpfs", 0, nullptr) != 0) ::_exit(12);
        writeFile(medium / "old.bin", "old");
        if (::mount(nullptr, medium.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            ::_exit(13);
        int failures = 0;
        for (const char* name : {"new.bin", "old.bin"}) {
            Machine machine = makeMachine();
            MemorySaver saver;
            const auto refused = saver.begin(medium / name, SaveSettings{});
            if (!refused || !refused->retry || refused->message.text != "Disk is Write Protected")
                ++failures;
            const SaveResult list = saveTextFile(medium / name, "41(A)");
            if (list.outcome != SaveOutcome::WriteProtected) ++failures;
        }
        ::_exit(failures);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10-13: the read-only medium could not be set up";
}
