#include "helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

TempDir::TempDir() {
    char pattern[] = "/tmp/mordrin-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    path = pattern;
    chmod(pattern, 0777);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path, std::filesystem::perms::all, ignored);
    std::filesystem::remove_all(path, ignored);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadToEnd(int handle) {
    std::string text;
    char chunk[4096];
    ssize_t got;
    while ((got = read(handle, chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<size_t>(got));
    close(handle);
    return text;
}

bool Exists(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}
