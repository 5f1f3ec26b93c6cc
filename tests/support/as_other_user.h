#pragma once

#include <functional>

#include <QString>

// Runs `body` in a forked child that is not root, so that file permissions hold as they do for
// a user: as root, the child first hands `tree` to nobody and becomes nobody. Returns true when
// the child ran `body` without a failed expectation.
bool asOtherUser(const QString& tree, const std::function<void()>& body);
