#include "ui/SettingsStore.h"

#include <QSettings>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace freqrelay;

namespace {

// The store in a folder of the test's own, for the user's and the system's
// settings alike.
class StoreFolder {
public:
    StoreFolder() {
        std::filesystem::remove_all(top_);
        std::filesystem::create_directories(top_);
        setPath(top_);
    }
    ~StoreFolder() { std::filesystem::remove_all(top_); }
    StoreFolder(const StoreFolder&) = delete;
    StoreFolder& operator=(const StoreFolder&) = delete;

    static void setPath(const std::filesystem::path& folder) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(folder.string()));
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope,
                           QString::fromStdString((folder / "system").string()));
    }
    std::filesystem::path file() const { return top_ / "freqrelay" / "freqrelay.conf"; }
    void write(const std::string& text) const {
        std::filesystem::create_directories(file().parent_path());
        std::ofstream(file(), std::ios::binary) << text;
    }
    std::string contents() const {
        std::ostringstream text;
        text << std::ifstream(file(), std::ios::binary).rdbuf();
        return text.str();
    }
    const std::filesystem::path top_ =
        std::filesystem::temp_directory_path() /
        ("freqrelay-store-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
};

Settings chosenPort(const std::string& port) {
    Settings settings;
    settings.port = port;
    settings.linkFrom = kByStore;
    return settings;
}

}  // namespace

// Only what the dialog chose is written; a port chosen clears a stored
// rigctld, which would win over it; an option's value is never stored.
TEST(SettingsStore, TheChoicesAreWrittenAndReadBackAndTheRestLeftAsStored) {
    const StoreFolder folder;
    std::string problem;
    Settings rigctld;
    rigctld.rigctld = RigctldAddress{"::1", 4533};
    rigctld.linkFrom = kByStore;
    rigctld.file = "/srv/ft1000file";
    rigctld.fileFrom = kByStore;
    rigctld.log = "relay.log";
    rigctld.logFrom = "--log";
    EXPECT_EQ(SettingsStore::write(rigctld), "");
    StoredSettings stored = SettingsStore::read(problem);
    EXPECT_EQ(problem, "");
    ASSERT_TRUE(stored.rigctld);
    EXPECT_EQ(stored.rigctld->text(), "[::1]:4533");
    EXPECT_EQ(stored.file, "/srv/ft1000file");
    EXPECT_EQ(stored.log, "");

    EXPECT_EQ(SettingsStore::write(chosenPort("/dev/serial/by-id/usb-FTDI-if00-port0")), "");
    stored = SettingsStore::read(problem);
    EXPECT_FALSE(stored.rigctld);
    EXPECT_EQ(stored.port, "/dev/serial/by-id/usb-FTDI-if00-port0");
    EXPECT_EQ(stored.file, "/srv/ft1000file");

    Settings byOption = chosenPort("/dev/ttyUSB1");
    byOption.linkFrom = "--port";
    EXPECT_EQ(SettingsStore::write(byOption), "");
    EXPECT_EQ(SettingsStore::read(problem).port, "/dev/serial/by-id/usb-FTDI-if00-port0");

    // Commas in a value written by hand make it a list: taken whole, never as none.
    folder.write("[General]\nport=/dev/pts/1, /dev/pts/2\n");
    EXPECT_EQ(SettingsStore::read(problem).port, "/dev/pts/1, /dev/pts/2");
}

// What cannot be read is told and not used, and reading never writes it;
// only OK does.
TEST(SettingsStore, AStoreThatCannotBeReadIsToldAndLeftAsItIs) {
    const StoreFolder folder;
    for (const std::string& garbage : {std::string("[General\nport=/dev/ttyUSB0\n"), std::string("rigctld=::1\n"),
                                       std::string("[General]\nport=@Point(1 2)\n")}) {
        folder.write(garbage);
        std::string problem;
        const StoredSettings stored = SettingsStore::read(problem);
        EXPECT_FALSE(stored.rigctld);
        EXPECT_NE(problem.find(folder.file().string()), std::string::npos) << problem;
        EXPECT_EQ(folder.contents(), garbage);
        EXPECT_EQ(SettingsStore::write(chosenPort("/dev/ttyUSB0")), "");
        EXPECT_EQ(SettingsStore::read(problem).port, "/dev/ttyUSB0");
        EXPECT_EQ(problem, "");
    }
}

TEST(SettingsStore, AStoreThatCannotBeWrittenSaysSo) {
    const StoreFolder folder;
    // A file where the store's folder would be: not even root can write there.
    std::ofstream(folder.top_ / "blocked");
    StoreFolder::setPath(folder.top_ / "blocked");
    const std::string problem = SettingsStore::write(chosenPort("/dev/ttyUSB0"));
    StoreFolder::setPath(folder.top_);
    EXPECT_NE(problem.find("cannot be reached"), std::string::npos) << problem;
}

// A system-wide store under the user's: a port and no log chosen in the
// dialog must hold at the next start, not the system's rigctld and log.
TEST(SettingsStore, AChoiceClearedInTheUsersStoreIsNotTakenFromTheSystemsStore) {
    const StoreFolder folder;
    const auto system = folder.top_ / "system" / "freqrelay" / "freqrelay.conf";
    std::filesystem::create_directories(system.parent_path());
    std::ofstream(system) << "[General]\nrigctld=127.0.0.1:4599\nlog=/var/log/freqrelay.log\n";
    Settings chosen = chosenPort("/dev/ttyUSB0");
    chosen.logFrom = kByStore;
    EXPECT_EQ(SettingsStore::write(chosen), "");
    std::string problem;
    const StoredSettings stored = SettingsStore::read(problem);
    EXPECT_EQ(problem, "");
    EXPECT_FALSE(stored.rigctld) << stored.rigctld->text();
    EXPECT_EQ(stored.port, "/dev/ttyUSB0");
    EXPECT_EQ(stored.log, "");
}
