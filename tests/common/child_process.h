#pragma once

#include <functional>

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pmv::test {

enum class As { Self, Unprivileged };

// Runs `body` in a child process; with As::Unprivileged as the user "nobody" when the test runs as
// root, whom no mode bit stops. True when the body returned true.
inline bool InChildProcess(As who, const std::function<bool()>& body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (who == As::Unprivileged && ::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            if (!nobody || ::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
                ::setuid(nobody->pw_uid) != 0)
                ::_exit(2);
        }
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace pmv::test
