#pragma once
#include <string>
#include <vector>

// A fresh folder under /tmp, removed with everything in it when the test ends. It is
// open to every user so that a run as an unprivileged user can work inside it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// The names in the folder, sorted, so that a left-over temporary file shows.
std::vector<std::string> Listing(const std::string& folder);
// Everything that can be read from the descriptor until its end; closes it.
std::string ReadToEnd(int handle);
