// SPDX-License-Identifier: MIT
#include "cli/terminal_password.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace coffer {
namespace {

void WriteAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written <= 0)
            return;
        done += static_cast<std::size_t>(written);
    }
}

// Reads key by key: the terminal's own line editing and signals are off, so that Ctrl-C gives up
// here instead of ending the program with the echo still off.
std::optional<std::string> ReadHidden(int tty, const termios& keys) {
    std::string password;
    for (char key = 0; ::read(tty, &key, 1) == 1;) {
        if (key == '\n' || key == '\r')
            return password;
        if (key == static_cast<char>(keys.c_cc[VINTR]) || key == static_cast<char>(keys.c_cc[VEOF]))
            return std::nullopt;
        if (key == static_cast<char>(keys.c_cc[VERASE]) || key == '\b') {
            if (!password.empty())
                password.pop_back();
        } else {
            password += key;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> AskPasswordOnTerminal(const std::string& shownName) {
    const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0)
        return std::nullopt;
    termios saved{};
    if (::tcgetattr(tty, &saved) != 0) {
        ::close(tty);
        return std::nullopt;
    }
    termios hidden = saved;
    hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | ISIG);
    hidden.c_cc[VMIN] = 1;
    hidden.c_cc[VTIME] = 0;
    // The echo goes off before the question: keys typed in answer are never shown.
    std::optional<std::string> password;
    if (::tcsetattr(tty, TCSAFLUSH, &hidden) == 0) {
        WriteAll(tty, "Password for " + shownName + ": ");
        password = ReadHidden(tty, saved);
        ::tcsetattr(tty, TCSAFLUSH, &saved);
        WriteAll(tty, "\n");
    }
    ::close(tty);
    return password;
}

} // namespace coffer
