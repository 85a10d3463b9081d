// A machine in a scratch folder for runs of the built mirt as real users (numeric ids, no
// system users made): a home per user, a virtual scanner every user may read, and a system
// temporary directory and runtime folders that a reboot empties.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/child_process.h"
#include "tests/tools/mirt_program.h"

namespace mirt_test {

// Two users of the machine, neither of them root, so that each direction of "unreadable" counts.
inline constexpr unsigned kUsers[] = {60001, 60002};

// How far (in lines) a page scanned from the ready position on virtual time may lie from where
// the ground truth puts it.
inline constexpr int32_t kReach = 20;

class Machine {
public:
    Machine() : root_(ordavel::test::MakeScratchDir("machine")) {
        fs::permissions(root_, fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
        fs::copy_file(ordavel::test::DataDir() + "/virtual/reference.ini", scanner());
        for (const unsigned uid : kUsers) {
            fs::create_directory(home(uid));
            Own(home(uid), uid, 0700);
        }
        boot();
    }
    ~Machine() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    // Everything in the temporary and runtime folders is gone, as after a restart.
    void reboot() {
        std::error_code ec;
        fs::remove_all(tmp(), ec);
        for (const unsigned uid : kUsers) fs::remove_all(runtime(uid), ec);
        ++boots_;
        boot();
    }

    fs::path home(unsigned uid) const { return root_ / ("home-" + std::to_string(uid)); }
    fs::path stateDir(unsigned uid) const { return home(uid) / ".local" / "state" / "mirt"; }
    fs::path scanner() const { return root_ / "scanner.ini"; }

    // A command line run as `uid` from its home, with the environment a login gives it and none
    // of the driver's own overrides.
    MirtRun run(unsigned uid, const std::string& command) const {
        const std::string id = std::to_string(uid);
        return ordavel::test::RunShellCommand(
            "cd '" + home(uid).string() + "' && env -u MIRT_STATE_DIR -u XDG_STATE_HOME -u MIRT_RUNTIME_DIR HOME='" +
            home(uid).string() + "' TMPDIR='" + tmp().string() + "' XDG_RUNTIME_DIR='" + runtime(uid).string() +
            "' setpriv --reuid=" + id + " --regid=" + id + " --clear-groups " + command);
    }
    // mirt with the machine's virtual scanner as the user's own.
    MirtRun mirt(unsigned uid, const std::string& arguments) const {
        return mirtWith(uid, "MIRT_VIRTUAL_PRIVATE=1 MIRT_VIRTUAL_SCANNER='" + scanner().string() + "'", arguments);
    }
    // mirt with the given variables and no scanner chosen for it.
    MirtRun mirtWith(unsigned uid, const std::string& environment, const std::string& arguments) const {
        return run(uid, "env -u MIRT_VIRTUAL_SCANNER " + environment + " '" + ordavel::test::BinaryDir() + "/bin/mirt' " +
                            arguments);
    }
    const fs::path& root() const { return root_; }
    // The system temporary directory of this boot ($TMPDIR of every run).
    fs::path tmp() const { return root_ / ("tmp-boot" + std::to_string(boots_)); }

    // Everything under `path` (links themselves, not what they name) becomes the user's.
    static void give(const fs::path& path, unsigned uid) {
        ASSERT_EQ(::lchown(path.c_str(), uid, uid), 0) << path;
        if (!fs::is_directory(fs::symlink_status(path))) return;
        for (const auto& entry : fs::recursive_directory_iterator(path)) {
            ASSERT_EQ(::lchown(entry.path().c_str(), uid, uid), 0) << entry.path();
        }
    }

private:
    static void Own(const fs::path& path, unsigned uid, mode_t mode) {
        ASSERT_EQ(::chown(path.c_str(), uid, uid), 0) << path;
        ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
    }
    fs::path runtime(unsigned uid) const { return root_ / ("run-" + std::to_string(uid) + "-boot" + std::to_string(boots_)); }
    void boot() {
        fs::create_directory(tmp());
        ASSERT_EQ(::chmod(tmp().c_str(), 01777), 0);
        for (const unsigned uid : kUsers) {
            fs::create_directory(runtime(uid));
            Own(runtime(uid), uid, 0700);
        }
    }

    fs::path root_;
    int boots_ = 0;
};

}  // namespace mirt_test
