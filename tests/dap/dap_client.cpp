#include "dap_client.h"

#include "test_support.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvel::dap::test {

DapClient::DapClient(const std::filesystem::path& folder) : folder_(folder) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) {
        ADD_FAILURE() << "no pipes";
        return;
    }
    const std::string program = support::cliProgram().string();
    const std::string err = (folder / "dap.err").string();
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        const int errFile = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (errFile >= 0) dup2(errFile, 2);
        for (int fd : {in[0], in[1], out[0], out[1], errFile}) close(fd);
        if (chdir(folder.c_str()) != 0) _exit(126);
        execl(program.c_str(), program.c_str(), "--dap", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    in_ = in[1];
    out_ = out[0];
    std::signal(SIGPIPE, SIG_IGN);
}

DapClient::~DapClient() {
    closeInput();
    if (pid_ > 0) wait();
    if (out_ >= 0) close(out_);
}

int DapClient::send(std::string_view command, Json arguments) {
    const int seq = seq_++;
    Json request{{"seq", seq}, {"type", "request"}, {"command", command}};
    if (!arguments.empty()) request["arguments"] = std::move(arguments);
    sendRaw(frameMessage(request.dump()));
    return seq;
}

void DapClient::sendRaw(std::string_view bytes) {
    while (!bytes.empty() && in_ >= 0) {
        const ssize_t n = ::write(in_, bytes.data(), bytes.size());
        if (n <= 0) {
            ADD_FAILURE() << "the server does not read its input";
            return;
        }
        bytes.remove_prefix(size_t(n));
    }
}

void DapClient::closeInput() {
    if (in_ >= 0) close(in_);
    in_ = -1;
}

Json DapClient::next() {
    if (!kept_.empty()) {
        Json message = std::move(kept_.front());
        kept_.pop_front();
        return message;
    }
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    for (;;) {
        if (std::optional<Frame> frame = reader_.next()) {
            EXPECT_EQ(frame->error, "") << "the server wrote a broken frame";
            return Json::parse(frame->body);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd fd{out_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&fd, 1, int(left.count())) <= 0) {
            ADD_FAILURE() << "no message from the server within " << kWait.count() << " s";
            return Json();
        }
        char buffer[65536];
        const ssize_t n = ::read(out_, buffer, sizeof buffer);
        if (n <= 0) return Json();
        reader_.feed(std::string_view(buffer, size_t(n)));
    }
}

Json DapClient::response(int seq) {
    std::deque<Json> events;
    for (;;) {
        Json message = next();
        if (message.is_null() || (message["type"] == "response" && message["request_seq"] == seq)) {
            kept_.insert(kept_.begin(), events.begin(), events.end());
            if (message.is_null()) ADD_FAILURE() << "no response to request " << seq;
            return message;
        }
        events.push_back(std::move(message));
    }
}

Json DapClient::event(std::string_view name) {
    for (;;) {
        Json message = next();
        if (message.is_null()) {
            ADD_FAILURE() << "no " << name << " event";
            return message;
        }
        if (message["type"] == "event" && message["event"] == name) return message;
    }
}

int DapClient::wait() {
    if (status_ != -2) return status_;
    // The server's output ends when it does; what it still writes is read
    // (and dropped) so that it never blocks on a full pipe.
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd fd{out_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&fd, 1, int(left.count())) <= 0) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            return status_ = -1;
        }
        char buffer[65536];
        if (::read(out_, buffer, sizeof buffer) <= 0) break;
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    return status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace quorvel::dap::test
