// posix_spawn's file actions and attributes, each destroyed with the scope that made it.
#pragma once

#include <spawn.h>

template <typename Setting, int (*Init)(Setting*), int (*Destroy)(Setting*)>
class SpawnSetting {
public:
    SpawnSetting() { ok_ = Init(&setting_) == 0; }
    ~SpawnSetting() {
        if (ok_) Destroy(&setting_);
    }
    SpawnSetting(const SpawnSetting&) = delete;
    SpawnSetting& operator=(const SpawnSetting&) = delete;
    // False when it could not be made (no memory): it must not be used then.
    bool ok() const { return ok_; }
    Setting* get() { return &setting_; }

private:
    Setting setting_{};
    bool ok_ = false;
};

using SpawnFileActions = SpawnSetting<posix_spawn_file_actions_t, posix_spawn_file_actions_init,
                                      posix_spawn_file_actions_destroy>;
using SpawnAttributes =
    SpawnSetting<posix_spawnattr_t, posix_spawnattr_init, posix_spawnattr_destroy>;
