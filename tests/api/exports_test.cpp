// exports_test.cpp - the fourteen exports as a host sees them: the names can be
// found at run time (LoadLibrary/GetProcAddress, dlopen/dlsym), the constant
// exports answer the same in every state, and the aliases are the same
// functions.
#include <gtest/gtest.h>

#include <string>

#include "tovra.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

constexpr const char* kExportNames[] = {
    "Unzip",
    "UnzipCheckArchive",
    "UnzipCloseArchive",
    "UnzipExtractAll",
    "UnzipExtractToMem",
    "UnzipFindFirst",
    "UnzipFindNext",
    "UnzipGetBackGroundMode",
    "UnzipGetRunning",
    "UnzipGetVersion",
    "UnzipOpenArchive",
    "UnzipSetBackGroundMode",
    "UnzipSetCursorMode",
    "Zip",
};

// The library loaded by name, as a host that does not link it would.
class LoadedLibrary {
public:
    LoadedLibrary() {
#ifdef _WIN32
        module_ = LoadLibraryA("TOVRA64.dll");
#else
        module_ = dlopen("libtovra64.so", RTLD_NOW);
#endif
    }
    ~LoadedLibrary() {
#ifdef _WIN32
        if (module_ != nullptr) FreeLibrary(module_);
#else
        if (module_ != nullptr) dlclose(module_);
#endif
    }
    bool Loaded() const { return module_ != nullptr; }
    void* Find(const char* name) const {
#ifdef _WIN32
        return reinterpret_cast<void*>(GetProcAddress(module_, name));
#else
        return dlsym(module_, name);
#endif
    }

private:
#ifdef _WIN32
    HMODULE module_ = nullptr;
#else
    void* module_ = nullptr;
#endif
};

template <class Function>
Function As(void* address) {
    return reinterpret_cast<Function>(address);
}

TEST(ExportsTest, EveryExportCanBeFoundAndCalledByName) {
    LoadedLibrary library;
    ASSERT_TRUE(library.Loaded());
    for (const char* name : kExportNames) {
        EXPECT_NE(library.Find(name), nullptr) << name;
    }
    using NoArguments = int(TOVRA_CALL*)(void);
    using OneInt = int(TOVRA_CALL*)(int);
    EXPECT_EQ(As<NoArguments>(library.Find("UnzipGetVersion"))(), 131);
    EXPECT_EQ(As<NoArguments>(library.Find("UnzipGetRunning"))(), 0);
    EXPECT_EQ(As<NoArguments>(library.Find("UnzipGetBackGroundMode"))(), 0);
    EXPECT_EQ(As<OneInt>(library.Find("UnzipSetBackGroundMode"))(7), 1);
    EXPECT_EQ(As<OneInt>(library.Find("UnzipSetCursorMode"))(-3), 1);

    // The aliases are one function under two names.
    EXPECT_EQ(library.Find("UnzipGetRunning"), library.Find("UnzipGetBackGroundMode"));
    EXPECT_EQ(library.Find("UnzipSetCursorMode"), library.Find("UnzipSetBackGroundMode"));

    using UnzipFunction = int(TOVRA_CALL*)(TovraWindow, const char*, char*, int);
    char buffer[8] = "unused";
    EXPECT_EQ(As<UnzipFunction>(library.Find("Unzip"))(nullptr, "", buffer, sizeof buffer), 9);
    EXPECT_STREQ(buffer, "unused");
    using CloseFunction = int(TOVRA_CALL*)(TovraArchive);
    EXPECT_EQ(As<CloseFunction>(library.Find("UnzipCloseArchive"))(nullptr), 0);
    using OpenFunction = TovraArchive(TOVRA_CALL*)(TovraWindow, const char*, int);
    EXPECT_EQ(As<OpenFunction>(library.Find("UnzipOpenArchive"))(nullptr, "no such archive.zip", 0), nullptr);
    using CheckFunction = int(TOVRA_CALL*)(const char*, int);
    EXPECT_EQ(As<CheckFunction>(library.Find("UnzipCheckArchive"))("no such archive.zip", 0), 0);
}

TEST(ExportsTest, ConstantExportsDoNotDependOnState) {
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(UnzipGetVersion(), 131);
        EXPECT_EQ(UnzipGetRunning(), 0);
        EXPECT_EQ(UnzipGetBackGroundMode(), 0);
        EXPECT_EQ(UnzipSetBackGroundMode(1), 1);
        EXPECT_EQ(UnzipSetCursorMode(0), 1);
        char buffer[4] = "abc";
        EXPECT_EQ(Unzip(nullptr, "-l", buffer, 4), 9);
        EXPECT_STREQ(buffer, "abc");
    }
    EXPECT_EQ(UnzipCloseArchive(nullptr), 0);
}

}  // namespace
