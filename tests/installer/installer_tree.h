// A scratch tree for the built installer: the program and its INF files in bin/, a Windows
// directory, a sysfs tree, udev rules and hardware-database folders; runs the program there and
// reads what it wrote.
#pragma once

#include <string>
#include <vector>

#include "tests/support/scratch_files.h"

namespace installer::test {

struct InstallerRun {
    int exitCode = -1;
    std::string log;     // standard output: the log box
    std::string errors;  // standard error: message boxes
};

class InstallerTree {
public:
    InstallerTree();

    // `environment`: extra "NAME=value" words that override the tree's own.
    InstallerRun run(const std::string& arguments, const std::string& environment = "") const;

    std::string bin(const std::string& name = "") const { return path("bin/" + name); }
    std::string windows(const std::string& name = "") const { return path("win/" + name); }
    std::string path(const std::string& relative) const { return dir_.file(relative); }
    // A USB device in the sysfs tree under `entry` ("1-2"), vendor and product as sysfs writes them.
    void plugUsb(const std::string& entry, const std::string& vendor, const std::string& product) const;
    void write(const std::string& relative, const std::string& content) const;
    std::vector<std::string> files(const std::string& relativeDirectory) const;
    std::string ruleFile() const;  // empty when there is none
    std::string hwdbFile() const;  // the scanners' hardware-database file; empty when there is none

private:
    ordavel::test::ScratchDir dir_;
};

// "line\r\n" for each line.
std::string LogOf(const std::vector<std::string>& lines);

}  // namespace installer::test
