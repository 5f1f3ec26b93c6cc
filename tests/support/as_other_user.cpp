#include "support/as_other_user.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <filesystem>

bool asOtherUser(const QString& tree, const std::function<void()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0) {
            constexpr uid_t kNobody = 65534;
            const std::filesystem::path root(QFile::encodeName(tree).toStdString());
            ::chown(root.c_str(), kNobody, kNobody);
            for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
                ::lchown(entry.path().c_str(), kNobody, kNobody);
            }
            if (setgid(kNobody) != 0 || setuid(kNobody) != 0) {
                _exit(2);
            }
        }
        body();
        _exit(testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
