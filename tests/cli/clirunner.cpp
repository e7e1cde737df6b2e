#include "clirunner.h"

#include "curves/curvesb.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

TCliResult RunCli(const std::vector<std::string>& args, const std::string& input) {
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe(inPipe) != 0 || pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&fa, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&fa, errPipe[1], 2);
    for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
        posix_spawn_file_actions_addclose(&fa, fd);
    std::vector<std::string> all{GRAPHMILL_CLI};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, GRAPHMILL_CLI, &fa, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start graphmill-cli");
    posix_spawn_file_actions_destroy(&fa);
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    signal(SIGPIPE, SIG_IGN);
    fcntl(inPipe[1], F_SETFL, O_NONBLOCK);
    TCliResult r;
    size_t sent = 0;
    int inFd = inPipe[1];
    if (input.empty()) {
        close(inFd);
        inFd = -1;
    }
    bool outOpen = true, errOpen = true;
    char buf[65536];
    while (outOpen || errOpen) {
        pollfd fds[3] = {{outOpen ? outPipe[0] : -1, POLLIN, 0},
                         {errOpen ? errPipe[0] : -1, POLLIN, 0},
                         {inFd, POLLOUT, 0}};
        poll(fds, 3, -1);
        if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t w = write(inFd, input.data() + sent, input.size() - sent);
            if (w > 0) sent += static_cast<size_t>(w);
            if (w < 0 || sent == input.size()) {
                close(inFd);
                inFd = -1;
            }
        }
        for (int k = 0; k < 2; ++k) {
            if (!(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = read(fds[k].fd, buf, sizeof buf);
            if (n <= 0) {
                close(fds[k].fd);
                (k == 0 ? outOpen : errOpen) = false;
            } else {
                (k == 0 ? r.out : r.err).append(buf, static_cast<size_t>(n));
            }
        }
    }
    if (inFd >= 0) close(inFd);
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::vector<TPoint> Points(const std::string& text) {
    const TCurveB curve = TCurveB::CreateFromText(text);
    std::vector<TPoint> points;
    for (int32_t i = 1; i <= curve.Count(); ++i) points.push_back({curve.X(i), curve.Y(i)});
    return points;
}

std::string CurveText(const std::vector<TPoint>& points) {
    std::string text;
    char line[80];
    for (const auto& p : points) {
        std::snprintf(line, sizeof line, "%.17g %.17g\n", p.x, p.y);
        text += line;
    }
    return text;
}

std::vector<TPoint> RunCurve(const std::vector<std::string>& args, const std::string& input) {
    const TCliResult r = RunCli(args, input);
    EXPECT_EQ(r.status, 0) << r.err;
    return Points(r.out);
}
