// Moves the process into a folder for a scope and back afterwards. The way back is held as a
// descriptor, so it works even when the old folder's path is hidden by a mount meanwhile.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <string>

class WorkingFolder {
public:
    explicit WorkingFolder(const std::string& folder)
        : previous_(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
          entered_(previous_ >= 0 && chdir(folder.c_str()) == 0) {}
    ~WorkingFolder() {
        if (entered_) (void)fchdir(previous_);
        if (previous_ >= 0) close(previous_);
    }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    bool entered() const { return entered_; }

private:
    int previous_;
    bool entered_;
};
