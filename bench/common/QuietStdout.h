#pragma once
// Silences standard output while it lives, so that console log lines of the code under measure
// neither mix with the figures nor add terminal time to them.
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace bench {

class QuietStdout
{
public:
    QuietStdout()
    {
        std::fflush(stdout);
        m_saved = dup(STDOUT_FILENO);
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) {
            dup2(devNull, STDOUT_FILENO);
            close(devNull);
        }
    }
    ~QuietStdout()
    {
        std::fflush(stdout);
        if (m_saved >= 0) {
            dup2(m_saved, STDOUT_FILENO);
            close(m_saved);
        }
    }
    QuietStdout(const QuietStdout &) = delete;
    QuietStdout &operator=(const QuietStdout &) = delete;

private:
    int m_saved = -1;
};

} // namespace bench
