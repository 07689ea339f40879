#pragma once

#include <dlfcn.h>

#include <gtest/gtest.h>

#include "cameraobject.h"

// The plug-in as a host sees it: a file opened with dlopen and two entry
// points found by name. Nothing of the driver is linked.
class PluginHost : public ::testing::Test {
public:
    using CreateFn = ICameraObject* (*)(tagQZ_CAMERA_OPTION*, IPoolCallback*);
    using DeleteFn = void (*)(ICameraObject*);

protected:
    static void SetUpTestSuite() {
        s_handle = dlopen(QZCAM_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(s_handle, nullptr) << dlerror();
        s_create = reinterpret_cast<CreateFn>(dlsym(s_handle, "Camera_Create"));
        s_delete = reinterpret_cast<DeleteFn>(dlsym(s_handle, "Camera_Delete"));
        ASSERT_NE(s_create, nullptr);
        ASSERT_NE(s_delete, nullptr);
    }

    static void TearDownTestSuite() {
        if (s_handle != nullptr) {
            dlclose(s_handle);
        }
    }

    static inline void* s_handle = nullptr;
    static inline CreateFn s_create = nullptr;
    static inline DeleteFn s_delete = nullptr;
};
