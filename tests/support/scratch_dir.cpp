// scratch_dir.cpp - ScratchDir and RemoveTree.
//
// Natively the tree is removed with std::filesystem (which never follows a
// symbolic link out of the tree); on Windows with the platform layer's own
// listing and delete calls, because names are ANSI bytes there and
// std::filesystem would reinterpret them.
#include "support/scratch_dir.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/platform.h"

#ifndef _WIN32
#include <filesystem>
#include <system_error>
#endif

namespace tovra::test {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

}  // namespace

ScratchDir::ScratchDir() {
    std::string base = platform::TempDirectory();
    if (base.empty()) {
        std::fprintf(stderr, "ScratchDir: no temporary directory\n");
        std::abort();
    }
    std::random_device device;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, "tovra-test-%08x", static_cast<unsigned>(device()));
        std::string candidate = base + name;
        if (platform::MakeDirectory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    std::fprintf(stderr, "ScratchDir: cannot create a directory in %s\n", base.c_str());
    std::abort();
}

ScratchDir::~ScratchDir() {
    if (!RemoveTree(path_)) std::fprintf(stderr, "ScratchDir: could not remove all of %s\n", path_.c_str());
}

std::string ScratchDir::operator/(const std::string& relative) const { return path_ + kSeparator + relative; }

std::string ScratchDir::WithSeparator() const { return path_ + kSeparator; }

#ifdef _WIN32

bool RemoveTree(const std::string& path) {
    platform::FileStatus status;
    if (!platform::GetFileStatus(path, &status)) return !platform::FileExists(path);
    platform::SetAttributes(path, platform::kAttrNormal);
    if (!status.isDirectory) return platform::DeletePath(path);
    bool ok = true;
    const std::string prefix = platform::EndsInSeparator(path) ? path : path + kSeparator;
    platform::DirectoryFinder finder;
    platform::FindData entry;
    std::vector<std::string> children;
    for (bool more = finder.FindFirst(prefix + "*", &entry); more; more = finder.FindNext(&entry)) {
        if (entry.name != "." && entry.name != "..") children.push_back(prefix + entry.name);
    }
    finder.Close();
    for (const std::string& child : children) ok = RemoveTree(child) && ok;
    return platform::RemoveEmptyDirectory(path) && ok;
}

#else

bool RemoveTree(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path root(path);
    if (fs::is_directory(fs::symlink_status(root, error))) {
        // Entries of a directory without write permission cannot be removed
        // (unless running as root): open every directory up first.
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, error);
        for (auto it = fs::recursive_directory_iterator(root, error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it->is_directory() && !it->is_symlink()) {
                std::error_code ignored;
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
            }
        }
    }
    error.clear();
    fs::remove_all(root, error);
    return !error;
}

#endif

}  // namespace tovra::test
