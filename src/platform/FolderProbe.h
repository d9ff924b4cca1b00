#pragma once

#include <QString>
#include <chrono>
#include <functional>

// Asks statfs() of a local folder in a child process, so that a folder whose server hangs can
// stall only that child: no thread of this process ever touches the folder.
namespace FolderProbe {

enum class Answer { answered, failed, noAnswer };

// Starts a child (`stat -f`, from a spawning thread: creating a process is costly for the
// thread that does it) that calls statfs() on the folder and exits. A child still running
// after the bound is killed and the answer is noAnswer; a child stuck in the kernel is reaped
// whenever it ends, never waited for, and while it lives no second child is started for the folder
// (the answer is noAnswer at once). `done` runs once, on the main thread, from the event loop. Main
// thread only.
void statfsInChild(const QString &folder, std::chrono::milliseconds bound,
                   std::function<void(Answer)> done);

} // namespace FolderProbe
