// saned on the loopback interface serves the virtual scanner to scanimage through SANE's net
// backend, each in a configuration folder of its own.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/sane/scanimage_desk.h"
#include "tests/sane/scanned_image.h"
#include "tests/support/scratch_files.h"

extern char** environ;

namespace {

using namespace ordavel::test;

// The net backend reaches saned only on the sane-port service (6566).
constexpr uint16_t kSanePort = 6566;

bool LoopbackPortAnswers() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kSanePort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool answered = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return answered;
}

// saned in standalone mode, in the foreground, on 127.0.0.1 only, ended with the test (and by
// timeout(1) at the latest).
class Saned {
public:
    explicit Saned(const ScanimageDesk& desk) {
        std::vector<std::string> words = {"env", "-u", "MIRT_VIRTUAL_SCANNER"};
        std::istringstream variables(desk.environment());
        for (std::string v; variables >> v;) {
            // The desk's environment quotes its values for a shell; there is none here.
            std::string unquoted;
            for (char c : v) if (c != '\'') unquoted += c;
            words.push_back(unquoted);
        }
        for (const char* w : {"timeout", "-k", "5", "60", "saned", "-l", "-e", "-b", "127.0.0.1", "-d", "1"}) words.emplace_back(w);
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, "env", nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    }
    ~Saned() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);  // timeout(1) passes it on to saned
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    Saned(const Saned&) = delete;
    Saned& operator=(const Saned&) = delete;

    // Waits up to five seconds for saned to listen.
    bool listening() const {
        for (int i = 0; i < 100 && pid_ > 0; ++i) {
            if (LoopbackPortAnswers()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

private:
    pid_t pid_ = -1;
};

TEST(SanedOnLoopback, ServesTheVirtualScannerToScanimageOverTheNetBackend) {
    ASSERT_EQ(ScanimageDesk::SharedCalibrationProblem(), "");
    if (LoopbackPortAnswers()) GTEST_SKIP() << "another saned already listens on port 6566";
    ScanimageDesk desk("saned");
    desk.load({"chart", "document"});
    std::ofstream(desk.configDir() + "/saned.conf") << "127.0.0.1\n";
    const std::string client = desk.file("client");
    std::filesystem::create_directories(client);
    std::ofstream(client + "/dll.conf") << "net\n";
    std::ofstream(client + "/net.conf") << "connect_timeout = 5\n127.0.0.1\n";
    const std::string asClient = "env SANE_CONFIG_DIR='" + client + "' scanimage";

    Saned saned(desk);
    ASSERT_TRUE(saned.listening());
    const ProgramRun list = desk.run(asClient, "-L");
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("device `net:127.0.0.1:mirt:virtual0' is a Mirt Sheet Scanner (virtual)"), std::string::npos)
        << list.out;

    const ProgramRun batch =
        desk.run(asClient, "-d net:127.0.0.1:mirt:virtual0 --batch=n%03d.pnm --format=pnm --source ADF");
    EXPECT_EQ(batch.exitCode, 0) << batch.err;
    EXPECT_NE(batch.err.find("Document feeder out of documents"), std::string::npos) << batch.err;
    const char* pages[] = {"chart", "document"};
    for (int i = 0; i < 2; ++i) {
        const GreyImage image = ParsePnm(ReadWholeFile(desk.file("n00" + std::to_string(i + 1) + ".pnm")));
        ASSERT_FALSE(image.empty()) << "page " << i + 1;
        EXPECT_GT(PageAgreement(image, pages[i], {}), 0.9) << "page " << i + 1;
    }
}

}  // namespace
