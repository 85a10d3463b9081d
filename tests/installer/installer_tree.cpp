// The installer's scratch tree.
#include "tests/installer/installer_tree.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/wait.h>

#include "tests/support/test_paths.h"

namespace installer::test {

namespace fs = std::filesystem;

InstallerTree::InstallerTree() : dir_("installer") {
    for (const char* sub : {"bin", "win", "sys/bus/usb/devices", "rules", "hwdb"}) fs::create_directories(path(sub));
    // The program takes its INF files from its own directory, so it runs from a copy beside them.
    fs::copy_file(ordavel::test::BinaryDir() + "/bin/install", bin("install"));
    for (const auto& entry : fs::directory_iterator(ordavel::test::DataDir() + "/inf")) {
        if (entry.path().extension() == ".INF") fs::copy_file(entry.path(), bin(entry.path().filename().string()));
    }
}

InstallerRun InstallerTree::run(const std::string& arguments, const std::string& environment) const {
    const std::string command = "env MIRT_WINDIR='" + windows() + "' MIRT_SYSFS='" + path("sys") +
                                "' MIRT_UDEV_RULES_DIR='" + path("rules") + "' MIRT_UDEVADM= MIRT_UDEV_HWDB_DIR='" +
                                path("hwdb") + "' MIRT_SYSTEMD_HWDB= " + environment + " '" + bin("install") +
                                "' " + arguments + " > '" + path("out.txt") + "' 2> '" + path("err.txt") + "'";
    InstallerRun result;
    const int status = std::system(command.c_str());
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.log = ordavel::test::ReadWholeFile(path("out.txt"));
    result.errors = ordavel::test::ReadWholeFile(path("err.txt"));
    return result;
}

void InstallerTree::plugUsb(const std::string& entry, const std::string& vendor, const std::string& product) const {
    const std::string base = "sys/bus/usb/devices/" + entry;
    fs::create_directories(path(base));
    write(base + "/idVendor", vendor + "\n");
    write(base + "/idProduct", product + "\n");
}

void InstallerTree::write(const std::string& relative, const std::string& content) const {
    fs::create_directories(fs::path(path(relative)).parent_path());
    std::ofstream(path(relative), std::ios::binary) << content;
}

std::vector<std::string> InstallerTree::files(const std::string& relativeDirectory) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(path(relativeDirectory), ec)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string InstallerTree::ruleFile() const {
    const std::string rule = path("rules/70-mirt-installed-drivers.rules");
    return fs::exists(rule) ? ordavel::test::ReadWholeFile(rule) : std::string();
}

std::string InstallerTree::hwdbFile() const {
    const std::string hwdb = path("hwdb/60-mirt-installed-drivers.hwdb");
    return fs::exists(hwdb) ? ordavel::test::ReadWholeFile(hwdb) : std::string();
}

std::string LogOf(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

}  // namespace installer::test
