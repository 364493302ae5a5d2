#pragma once

#include <string>

namespace quillon::test {

// A temporary directory published as $QUILLON_COM_DIR for the object's life, in which COM
// numbers can be linked to devices. The previous value of the variable comes back afterwards.
class TempComDir {
public:
    TempComDir();
    ~TempComDir();
    TempComDir(const TempComDir&) = delete;
    TempComDir& operator=(const TempComDir&) = delete;

    const std::string& Path() const { return dir_; }
    // Makes COM `n` a symbolic link to `target` (which need not exist).
    void Link(int n, const std::string& target);
    void Unlink(int n);
    std::string EntryPath(int n) const;

private:
    std::string dir_;
    bool hadPrevious_ = false;
    std::string previous_;
};

}  // namespace quillon::test
