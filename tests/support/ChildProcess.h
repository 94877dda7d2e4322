#pragma once
// Running part of a test in a forked child: for limits (file sizes) and
// identities (an ordinary user) that must not reach the test runner.

#include <functional>

namespace fbtest {

// Runs `body` in a forked child and returns its exit status, or -1 when it
// did not exit normally. The child leaves with _exit, running nothing of the
// parent's clean-up.
int inChild(const std::function<int()>& body);

// Permissions do not stop root: a child that must meet them becomes the
// ordinary user 65534 first. Returns false when that fails; true at once
// when not root.
bool becomeOrdinaryUser();

}  // namespace fbtest
