// asm51: the 8051 assembler that the simulator runs from its editor.
//
//   asm51 [name]
//
// Run in the source folder. Assembles name.asm (or name.a51, or the file as
// named when it has an extension) and leaves name.lst and, when there are no
// errors, name.hex beside it (a HEX file of an earlier run is removed when
// there are errors). A source named like one of these outputs is refused.
// Without an argument the name is read from standard input. Messages go to
// standard output; the exit status is 0 only when there are no errors.
#include "asm51/assembler.h"
#include "asm51/output.h"
#include "common/install_layout.h"
#include "common/save_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <sstream>
#include <string>
#include <system_error>

namespace fs = std::filesystem;
using namespace quorvel::asm51;

namespace {

constexpr std::string_view kUsage =
    "usage: asm51 [name]\n"
    "  Assembles name.asm (or name.a51, or name itself when it has an extension)\n"
    "  into name.lst and, when there are no errors, name.hex. Without an argument\n"
    "  the name is read from standard input.\n";

constexpr std::array<std::string_view, 4> kSourceExtensions{".asm", ".a51", ".ASM", ".A51"};

bool isFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// Sources and included files are read whole; none comes near this.
constexpr uintmax_t kLargestSource = 16u << 20;

bool tooLarge(const fs::path& path) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    return ec || size > kLargestSource;
}

// A source or included file, read whole; `why` says what kept it from
// being read. Only a regular file is opened: a FIFO would wait for a
// writer for ever, and a device may never end.
std::optional<std::string> readFile(const std::string& path, std::string& why) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) {
        why = kNoSuchFile;
        return std::nullopt;
    }
    if (fs::is_directory(status)) {
        why = "a folder, not a file";
        return std::nullopt;
    }
    if (!fs::is_regular_file(status)) {
        why = fs::is_fifo(status) ? "a FIFO, not a file" : "not a regular file";
        return std::nullopt;
    }
    if (tooLarge(path)) {
        why = "larger than " + std::to_string(kLargestSource >> 20) + " MiB";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        why = "read error";
        return std::nullopt;
    }
    return text.str();
}

// The source file a name stands for: the name itself when such a file
// exists, else the name with one of the source extensions.
std::optional<fs::path> findSource(const std::string& name) {
    if (isFile(name)) return fs::path(name);
    if (fs::path(name).has_extension() && fs::path(name).extension() != ".")
        for (auto ext : kSourceExtensions)
            if (fs::path(name).extension() == ext) return std::nullopt;
    for (auto ext : kSourceExtensions)
        if (isFile(name + std::string(ext))) return fs::path(name + std::string(ext));
    return std::nullopt;
}

// The folder this program was started from, for its Mod51 file.
fs::path programFolder(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) return self.parent_path();
    fs::path given(argv0 ? argv0 : "");
    return given.has_parent_path() ? given.parent_path() : fs::path();
}

// Writes the whole text to a new temporary file beside `path` (through a
// symbolic link, beside the file it points to), flushes it to the disk, then
// renames it over the target, so a failed write never leaves a half-written
// file under the real name. A target that is not a regular file (a folder,
// a device, a FIFO) is refused, never replaced.
bool writeWhole(const fs::path& path, const std::string& text, std::string& error) {
    fs::path target;
    if (quorvel::resolveSaveTarget(path, target) != quorvel::SaveTarget::Ok) {
        error = "cannot write " + path.string() + ": not a regular file";
        return false;
    }
    const quorvel::SaveTemporary created = quorvel::createSaveTemporary(target);
    if (created.fd < 0) {
        error = "cannot write " + path.string() + ": " + std::strerror(created.error);
        return false;
    }
    const int fd = created.fd;
    const fs::path& temporary = created.path;
    bool ok = true;
    for (size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += size_t(n);
    }
    int saved = ok ? 0 : errno;
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        saved = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        std::error_code ec;
        fs::remove(temporary, ec);
        error = "cannot write " + path.string() + (saved ? std::string(": ") + std::strerror(saved) : "");
        return false;
    }
    return true;
}

// Removes a HEX file of an earlier run, so it cannot be loaded by mistake:
// only a regular file (never a link, device or FIFO that has the name).
void removeStaleHex(const fs::path& hex) {
    std::error_code ec;
    if (fs::symlink_status(hex, ec).type() == fs::file_type::regular && !fs::remove(hex, ec))
        std::cout << "asm51: cannot remove the old " << hex.string() << "\n";
}

int usage(int status) {
    std::cout << kUsage;
    return status;
}

} // namespace

static int run(int argc, char** argv) {
    std::string name;
    if (argc > 2) return usage(2);
    if (argc == 2) {
        name = argv[1];
        if (name == "-h" || name == "--help") return usage(0);
    } else {
        std::cout << "Source file: " << std::flush;
        if (!std::getline(std::cin, name)) name.clear();
        size_t a = name.find_first_not_of(" \t\r"), b = name.find_last_not_of(" \t\r");
        name = a == std::string::npos ? "" : name.substr(a, b - a + 1);
        std::cout << "\n";
        if (name.empty()) return usage(2);
    }

    std::optional<fs::path> source = findSource(name);
    fs::path base = fs::path(name);
    if (source)
        base = fs::path(*source).replace_extension();
    else if (fs::path(name).has_extension())
        base.replace_extension();
    const fs::path listing = fs::path(base) += ".lst";
    const fs::path hex = fs::path(base) += ".hex";
    if (!source) {
        std::cout << "asm51: cannot open "
                  << (fs::path(name).has_extension() ? name : name + ".asm") << "\n";
        return 1;
    }
    if (tooLarge(*source)) {
        std::cout << "asm51: " << source->string() << ": larger than "
                  << (kLargestSource >> 20) << " MiB, not assembled\n";
        return 1;
    }
    // The source is never an output: a source named like the listing or the
    // HEX file would be written over (or removed as a stale HEX).
    for (const fs::path& output : {listing, hex}) {
        std::error_code ec;
        if (fs::equivalent(*source, output, ec)) {
            std::cout << "asm51: cannot write " << output.string() << ": it is the source file\n";
            return 2;
        }
    }

    AssemblyOptions options;
    options.readFile = readFile;
    options.definitionFiles.push_back("Mod51");
    if (source->has_parent_path())
        options.definitionFiles.push_back((source->parent_path() / "Mod51").string());
    fs::path folder = programFolder(argc > 0 ? argv[0] : nullptr);
    if (!folder.empty()) {
        options.definitionFiles.push_back(quorvel::mod51Beside(folder).string());
        options.definitionFiles.push_back(quorvel::installedMod51(folder).string());
    }

    AssemblyResult result = assemble(source->string(), options);
    for (const Message& m : result.messages)
        std::cout << formatMessage(m) << "\n";

    int status = result.errors == 0 ? 0 : 1;
    std::string error;
    if (!writeWhole(listing, listingText(result, source->filename().string()), error)) {
        std::cout << "asm51: " << error << "\n";
        status = 1;
    }
    if (result.errors == 0 && status == 0) {
        if (!writeWhole(hex, intelHexText(result.image), error)) {
            std::cout << "asm51: " << error << "\n";
            removeStaleHex(hex);
            status = 1;
        }
    } else {
        removeStaleHex(hex);
    }
    std::cout << source->filename().string() << ": " << countText(result.errors, result.warnings);
    if (status == 0)
        std::cout << "; wrote " << hex.filename().string() << " and "
                  << listing.filename().string();
    std::cout << "\n";
    return status;
}

// Memory running out (a memory limit) is said, not an abort.
int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::cout << "asm51: out of memory" << std::endl;
        return 1;
    }
}
